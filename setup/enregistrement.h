#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Writing of app.xml by the editor: the document is built from values, then saved atomically.

using Attributs = QList<QPair<QString, QString>>;

// The editor's attributes in their order, followed by the attributes of the loaded file that the
// editor does not manage (tolerance, apiVersion, keys of other tools), in file order, so that a
// save never loses a setting.
Attributs fusionnerAttributs(const Attributs &editeur, const Attributs &existants);

// Drops the characters that XML 1.0 cannot carry (control characters, lone surrogates...): written
// as they are they would make the whole file unreadable for every program.
QString texteXmlValide(const QString &texte);

// One element `app` carrying the attributes in the given order, UTF-8, no XML declaration,
// followed by a newline. Values are escaped; characters XML cannot carry are left out of values, and
// an attribute whose name holds one is left out.
QByteArray documentParametres(const Attributs &attributs);

// Replaces the file at `chemin` with `contenu` through a temporary file renamed over it, so that a
// failure at any point leaves the old file whole. False when nothing could be written.
bool enregistrerFichier(const QString &chemin, const QByteArray &contenu);
