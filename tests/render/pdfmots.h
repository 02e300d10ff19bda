#pragma once

#include "outilsparalleles.h"

#include <QList>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>

// Words of a PDF as `pdftotext -bbox-layout` gives them: page, line and box, in points.
struct MotPdf
{
    int page = 0;  // from 0
    int ligne = 0; // index of its text line over the whole file
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QString texte;
};

struct PagesPdf
{
    QList<QSizeF> pages; // width and height, points
    QList<MotPdf> mots;

    // Text of every line, non-breaking spaces made plain. Words are joined by a space where there is
    // room between them; pdftotext also cuts a word where the text was drawn in two runs without a
    // gap (as around a word joiner), and those pieces read as one word, as a reader copies them.
    QStringList lignes() const
    {
        QStringList resultat;
        const MotPdf *precedent = nullptr;
        for (const MotPdf &m : mots) {
            while (resultat.size() <= m.ligne)
                resultat.append(QString());
            QString &l = resultat[m.ligne];
            const bool colle = precedent && precedent->ligne == m.ligne &&
                               m.xMin - precedent->xMax < 0.1 * (m.yMax - m.yMin);
            l += (l.isEmpty() || colle ? QString() : QStringLiteral(" ")) + m.texte;
            precedent = &m;
        }
        for (QString &l : resultat)
            l.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
        return resultat;
    }
    // Pages on which the text of a line contains `fragment`.
    QList<int> pagesDe(const QString &fragment) const
    {
        QList<int> resultat;
        const QStringList l = lignes();
        for (const MotPdf &m : mots) {
            if (l.value(m.ligne).contains(fragment) && !resultat.contains(m.page))
                resultat.append(m.page);
        }
        return resultat;
    }
};

// Parses the XHTML of `pdftotext -bbox-layout`.
inline PagesPdf lirePagesPdf(const QString &xhtml)
{
    PagesPdf p;
    static const QRegularExpression balise(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<line |<word xMin=\"([\\d.]+)\" "
                       "yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    int ligne = -1;
    for (auto it = balise.globalMatch(xhtml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            p.pages.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
        } else if (m.captured(0) == QStringLiteral("<line ")) {
            ++ligne;
        } else {
            QString texte = m.captured(7);
            texte.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
                .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
            p.mots.append({static_cast<int>(p.pages.size()) - 1, ligne, m.captured(3).toDouble(),
                           m.captured(4).toDouble(), m.captured(5).toDouble(), m.captured(6).toDouble(),
                           texte});
        }
    }
    return p;
}

// The words of `pdf`, read with `pdftotext -bbox-layout`.
inline PagesPdf lirePdf(const QString &pdf)
{
    return lirePagesPdf(lancerEnParallele({{"pdftotext", "-bbox-layout", pdf, "-"}}).value(0));
}
