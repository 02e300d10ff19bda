#pragma once

#include <QString>
#include <optional>
#include <vector>

// The modules of a QR code: `taille` modules a side, row by row, true for a dark module.
struct ModulesQr
{
    int taille = 0;
    std::vector<bool> sombres;

    bool sombre(int x, int y) const { return sombres[static_cast<size_t>(y) * taille + x]; }
};

// Encodes `texte` (UTF-8 bytes, error correction level M, versions 1 to 40, automatic mask, level
// boosted when it fits). Empty when the text does not fit a version-40 code.
std::optional<ModulesQr> modulesQr(const QString &texte);

// SVG text of a QR code with a quiet zone of 4 modules.
QString svgQr(const ModulesQr &qr);

// SVG text of the QR code of `texte`; empty when the text does not fit a version-40 code.
std::optional<QString> svgQr(const QString &texte);
