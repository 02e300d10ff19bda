#pragma once

#include <QString>

#include <iosfwd>

// The PDF file of one output. The printer writes into a new file beside it, created exclusively, which
// then replaces the PDF: a symbolic link planted at the PDF's path is replaced, never written through,
// and a viewer never opens half a file. When the PDF cannot be written, a console line says so with
// its path.
class FichierPdf
{
public:
    FichierPdf(const QString &chemin, std::ostream &console);
    ~FichierPdf(); // a temporary file that was not published is removed
    FichierPdf(const FichierPdf &) = delete;
    FichierPdf &operator=(const FichierPdf &) = delete;

    // Absolute path to give the printer; empty (and the console told) when the folder or the file
    // cannot be created.
    QString cheminProvisoire() const { return m_provisoire; }
    // Puts what the printer wrote at the PDF's path. False (and the console told) when the printer
    // wrote nothing or the file cannot take its place.
    bool publier();

private:
    void signalerEchec();

    QString m_chemin;
    QString m_provisoire;
    std::ostream &m_console;
};
