#pragma once

#include <QObject>
#include <QTextDocument>

class QPrinter;

// Holds the A4 invoice as a rich-text document and prints it on whatever printer the print preview
// asks for (for the preview pages, then again when the user prints).
class Worker : public QObject
{
    Q_OBJECT
public:
    // `reference` heads the pages after the first.
    explicit Worker(const QString &html, const QString &reference = {}, QObject *parent = nullptr);

    QTextDocument *document() { return &m_document; }

public slots:
    void print(QPrinter *printer);

private:
    QTextDocument m_document;
    QString m_reference;
};
