#pragma once

#include <QString>

// Writes the QR code of `texteQr` as SVG to cheminEntree + ".svg", then its drawing as a
// 200 x 200 one-bit image to cheminEntree + ".png". Both files are replaced atomically, and a
// symbolic link at either path is replaced, never written through.
// Returns false when the SVG cannot be written (or the text is too long); images left from an
// earlier run at those paths are then removed, so that no other invoice's QR code is shown.
bool ecrireImagesQr(const QString &texteQr, const QString &cheminEntree);
