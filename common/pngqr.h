#pragma once

#include "qrsvg.h"

#include <QByteArray>

// The QR code's SVG drawing (quiet zone of 4 modules) scaled onto a `cote` x `cote` one-bit image:
// a pixel is black when more than half of its area lies on dark modules, which is what drawing
// the SVG with antialiasing and then thresholding it at mid-grey gives, without a graphics stack.
// Row by row, true for black. `cote` is at least the drawing's side in modules (200 holds every
// version: 177 modules and the quiet zone).
std::vector<bool> pixelsQr(const ModulesQr &qr, int cote);

// A one-bit greyscale PNG (0 black, 1 white) of `largeur` x `hauteur` pixels given row by row,
// true for black.
QByteArray pngMonochrome(const std::vector<bool> &noirs, int largeur, int hauteur);

// The 200 x 200 monochrome PNG of a QR code.
QByteArray pngQr(const ModulesQr &qr);
