#pragma once

#include <QString>
#include <QStringList>

// Reading of the invoice input file's lines, shared by the engine and the renderer, which each
// read the file into their own record.

// Fields of a line: split on ";" keeping empty parts (no quoting exists), each trimmed.
QStringList champsLigne(const QString &ligne);
// Field at `position`, empty when the line is shorter.
QString champLigne(const QStringList &champs, int position);
// A number of the file: C-locale notation ("." separator, no grouping), 0 when not a number.
double nombreEntree(const QString &texte);
