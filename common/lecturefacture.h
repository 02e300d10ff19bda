#pragma once

#include "invoice.h"

#include <QStringConverter>
#include <QStringList>

class QTextStream;

// The reader of the invoice input file, for the engine and the renderer.

// Header layout: "1" selects the older field order, anything else the current one.
enum class DispositionEntete { Version1, Version2 };
DispositionEntete dispositionEntete(const QString &apiVersion);

struct OptionsLecture
{
    DispositionEntete disposition = DispositionEntete::Version2;
    QString pays; // the withholding of the engine's line totals and the sign of Niger credit notes
    // Stop reading after a header that holds the print mode field but leaves it empty.
    bool arretImpressionVide = false;
};

// Fields of a line: split on ";" keeping empty parts (no quoting exists), each trimmed.
QStringList champsLigne(const QString &ligne);
// Field at `position`, empty when the line is shorter.
QString champLigne(const QStringList &champs, int position);

// Reads one counted line (NUL characters already removed) into the record: the header while
// nombreLignes is 0, then comments ("#") and items. The caller increments nombreLignes afterwards.
void lireLigne(const QString &ligne, Invoice &facture, const OptionsLecture &options);

// Reads the whole file from the stream (lines as QTextStream::readLine splits them, in the stream's
// encoding). A line empty as read is skipped and does not count; NUL characters are removed from the
// others, which then count even when nothing is left of them.
Invoice lireFacture(QTextStream &flux, const OptionsLecture &options);

// The numbers rule of both programs: a quantity or price of an item (quantite, prixHT, prixTTC)
// that is not empty must be a number as the input file writes them ("." as decimal separator, no
// grouping). An empty field counts as 0, as business applications write it; "0,333" or "abc" would
// silently count as 0 too, so such an invoice is refused: by the engine before anything is sent,
// by the renderer before anything is printed.
// The first such field, as a French console text without its end, naming the line of the file,
// the item and the field (e.g. `Ligne 3 (article 2), champ quantite: "0,333" n'est pas un
// nombre (le separateur decimal est le point)`); empty when every quantity and price is readable.
// Each program adds what it does not do.
QString nombreIllisible(const Invoice &facture);

// Encoding of the input file from the `encodage` setting: its number as QStringConverter::Encoding
// (0 UTF-8 ... 7 Latin-1, 8 system); a text that is not a number, or a code outside 0..8, gives UTF-8.
QStringConverter::Encoding encodageEntree(const QString &encodage);
