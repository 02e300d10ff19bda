#include "colonnesticket.h"

#include <algorithm>

namespace {

struct TextesArticle
{
    QString articles, qt, puttc, tot;
};

TextesArticle textes(const InvoiceItem &a, int signe)
{
    return {a.designation + suffixeGroupe(a.groupeTaxe), texteQuantite(a.nombres.quantite),
            texteMontant(a.nombres.prixTTC, signe), texteMontant(ligneTTC(a), signe)};
}

} // namespace

QString suffixeGroupe(const QString &groupeTaxe)
{
    if (groupeTaxe == QStringLiteral("A"))
        return QStringLiteral(" (A-EX)");
    return QStringLiteral(" (") + groupeTaxe + QStringLiteral(")");
}

LargeursColonnes largeursColonnes(const Invoice &facture)
{
    LargeursColonnes l;
    for (const InvoiceItem &a : facture.articles) {
        const TextesArticle t = textes(a, facture.signe);
        l.articles = std::max(l.articles, static_cast<int>(t.articles.size()));
        l.qt = std::max(l.qt, static_cast<int>(t.qt.size()));
        l.puttc = std::max(l.puttc, static_cast<int>(t.puttc.size()));
        l.tot = std::max(l.tot, static_cast<int>(t.tot.size()));
    }
    return l;
}

QString enteteColonnes(const LargeursColonnes &l)
{
    return QStringLiteral("\n") + QStringLiteral("Articles").leftJustified(l.articles) + QLatin1Char('|') +
           QStringLiteral("Qt").rightJustified(l.qt) + QLatin1Char('|') +
           QStringLiteral("PUTTC").rightJustified(l.puttc) + QLatin1Char('|') +
           QStringLiteral("Tot.").rightJustified(l.tot) + QStringLiteral("\n\n");
}

QString ligneArticleTicket(const InvoiceItem &a, const LargeursColonnes &l, int signe, bool economieEspace)
{
    const TextesArticle t = textes(a, signe);
    QString ligne = t.articles.leftJustified(l.articles) + QLatin1Char('|') + t.qt.rightJustified(l.qt) +
                    QLatin1Char('|') + t.puttc.rightJustified(l.puttc) + QLatin1Char('|') +
                    t.tot.rightJustified(l.tot) + QLatin1Char('\n');
    if (!economieEspace)
        ligne += QLatin1Char('\n');
    return ligne;
}
