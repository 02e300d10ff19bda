#pragma once

#include <QString>

// File name of the PDF of an invoice (without its folder), from its reference:
// - characters a file name cannot hold on the users' systems (/ \ : * ? " < > | and control
//   characters) become "_", so that FAC/2024/001 still gives a file;
// - a name longer than file systems take is cut: the start of the reference is kept (whole
//   characters) and "-" and 16 hexadecimal digits of the SHA-256 of the whole reference are added, so
//   that two long references sharing their start still get two files; the name stays within
//   nomFichierPdfMax bytes of UTF-8, ".pdf" included;
// - an empty reference gives "sans-reference.pdf".
QString nomFichierPdf(const QString &reference);

// Largest name in UTF-8 bytes: below the 255 of common file systems and the 143 of encrypted home
// folders, leaving room for the folder in a Windows path.
constexpr int nomFichierPdfMax = 120;
