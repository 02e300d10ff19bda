#include "colonnesticket.h"

#include <QRegularExpression>

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

// The three amount columns joined by "|".
QString colonnesMontants(const QString &qt, const QString &puttc, const QString &tot,
                         const LargeursColonnes &l)
{
    return qt.rightJustified(l.qt) + QLatin1Char('|') + puttc.rightJustified(l.puttc) + QLatin1Char('|') +
           tot.rightJustified(l.tot);
}

int largeurMontants(const LargeursColonnes &l)
{
    return l.qt + 1 + l.puttc + 1 + l.tot;
}

// Where a long line may break, most welcome first: the " | " between label and value pairs, the
// spaces between words, and only then the non-breaking spaces that tie a label to its value.
const QList<QRegularExpression> &coupures()
{
    static const QList<QRegularExpression> c{QRegularExpression(QStringLiteral(" +\\| +")),
                                             QRegularExpression(QStringLiteral(" +")),
                                             QRegularExpression(QStringLiteral("\u00A0+"))};
    return c;
}

// `texte` in lines of at most `largeur`, broken at the separators of coupures()[niveau] (a separator
// is dropped where the line breaks); a piece longer than a line is broken at the next level, and at
// the last level cut every `largeur` characters.
QStringList plier(const QString &texte, int largeur, qsizetype niveau)
{
    if (largeur <= 0 || texte.size() <= largeur)
        return {texte};
    QStringList lignes;
    if (niveau == coupures().size()) {
        for (qsizetype i = 0; i < texte.size(); i += largeur)
            lignes.append(texte.mid(i, largeur));
        return lignes;
    }
    QString courante;
    bool premier = true;
    qsizetype debut = 0;
    QString separateur; // the one before the piece at `debut`
    auto ajouter = [&](const QString &morceau) {
        if (premier || courante.size() + separateur.size() + morceau.size() > largeur) {
            if (!premier)
                lignes.append(courante);
            premier = false;
            QStringList parties = plier(morceau, largeur, niveau + 1);
            courante = parties.takeLast();
            lignes.append(parties);
        } else {
            courante += separateur + morceau;
        }
    };
    for (auto m = coupures().at(niveau).globalMatch(texte); m.hasNext();) {
        const QRegularExpressionMatch trouve = m.next();
        ajouter(texte.mid(debut, trouve.capturedStart() - debut));
        debut = trouve.capturedEnd();
        separateur = trouve.captured();
    }
    ajouter(texte.mid(debut));
    lignes.append(courante);
    return lignes;
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

MiseEnPageTicket miseEnPageTicket(const Invoice &facture, int caracteresParLigne)
{
    MiseEnPageTicket m;
    m.largeurs = largeursColonnes(facture);
    m.caracteresParLigne = std::max(0, caracteresParLigne);
    if (m.caracteresParLigne == 0)
        return m;
    const int reste = m.caracteresParLigne - 1 - largeurMontants(m.largeurs);
    if (m.largeurs.articles <= reste)
        return m;
    if (reste >= articlesMinimum) {
        m.largeurs.articles = reste;
        return m;
    }
    m.montantsALaLigne = true;
    m.largeurs.articles = m.caracteresParLigne;
    return m;
}

QString enteteColonnes(const LargeursColonnes &l)
{
    return QStringLiteral("\n") + QStringLiteral("Articles").leftJustified(l.articles) + QLatin1Char('|') +
           colonnesMontants(QStringLiteral("Qt"), QStringLiteral("PUTTC"), QStringLiteral("Tot."), l) +
           QStringLiteral("\n\n");
}

QString enteteColonnes(const MiseEnPageTicket &m)
{
    if (!m.montantsALaLigne)
        return enteteColonnes(m.largeurs);
    return QStringLiteral("\nArticles\n") +
           colonnesMontants(QStringLiteral("Qt"), QStringLiteral("PUTTC"), QStringLiteral("Tot."), m.largeurs)
               .rightJustified(m.caracteresParLigne) +
           QStringLiteral("\n\n");
}

QString ligneArticleTicket(const InvoiceItem &a, const LargeursColonnes &l, int signe, bool economieEspace)
{
    MiseEnPageTicket m;
    m.largeurs = l;
    return ligneArticleTicket(a, m, signe, economieEspace);
}

QString ligneArticleTicket(const InvoiceItem &a, const MiseEnPageTicket &m, int signe, bool economieEspace)
{
    const LargeursColonnes &l = m.largeurs;
    const TextesArticle t = textes(a, signe);
    QString ligne;
    if (m.montantsALaLigne) {
        for (const QString &morceau : couperEnLignes(t.articles, m.caracteresParLigne))
            ligne += morceau + QLatin1Char('\n');
        ligne += colonnesMontants(t.qt, t.puttc, t.tot, l).rightJustified(m.caracteresParLigne) +
                 QLatin1Char('\n');
    } else {
        // Without a limit the designation is one piece, however long.
        const QStringList morceaux =
            m.caracteresParLigne == 0 ? QStringList{t.articles} : couperEnLignes(t.articles, l.articles);
        ligne += morceaux.value(0).leftJustified(l.articles) + QLatin1Char('|') +
                 colonnesMontants(t.qt, t.puttc, t.tot, l) + QLatin1Char('\n');
        // The designation goes on under itself; the empty cells keep the column rules in place.
        const QString cellulesVides = QLatin1Char('|') + colonnesMontants({}, {}, {}, l);
        for (qsizetype i = 1; i < morceaux.size(); ++i)
            ligne += morceaux.at(i).leftJustified(l.articles) + cellulesVides + QLatin1Char('\n');
    }
    if (!economieEspace)
        ligne += QLatin1Char('\n');
    return ligne;
}

QStringList couperEnLignes(const QString &texte, int largeur)
{
    return plier(texte, largeur, 0);
}

QString replierLignes(const QString &texte, int largeur)
{
    if (largeur <= 0)
        return texte;
    QStringList sortie;
    const QStringList lignes = texte.split(QLatin1Char('\n'));
    for (const QString &ligne : lignes)
        sortie += couperEnLignes(ligne, largeur);
    return sortie.join(QLatin1Char('\n'));
}
