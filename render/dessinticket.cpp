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

int caracteresParLigne(const QFont &police, double largeurMm)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    const QFontMetricsF mesures(police, &pdf);
    // The widest of a few characters: the same for a fixed-pitch font, a safe bound for another.
    double chasse = 0;
    for (const QChar c : QStringLiteral("MW0é|-"))
        chasse = std::max(chasse, mesures.horizontalAdvance(c));
    const double largeur = largeurMm / 25.4 * pdf.resolution();
    if (chasse <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::floor(largeur / chasse)));
}

void ajusterPageTicketPdf(QPrinter &imprimante, const QString &texte, const QFont &police,
                          const QString &imageQr, double largeurMm)
{
    const int resolution = imprimante.resolution();
    const QFontMetricsF mesures(police, &imprimante);
    const QRectF cadre = mesures.boundingRect(QRectF(0, 0, 60, 20), 0, texte);
    double hauteur = cadre.height();
    const QImage image = chargerImageQr(imageQr);
    if (!image.isNull())
        hauteur += coteQr(image.height(), resolution);
    const double mmParPoint = 25.4 / resolution;
    // The text was cut to the roll's width (caracteresParLigne): the page is the roll's width.
    // A little slack so that rounding in the page size never pushes the last line to a new page.
    const double hauteurMm = hauteur * mmParPoint + 2 * margeTicketMm + 2;
    const double m = margeTicketMm;
    imprimante.setPageLayout(
        QPageLayout(QPageSize(QSizeF(largeurMm + 2 * m, hauteurMm), QPageSize::Millimeter),
                    QPageLayout::Portrait, QMarginsF(m, m, m, m), QPageLayout::Millimeter));
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
