#pragma once

#include "colonnesticket.h"
#include "redacteur.h"

// The till ticket: plain text for a fixed-pitch font, items in padded columns.
class RedacteurTicket : public Redacteur
{
public:
    explicit RedacteurTicket(const DonneesDocument &donnees)
        : Redacteur(donnees), m_miseEnPage(miseEnPageTicket(donnees.facture, donnees.caracteresTicket))
    {
    }

    QString nl() const override { return QStringLiteral("\n"); }
    QString gras(const QString &t) const override { return t; }
    QString donnee(const QString &t) const override { return t; }
    // Made a plain space once the lines are cut to the roll (construireDocument).
    QString insecable() const override { return QString(QChar(0x00A0)); }

    void ouverture() override {}
    void mentionEnTete() override;
    void mentionFiscale() override;
    void dateEtReference() override { *this << nl(); }
    void finEntete() override { sautSansEconomie(); }
    void apresEnteteClient() override {}
    void titreEtColonnes() override;
    void article(const InvoiceItem &article) override;
    void finArticles() override { *this << nl(); }
    void finGroupes() override { sautSansEconomie(); }
    void phraseFinale() override {}
    void debutBlocFiscal() override {}
    void apresConnecteur() override {}
    void apresCodeFiscal() override { sautSansEconomie(); }
    void apresIsf() override {}
    void finBlocFiscal() override {}

private:
    // An empty line that saving space leaves out.
    void sautSansEconomie()
    {
        if (!eco())
            *this << nl();
    }

    MiseEnPageTicket m_miseEnPage;
};
