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
    // `reference` heads the pages after the first; `marque`, when not empty, is the mark of an
    // invoice that is not certified, at the head of every page.
    explicit Worker(const QString &html, const QString &reference = {}, const QString &marque = {},
                    QObject *parent = nullptr);

    QTextDocument *document() { return &m_document; }
    // True once a printing could not begin on its printer (no printer).
    bool echec() const { return m_echec; }

public slots:
    void print(QPrinter *printer);

private:
    QTextDocument m_document;
    QString m_reference;
    QString m_marque;
    bool m_echec = false;
};
