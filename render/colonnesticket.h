#pragma once

#include <invoice.h>

#include <QString>
#include <QStringList>

// Widths in characters of the four item columns of the ticket; they only grow, never cut a text.
struct LargeursColonnes
{
    int articles = 8; // "Articles"
    int qt = 2;       // "Qt"
    int puttc = 5;    // "PUTTC"
    int tot = 4;      // "Tot."
};

// How the item rows fit on the roll. With no line limit, or when the widest row fits, the columns
// are those of largeursColonnes. Otherwise the Articles column shrinks to what the line leaves and
// designations wrap inside it; when the amounts leave too little for designations, every row puts
// its designation on lines of its own and its amounts on the next line, right-aligned.
struct MiseEnPageTicket
{
    LargeursColonnes largeurs;
    int caracteresParLigne = 0;    // 0: no limit
    bool montantsALaLigne = false; // amounts on a line of their own under the designation
};

// Narrowest Articles column before the amounts move to a line of their own.
constexpr int articlesMinimum = 12;

// " (A-EX)" for the exempt group "A", " (" + group + ")" otherwise.
QString suffixeGroupe(const QString &groupeTaxe);

LargeursColonnes largeursColonnes(const Invoice &facture);
MiseEnPageTicket miseEnPageTicket(const Invoice &facture, int caracteresParLigne);

// "\n", the four padded titles separated by "|", then "\n\n".
QString enteteColonnes(const LargeursColonnes &largeurs);
QString enteteColonnes(const MiseEnPageTicket &miseEnPage);
// One item row and its line end (plus an empty line unless space is saved).
QString ligneArticleTicket(const InvoiceItem &article, const LargeursColonnes &largeurs, int signe,
                           bool economieEspace);
QString ligneArticleTicket(const InvoiceItem &article, const MiseEnPageTicket &miseEnPage, int signe,
                           bool economieEspace);

// Cuts `texte` into lines of at most `largeur` characters: at the " | " separators of label and
// value pairs first, then at plain spaces, then at non-breaking spaces (U+00A0, which tie a label to
// its value); the separator is dropped where the line breaks. A piece longer than a line is cut.
// Group separators of amounts are not spaces, so an amount is never split unless it alone is wider
// than the line.
QStringList couperEnLignes(const QString &texte, int largeur);
// Every line of `texte` longer than `largeur` is cut as couperEnLignes does; 0 leaves the text as is.
QString replierLignes(const QString &texte, int largeur);
