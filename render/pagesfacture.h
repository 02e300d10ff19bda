#pragma once

#include <QSizeF>
#include <QString>

#include <memory>

class QPagedPaintDevice;
class QPaintDevice;
class QTextDocument;

// Pages of the A4 invoice. The rich-text engine cuts a document wherever a page ends; an invoice
// must not be cut between its totals and its fiscal block, and its following pages must say which
// invoice they belong to.

// Margin around the text of every page, as the rich-text engine's own printing leaves.
constexpr double margeFactureMm = 20.0;

// A copy of the invoice laid out on `appareil` in pages of `page` device pixels: the item table's
// header row is repeated at the top of every page it runs on, its Total row never starts a page
// without the last item row, and the part from the totals to the end (closing sentence, amount
// received, fiscal block with its QR code, message) starts a new page when it would otherwise be
// cut and fits on one page; when it does not, the fiscal block alone is kept whole the same way.
// Its text has no ligatures (the PDF's text says "fi", not one glyph) and its QR code is drawn from
// the code's modules (dessinqr.h).
std::unique_ptr<QTextDocument> documentPagine(const QTextDocument &facture, QPaintDevice *appareil,
                                              const QSizeF &page);

// Index (from 0) of the page on which the text `texte` begins in a document made by documentPagine;
// -1 when the text is not found.
int pageDuTexte(const QTextDocument &pagine, const QString &texte);

// "page n/N" at the foot of every page, "Ref.: " + reference at the head of every page after the
// first.
QString piedDePage(int numero, int total);

// Prints the invoice on `imprimante` (a PDF file, a printer or the print preview's pages). `marque`,
// when not empty, is the mark of an invoice that is not certified, printed large and framed at the
// head of every page. False when painting on `imprimante` cannot begin (no printer).
bool imprimerFacture(const QTextDocument &facture, QPagedPaintDevice *imprimante, const QString &reference,
                     const QString &marque = {});
