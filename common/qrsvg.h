#pragma once

#include <QString>
#include <optional>

// SVG text of the QR code of `texte` (UTF-8 bytes, error correction level M, versions 1 to 40,
// automatic mask, level boosted when it fits) with a quiet zone of 4 modules.
// Empty when the text does not fit a version-40 code.
std::optional<QString> svgQr(const QString &texte);
