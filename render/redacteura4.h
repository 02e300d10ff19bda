#pragma once

#include "redacteur.h"

#include <optional>

// The A4 invoice shows its QR code as an image whose source names the QR text; the printing draws
// that image from the code's modules (qrdocument.h), never from a picture file.
QString sourceImageQr(const QString &texteQr);
// The QR text of such a source; nothing for any other image (the logo).
std::optional<QString> texteImageQr(const QString &source);

// The A4 invoice: HTML for the rich-text engine, data texts escaped so they print as written.
class RedacteurA4 : public Redacteur
{
public:
    using Redacteur::Redacteur;

    QString nl() const override { return QStringLiteral("<br/>"); }
    QString gras(const QString &t) const override
    {
        return QStringLiteral("<b>") + t + QStringLiteral("</b>");
    }
    // A "<" in a designation or a company name must not swallow the rest of the line.
    QString donnee(const QString &t) const override { return t.toHtmlEscaped(); }
    QString insecable() const override { return QStringLiteral("&nbsp;"); }
    // Escaped, its spaces non-breaking and a word joiner (U+2060, printed as nothing) wherever else
    // a line could break inside it (after a hyphen before a letter, after a slash): the rich-text
    // engine then breaks it only where it alone is wider than its cell.
    QString code(const QString &t) const override;
    QString apresLibelle() const override { return QStringLiteral(" "); }
    // The bar is tied to what follows it: a line breaks before it, never after it.
    QString separateur(const QString &s) const override;

    void ouverture() override;
    void mentionEnTete() override {} // the printing writes the mark at the head of every page
    void mentionFiscale() override;
    void dateEtReference() override;
    void finEntete() override;
    void apresEnteteClient() override;
    void titreEtColonnes() override;
    void article(const InvoiceItem &article) override;
    void finArticles() override;
    void finGroupes() override;
    void phraseFinale() override;
    void debutBlocFiscal() override;
    void apresConnecteur() override;
    void apresCodeFiscal() override;
    void apresIsf() override;
    void finBlocFiscal() override;

private:
    bool avecTS() const { return d.totaux.totalTS != 0; }
};
