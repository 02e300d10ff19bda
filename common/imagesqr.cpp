#include "imagesqr.h"

#include "ecriturefichier.h"
#include "qrsvg.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
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
    const QByteArray octetsSvg = svg->toUtf8();
    if (!remplacerFichier(cheminSvg, octetsSvg))
        return effacer();

    // The painter draws on a 32-bit image (it cannot paint on one-bit formats), which is then
    // thresholded to the monochrome image that is saved.
    QSvgRenderer rendu(octetsSvg);
    QImage dessin(200, 200, QImage::Format_RGB32);
    dessin.fill(Qt::white);
    {
        QPainter peintre(&dessin);
        rendu.render(&peintre, QRectF(0, 0, 200, 200));
    }
    const QImage mono = dessin.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    QByteArray png;
    QBuffer tampon(&png);
    if (!tampon.open(QIODevice::WriteOnly) || !mono.save(&tampon, "PNG") || !remplacerFichier(cheminPng, png))
        QFile::remove(cheminPng);
    return true;
}
