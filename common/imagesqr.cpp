#include "imagesqr.h"

#include "qrsvg.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

bool ecrireImagesQr(const QString &texteQr, const QString &cheminEntree)
{
    const std::optional<QString> svg = svgQr(texteQr);
    if (!svg)
        return false;
    const QString cheminSvg = cheminEntree + QStringLiteral(".svg");
    QSaveFile fichierSvg(cheminSvg);
    if (!fichierSvg.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    fichierSvg.write(svg->toUtf8());
    if (!fichierSvg.commit())
        return false;

    // The painter draws on a 32-bit image (it cannot paint on one-bit formats), which is then
    // thresholded to the monochrome image that is saved.
    QSvgRenderer rendu(cheminSvg);
    QImage dessin(200, 200, QImage::Format_RGB32);
    dessin.fill(Qt::white);
    {
        QPainter peintre(&dessin);
        rendu.render(&peintre, QRectF(0, 0, 200, 200));
    }
    const QImage mono = dessin.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    QSaveFile fichierPng(cheminEntree + QStringLiteral(".png"));
    if (!fichierPng.open(QIODevice::WriteOnly))
        return true;
    if (mono.save(&fichierPng, "PNG"))
        fichierPng.commit();
    return true;
}
