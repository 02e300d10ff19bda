#pragma once

#include <lignejournal.h>

#include <invoice.h>

#include <optional>
#include <string>

// The engine's own reading of the parsed invoice: the refund's fiscal reference and the console lines
// that tell what was read.

// Sets referenceOriginale from the header's original-invoice text and what the register found under
// it, and returns the console line that reports it (empty when nothing is printed). On the device
// path and on the web path in Niger the register's NIM and counter make the reference, on the web
// path in Bénin its signature without dashes; a text with a dash unknown to the register is taken
// as it stands.
std::string resoudreReferenceOriginale(Invoice &facture, const std::optional<FactureOriginale> &trouvee,
                                       const QString &pays, bool modeEnLigne);

// The header lines (operator, client and withholding rate) when the header has more than three
// fields, then one line per item with its amount with tax, specific tax, withholding and total.
std::string texteConsoleFacture(const Invoice &facture, const TablesReference &tables, const QString &pays);
