#pragma once

#include <QString>
#include <QStringList>

// Readable difference between two document texts: the first line that differs, with its number,
// both versions and the line before it; empty when the texts are equal. HTML documents are cut
// after every "<br/>" and "</tr>" so that a difference points at one line of the document.
inline QString differenceTextes(const QString &obtenu, const QString &attendu)
{
    if (obtenu == attendu)
        return {};
    auto lignes = [](QString texte) {
        texte.replace(QStringLiteral("<br/>"), QStringLiteral("<br/>\n"));
        texte.replace(QStringLiteral("</tr>"), QStringLiteral("</tr>\n"));
        return texte.split(QLatin1Char('\n'));
    };
    const QStringList a = lignes(obtenu);
    const QStringList b = lignes(attendu);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString la = i < a.size() ? a.at(i) : QStringLiteral("<fin du texte>");
        const QString lb = i < b.size() ? b.at(i) : QStringLiteral("<fin du texte>");
        if (la != lb) {
            const QString avant = i > 0 && i - 1 < a.size() ? a.at(i - 1) : QString();
            return QStringLiteral("ligne %1 differe\n  apres   : [%2]\n  obtenu  : [%3]\n  attendu : [%4]")
                .arg(i + 1)
                .arg(avant, la, lb);
        }
    }
    return QStringLiteral("les textes different par leurs fins de ligne");
}

// Fragments of `attendus` missing from `texte`, each on its own line; empty when all are there.
inline QString fragmentsManquants(const QString &texte, const QStringList &attendus)
{
    QString manque;
    for (const QString &f : attendus) {
        if (!texte.contains(f))
            manque += QStringLiteral("  absent : [") +
                      QString(f).replace(QLatin1Char('\n'), QStringLiteral("\\n")) + QStringLiteral("]\n");
    }
    return manque;
}

// Fragments of `interdits` present in `texte`.
inline QString fragmentsEnTrop(const QString &texte, const QStringList &interdits)
{
    QString trop;
    for (const QString &f : interdits) {
        if (texte.contains(f))
            trop += QStringLiteral("  present a tort : [") +
                    QString(f).replace(QLatin1Char('\n'), QStringLiteral("\\n")) + QStringLiteral("]\n");
    }
    return trop;
}
