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
// On the A4 invoice the group separators are non-breaking spaces ("&nbsp;"), so that an amount is
// never cut at the end of a line. `caracteresTicket` is the number of characters that one line of
// the ticket roll holds (0 for no limit): no line of the ticket is longer.
QString construireDocument(const Invoice &facture, const ParametresRendu &parametres,
                           const std::optional<ResultatLu> &resultat, const QString &imageQr,
                           Variante variante, int caracteresTicket = 0);
