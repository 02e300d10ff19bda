#include "redacteura4.h"

#include "colonnesticket.h"

#include <QTextBoundaryFinder>

namespace {

const QString celluleDroite = QStringLiteral("<td style=\"text-align:right\">");
const QString finCellule = QStringLiteral("</td>");
const QString prefixeImageQr = QStringLiteral("qrcode:");
const QChar motJoint(0x2060);

} // namespace

QString sourceImageQr(const QString &texteQr)
{
    return prefixeImageQr + texteQr;
}

std::optional<QString> texteImageQr(const QString &source)
{
    if (!source.startsWith(prefixeImageQr))
        return std::nullopt;
    return source.mid(prefixeImageQr.size());
}

QString RedacteurA4::code(const QString &t) const
{
    QString lie;
    QTextBoundaryFinder coupures(QTextBoundaryFinder::Line, t);
    qsizetype debut = 0;
    for (qsizetype p = coupures.toNextBoundary(); p > 0 && p < t.size(); p = coupures.toNextBoundary()) {
        lie += t.mid(debut, p - debut).toHtmlEscaped();
        if (!t.at(p - 1).isSpace())
            lie += motJoint;
        debut = p;
    }
    lie += t.mid(debut).toHtmlEscaped();
    return lie.replace(QLatin1Char(' '), insecable());
}

QString RedacteurA4::separateur(const QString &s) const
{
    // A line may break after a bar, and before a non-breaking space that follows a bar.
    return s.left(s.indexOf(QLatin1Char('|')) + 1) + motJoint + insecable();
}

void RedacteurA4::ouverture()
{
    const ParametresRendu &p = d.parametres;
    *this << QStringLiteral("<html><head></head><body>") << QStringLiteral("<table><tr>");
    if (p.logoTop) {
        *this << QStringLiteral("<td colspan=\"2\">");
        if (!p.logo.isEmpty())
            *this << QStringLiteral("<img src=\"") + donnee(p.logo) + QStringLiteral("\"\\>");
        *this << QStringLiteral("</td></tr><tr>");
    } else {
        *this << QStringLiteral("<td>");
        if (!p.logo.isEmpty())
            *this << QStringLiteral("<img height=\"60\" src=\"") + donnee(p.logo) + QStringLiteral("\"\\>");
        *this << QStringLiteral("</td>");
    }
    *this << QStringLiteral("<td>");
}

void RedacteurA4::dateEtReference()
{
    *this << QStringLiteral("</td><td width=\"30%\">");
    if (!d.facture.dateFacture.isEmpty())
        ligneChamp(QStringLiteral("Date: "), code(d.facture.dateFacture));
    ligneChamp(QStringLiteral("Ref.: "), code(d.facture.reference));
}

void RedacteurA4::finEntete()
{
    *this << QStringLiteral("</td></tr></table>");
}

void RedacteurA4::apresEnteteClient()
{
    *this << nl();
}

void RedacteurA4::titreEtColonnes()
{
    const QString titre = d.type ? d.type->titre : QString();
    *this << QStringLiteral("<h1 style=\"text-align:center\">") + titre +
                 QStringLiteral("</h1><table width=\"100%\" border=\"1\" cellpadding=\"3\"><thead><tr>"
                                "<th>Désignation</th>"
                                "<th style=\"text-align:right\">Quantité</th>"
                                "<th style=\"text-align:right\">Prix Unitaire HT</th>");
    if (avecTS())
        *this << QStringLiteral("<th style=\"text-align:right\">TS</th>");
    // A header row in <thead> is repeated at the top of every page the table runs on.
    *this << QStringLiteral("<th style=\"text-align:right\">TVA</th><th style=\"text-align:right\">Montant "
                            "TTC</th></tr></thead>");
}

void RedacteurA4::article(const InvoiceItem &a)
{
    const NombresArticle &n = a.nombres;
    // The rate of the line, when it has both a base and VAT.
    const double baseHT = n.taxeSpecifiqueHT + ligneHT(a);
    const double tva = ligneTVA(a);
    QString taux;
    if (baseHT != 0 && tva != 0)
        taux = entierFrancais(tva * 100 / baseHT) + QStringLiteral(" %");
    *this << QStringLiteral("<tr><td>") + donnee(a.designation + suffixeGroupe(a.groupeTaxe)) + finCellule +
                 celluleDroite + texteQuantite(n.quantite) + finCellule + celluleDroite + montant(n.prixHT) +
                 finCellule;
    if (avecTS())
        *this << celluleDroite + montant(n.taxeSpecifiqueHT) + finCellule;
    *this << celluleDroite + taux + finCellule + celluleDroite + montant(ligneTTC(a)) +
                 QStringLiteral("</td></tr>");
}

void RedacteurA4::finArticles()
{
    const TotauxFacture &t = d.totaux;
    *this << QStringLiteral("<tr><td>Total</td>") + celluleDroite + texteQuantite(t.totalQuantite) +
                 QStringLiteral("</td><td></td>");
    if (avecTS())
        *this << celluleDroite + montant(t.totalTSHT) + finCellule;
    *this << QStringLiteral("<td></td>") + celluleDroite + montant(t.totalTTC) +
                 QStringLiteral("</td></tr></table><br/><table width=\"100%\"><tr><td>");
}

// The totals and the fiscal device's lines are pairs of a label and an amount or a code, one a
// line: their cells never wrap and are as wide as their longest line (no fixed share of the page,
// which would cut twelve-digit amounts from their labels).
void RedacteurA4::finGroupes()
{
    *this << QStringLiteral("</td><td nowrap>");
}

void RedacteurA4::phraseFinale()
{
    *this << QStringLiteral("</td></tr></table>");
    if (!d.type)
        return;
    // The amount stays on the line of the words that announce it.
    QString phrase = d.type->phrase(donnee(d.parametres.entreprise));
    if (phrase.endsWith(QLatin1Char(' ')))
        phrase = phrase.chopped(1) + insecable();
    *this << phrase + francs(d.totaux.netAPayer) + nl() + nl();
}

void RedacteurA4::mentionFiscale()
{
    if (d.mention.vide())
        return;
    *this << QStringLiteral("<p style=\"font-size:18pt; font-weight:bold\">") + d.mention.lignes.join(nl()) +
                 QStringLiteral("</p>") + d.mention.explication + nl() + nl();
}

void RedacteurA4::debutBlocFiscal()
{
    *this << QStringLiteral("<table><tr><td>");
}

void RedacteurA4::apresConnecteur()
{
    *this << nl() + nl() + nl() + nl();
}

void RedacteurA4::apresCodeFiscal()
{
    *this << QStringLiteral("</td><td nowrap>");
}

void RedacteurA4::apresIsf()
{
    *this << QStringLiteral("</td><td>");
}

void RedacteurA4::finBlocFiscal()
{
    // 100 pixels of the screen: about 26 mm on paper, whole modules and quiet zone included.
    if (d.resultat)
        *this << QStringLiteral("<img width=\"100\" height=\"100\" src=\"") +
                     donnee(sourceImageQr(d.resultat->qrcode)) + QStringLiteral("\">");
    *this << QStringLiteral("</td></tr></table>");
}
