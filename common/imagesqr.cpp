#include "imagesqr.h"

#include "qrsvg.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

bool ecrireImagesQr(const QString &texteQr, const QString &cheminEntree)
{
    const QString cheminSvg = cheminEntree + QStringLiteral(".svg");
    const QString cheminPng = cheminEntree + QStringLiteral(".png");
    // Images of an earlier invoice written from the same input path must not survive a failure:
    // the renderer would print that other invoice's QR code.
    auto effacer = [&] {
        QFile::remove(cheminSvg);
        QFile::remove(cheminPng);
        return false;
    };
    const std::optional<QString> svg = svgQr(texteQr);
    if (!svg)
        return effacer();
    QSaveFile fichierSvg(cheminSvg);
    if (!fichierSvg.open(QIODevice::WriteOnly | QIODevice::Text))
        return effacer();
    fichierSvg.write(svg->toUtf8());
    if (!fichierSvg.commit())
        return effacer();

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
    QSaveFile fichierPng(cheminPng);
    if (!fichierPng.open(QIODevice::WriteOnly) || !mono.save(&fichierPng, "PNG") || !fichierPng.commit())
        QFile::remove(cheminPng);
    return true;
}
