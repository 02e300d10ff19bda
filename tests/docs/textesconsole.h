#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The console texts written in the sources of orvane-engine and orvane-render, as the guide's table
// of messages must list them. Every string literal of the sources is read (comments skipped,
// adjacent literals joined as the compiler joins them), cut at its line ends and at its "%1"
// placeholders, and each piece that reads as words is kept. Literals that never reach the console
// (SQL, document texts, file formats) are left out by the rules of textesconsole.cpp.
struct TexteConsole
{
    QString fichier; // relative to the source root, "engine/moteur.cpp"
    int ligne = 0;
    QString texte; // one piece, trimmed
};

QList<TexteConsole> textesConsole(const QString &racineSources);

// A row of the guide's table: the text with its values shown as {name}.
struct LigneTableMessages
{
    int ligne = 0; // in the guide
    QString texte;
};

// The first cell of every table row under the heading "## Messages de la console" of the guide,
// up to the next heading of the same level; the cell's text between backticks, "\|" read as "|".
QList<LigneTableMessages> tableMessages(const QString &cheminGuide);

// True when `texte`, a piece of code, is part of the row `ligne` of the table. Runs of white space
// count as one space on both sides.
bool texteDansLigne(const QString &texte, const QString &ligne);
