#pragma once

#include <QString>

// Numbers of the invoice files and documents. The input and result files write numbers in C-locale
// notation; documents use the French locale, whose group separator they replace by a plain space at
// the very end (until then it counts as one character in the ticket's columns).

// A number of the input file: "." separator, no grouping; 0 when the text is not a number.
double nombreEntree(const QString &texte);
// True when `texte` is a number of the input file as nombreEntree reads it ("0,333" and "abc" are
// not).
bool estNombreEntree(const QString &texte);

// A whole number with the French locale, rounded half away from zero, never written "-0".
QString entierFrancais(double valeur);
// An amount in whole francs of a document: signe x valeur as entierFrancais writes it.
QString texteMontant(double valeur, int signe);
// A quantity of a document: general notation with 14 significant digits.
QString texteQuantite(double valeur);
// An amount of the engine's console: C locale, four decimals.
QString quatreDecimales(double valeur);

// Replaces every group separator of the French locale by a plain space.
QString remplacerSeparateurGroupes(QString texte);
