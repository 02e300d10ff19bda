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
// `resultat` is the result file when it was read. Only a certification of this invoice
// (etatfiscal.h) gives the fiscal block and the QR code; the demonstration result gives them with
// the mark "DEMONSTRATION - FACTURE NON CERTIFIEE", and without a certification the document has no
// fiscal block and carries the mark "FACTURE NON CERTIFIEE" instead. The A4 invoice shows the QR
// code as an image that the printing draws from its modules (sourceImageQr, redacteura4.h).
// Texts from the settings, the invoice and the result file are escaped on the A4 invoice, so that
// they print as written. On the A4 invoice the group separators are non-breaking spaces ("&nbsp;"),
// so that an amount is never cut at the end of a line, nor a label from its value.
// `caracteresTicket` is the number of characters that one line of the ticket roll holds (0 for no
// limit): no line of the ticket is longer; a long line breaks at its " | " separators first, never
// inside a label and its value unless they alone are longer than the line.
QString construireDocument(const Invoice &facture, const ParametresRendu &parametres,
                           const std::optional<ResultatLu> &resultat, Variante variante,
                           int caracteresTicket = 0);
