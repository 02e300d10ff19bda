#pragma once

#include <invoice.h>

#include <QString>

// Widths in characters of the four item columns of the ticket; they only grow, never cut a text.
struct LargeursColonnes
{
    int articles = 8; // "Articles"
    int qt = 2;       // "Qt"
    int puttc = 5;    // "PUTTC"
    int tot = 4;      // "Tot."
};

// " (A-EX)" for the exempt group "A", " (" + group + ")" otherwise.
QString suffixeGroupe(const QString &groupeTaxe);

LargeursColonnes largeursColonnes(const Invoice &facture);
// "\n", the four padded titles separated by "|", then "\n\n".
QString enteteColonnes(const LargeursColonnes &largeurs);
// One item row and its line end (plus an empty line unless space is saved).
QString ligneArticleTicket(const InvoiceItem &article, const LargeursColonnes &largeurs, int signe,
                           bool economieEspace);
