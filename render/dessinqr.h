#pragma once

#include <qrsvg.h>

#include <QPoint>

class QPainter;
class QTextDocument;

// The QR code drawn from its modules, as sharp filled squares: every module a whole number of
// device pixels on a whole-pixel grid, with its quiet zone of 4 white modules, no image and no
// smoothing. Both documents draw it this way, so that it scans after a thermal printer's 1-bit
// rendering.

constexpr int zoneCalmeQr = 4; // quiet zone, in modules, on each side

// Modules on a side, quiet zone included.
inline int modulesAvecZoneCalme(const ModulesQr &qr)
{
    return qr.taille + 2 * zoneCalmeQr;
}

// Side of one module in device pixels: the largest that keeps the code within `cotePixels`
// (at least 1).
int moduleDansCote(const ModulesQr &qr, double cotePixels);
// The smallest that makes the code at least `cotePixels` wide.
int moduleAuMoins(const ModulesQr &qr, double cotePixels);

// Draws the code, quiet zone included, with its top-left corner at `origine` in device pixels and
// modules of `module` device pixels, whatever the painter's transformation.
void dessinerQr(QPainter &peintre, const ModulesQr &qr, const QPoint &origine, int module);

// Makes the QR images of an A4 invoice (sourceImageQr, redacteura4.h) objects that `document` lays
// out at a whole number of device pixels per module, at most the image's width in screen pixels,
// and draws with dessinerQr. Call it on the document that is laid out and drawn.
void preparerImagesQr(QTextDocument &document);
