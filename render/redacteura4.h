#pragma once

#include "redacteur.h"

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
    // A "<" in a designation must not swallow the rest of the line.
    QString donnee(const QString &t) const override { return t.toHtmlEscaped(); }

    void ouverture() override;
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
