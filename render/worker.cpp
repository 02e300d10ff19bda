#include "worker.h"

#include <QPrinter>

Worker::Worker(const QString &html, QObject *parent) : QObject(parent)
{
    m_document.setHtml(html);
}

void Worker::print(QPrinter *printer)
{
    m_document.print(printer);
}
