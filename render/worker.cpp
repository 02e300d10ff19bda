#include "worker.h"

#include "pagesfacture.h"

#include <QPrinter>

Worker::Worker(const QString &html, const QString &reference, const QString &marque, QObject *parent)
    : QObject(parent), m_reference(reference), m_marque(marque)
{
    m_document.setHtml(html);
}

void Worker::print(QPrinter *printer)
{
    if (!imprimerFacture(m_document, printer, m_reference, m_marque))
        m_echec = true;
}
