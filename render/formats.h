#pragma once

#include <QString>

// Number texts of the documents, French locale. Before the final clean-up they may hold the locale's
// group separator, which counts as one character in the ticket's columns.

// An amount in whole francs: signe x valeur, rounded half away from zero, never written "-0".
QString texteMontant(double valeur, int signe);
// A quantity: general notation with 14 significant digits.
QString texteQuantite(double valeur);
// A whole number (rates, percentages), rounded half away from zero.
QString texteEntier(double valeur);

// Replaces every group separator of the French locale by a plain space.
QString remplacerSeparateurGroupes(QString texte);
