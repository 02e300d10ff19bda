#pragma once

#include <QByteArray>
#include <QString>

// Writing of the files other programs read (result file, QR images, PDFs) so that they are never
// written through a symbolic link planted at their path: each is written to a fresh file beside it,
// created exclusively, then renamed over the path, which replaces a link instead of following it.
// A reader never sees half a file.

// A new empty file in the folder of `chemin`, created exclusively (it never opens an existing file or
// link); the place to write before renommerParDessus. Empty when it cannot be created.
QString creerFichierProvisoire(const QString &chemin);

// Renames `source` over `cible`, replacing whatever stands there (a file, or a symbolic link but never
// its target). False when the rename fails; `source` is then left in place.
bool renommerParDessus(const QString &source, const QString &cible);

// Replaces the file at `chemin` with `contenu` as above. False when nothing was written; whatever
// stood at `chemin` is then left as it was.
bool remplacerFichier(const QString &chemin, const QByteArray &contenu);
