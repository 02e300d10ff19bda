#include "imagesqr.h"

#include "ecriturefichier.h"
#include "pngqr.h"
#include "qrsvg.h"

#include <QFile>

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
    const std::optional<ModulesQr> qr = modulesQr(texteQr);
    if (!qr || !remplacerFichier(cheminSvg, svgQr(*qr).toUtf8()))
        return effacer();
    // The PNG is the SVG's drawing, computed from the same modules: no graphics stack is loaded
    // for it, which keeps the engine's start-up short.
    if (!remplacerFichier(cheminPng, pngQr(*qr)))
        QFile::remove(cheminPng);
    return true;
}
