#include "redacteurticket.h"

void RedacteurTicket::titreEtColonnes()
{
    const Invoice &f = d.facture;
    sautSansEconomie();
    *this << (d.type ? d.type->titre : QString()) + QStringLiteral(" n° ") + f.reference;
    if (!f.dateFacture.isEmpty())
        *this << QStringLiteral(" du ") + f.dateFacture;
    *this << nl();
    if (!eco())
        *this << enteteColonnes(m_miseEnPage);
}

void RedacteurTicket::article(const InvoiceItem &a)
{
    *this << ligneArticleTicket(a, m_miseEnPage, d.facture.signe, eco());
}

void RedacteurTicket::mentionEnTete()
{
    if (d.mention.vide())
        return;
    *this << d.mention.lignes.join(nl()) + nl();
    sautSansEconomie();
}

void RedacteurTicket::mentionFiscale()
{
    if (d.mention.vide())
        return;
    *this << d.mention.lignes.join(nl()) + nl() + d.mention.explication + nl() + nl();
}
