#pragma once

#include <QString>

// Writes the QR code of `texteQr` as SVG to cheminEntree + ".svg", then renders that file into a
// 200 x 200 one-bit image saved as cheminEntree + ".png". Both files are replaced atomically.
// Returns false, writing nothing further, when the SVG cannot be written (or the text is too long).
bool ecrireImagesQr(const QString &texteQr, const QString &cheminEntree);
