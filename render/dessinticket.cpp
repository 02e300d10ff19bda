#include "dessinticket.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double margeMm = 4.0;
constexpr double largeurRouleauMm = 80.0;

QImage chargerImageQr(const QString &chemin)
{
    if (chemin.isEmpty() || !QFile::exists(chemin))
        return {};
    return QImage(chemin);
}

// Height of each line as the text engine lays it out (an empty line keeps the height of a line).
QList<double> hauteursLignes(const QStringList &lignes, const QFontMetricsF &mesures)
{
    QList<double> hauteurs;
    hauteurs.reserve(lignes.size());
    for (const QString &ligne : lignes)
        hauteurs.append(
            mesures.boundingRect(QRectF(0, 0, 60, 20), 0, ligne.isEmpty() ? QStringLiteral(" ") : ligne)
                .height());
    return hauteurs;
}

} // namespace

QFont policeTicket(const QString &fontName, int fontSize)
{
    QFont police(fontName, fontSize, QFont::Normal, false);
    police.setStyleHint(QFont::TypeWriter);
    police.setFixedPitch(true);
    return police;
}

int coteQr(int pixelsImage, int resolution)
{
    const int minimum = static_cast<int>(std::ceil(coteMinimalQrMm / 25.4 * resolution));
    return std::max(pixelsImage, minimum);
}

void ajusterPageTicketPdf(QPrinter &imprimante, const QString &texte, const QFont &police,
                          const QString &imageQr)
{
    const int resolution = imprimante.resolution();
    const QFontMetricsF mesures(police, &imprimante);
    const QRectF cadre = mesures.boundingRect(QRectF(0, 0, 60, 20), 0, texte);
    double largeur = cadre.width();
    double hauteur = cadre.height();
    const QImage image = chargerImageQr(imageQr);
    if (!image.isNull()) {
        const int cote = coteQr(image.width(), resolution);
        largeur = std::max(largeur, static_cast<double>(cote));
        hauteur += coteQr(image.height(), resolution);
    }
    const double mmParPoint = 25.4 / resolution;
    // A little slack so that rounding in the page size never pushes the last line to a new page.
    const double largeurMm = std::max(largeurRouleauMm, largeur * mmParPoint + 2 * margeMm + 1);
    const double hauteurMm = hauteur * mmParPoint + 2 * margeMm + 2;
    imprimante.setPageLayout(QPageLayout(QPageSize(QSizeF(largeurMm, hauteurMm), QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF(margeMm, margeMm, margeMm, margeMm),
                                         QPageLayout::Millimeter));
}

void dessinerTicket(QPrinter &imprimante, const QString &texte, const QFont &police, const QString &imageQr)
{
    QPainter peintre;
    if (!peintre.begin(&imprimante))
        return;
    peintre.setFont(police);
    const QFontMetricsF mesures(police, &imprimante);
    const double hauteurPage = imprimante.height();
    const QStringList lignes = texte.split(QLatin1Char('\n'));
    const QList<double> hauteurs = hauteursLignes(lignes, mesures);
    double largeur = 0;
    for (const QString &ligne : lignes)
        largeur = std::max(largeur, mesures.boundingRect(QRectF(0, 0, 60, 20), 0, ligne).width());

    double y = 0;
    for (qsizetype i = 0; i < lignes.size(); ++i) {
        if (y > 0 && y + hauteurs.at(i) > hauteurPage) {
            imprimante.newPage();
            y = 0;
        }
        peintre.drawText(QRectF(0, y, largeur, hauteurs.at(i)), lignes.at(i), QTextOption());
        y += hauteurs.at(i);
    }

    const QImage image = chargerImageQr(imageQr);
    if (!image.isNull()) {
        const int resolution = imprimante.resolution();
        const QRectF cible(0, 0, coteQr(image.width(), resolution), coteQr(image.height(), resolution));
        if (y > 0 && y + cible.height() > hauteurPage) {
            imprimante.newPage();
            y = 0;
        }
        // No smoothing: the modules keep sharp edges when the image is enlarged.
        peintre.setRenderHint(QPainter::SmoothPixmapTransform, false);
        peintre.drawImage(cible.translated(0, y), image);
    }
    peintre.end();
}
