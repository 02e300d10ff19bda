#include "worker.h"

#include "pagesfacture.h"

#include <QPrinter>

Worker::Worker(const QString &html, const QString &reference, QObject *parent)
    : QObject(parent), m_reference(reference)
{
    m_document.setHtml(html);
}

void Worker::print(QPrinter *printer)
{
    imprimerFacture(m_document, printer, m_reference);
}
