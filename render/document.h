#pragma once

#include "resultatlu.h"

#include <invoice.h>
#include <parametres.h>

#include <QString>
#include <optional>

// The two documents of an invoice: the A4 invoice (HTML for the rich-text engine) or the till ticket
// (plain text drawn in a fixed-pitch font).
enum class Variante { A4, Ticket };

// The A4 invoice is made for the print modes "facture", "facture-pdf" and "facture-pdf-silent";
// every other mode makes a ticket.
Variante varianteImpression(const QString &impression);

// Builds the whole document text, group separators already replaced by spaces, without the closing
// "</body></html>" of the A4 variant (the output step adds it).
// `resultat` is the fiscal result when the result file was read; without it the document has no
// fiscal block. `imageQr` is the QR PNG path to show on the A4 invoice, empty for none.
QString construireDocument(const Invoice &facture, const ParametresRendu &parametres,
                           const std::optional<ResultatLu> &resultat, const QString &imageQr,
                           Variante variante);
