#pragma once

#include "document.h"

#include <parametres.h>

#include <QString>
#include <QStringList>

#include <ostream>

class QPrintPreviewDialog;

// What the output step needs besides the document text.
struct DemandeSortie
{
    QString impression; // print mode of the invoice
    Variante variante = Variante::Ticket;
    QString reference;  // names the PDF file
    QString texteQr;    // text of the QR code to draw, empty for none
    QStringList marque; // lines of the mark of an invoice that is not certified, empty for none
    QString fontName = QStringLiteral("Lucida Console");
    int fontSize = 6;
    double largeurTicket = largeurTicketParDefaut; // printable width of the roll, mm
};

// The PDF file of an A4 invoice or a ticket, relative to the working directory, named by
// nomFichierPdf (nomfichierpdf.h).
QString cheminPdf(Variante variante, const QString &reference);

// Title of the print preview window.
QString titreApercu();

// Shows the preview at a size that fills the screen's free area and its pages at the window's
// width, with or without a window manager to maximize it.
void dimensionnerApercu(QPrintPreviewDialog &apercu);

// Prints or saves the finished document by its print mode: A4 in a modal print preview (default
// printer for "facture", PDF file for "facture-pdf"), A4 straight to its PDF file for
// "facture-pdf-silent"; a ticket into its PDF file for "ticket-pdf" (then opened in the PDF viewer)
// and "ticket-pdf-silent", on the default printer for any other mode.
// False, with a line on `console` that says why, when the document could not be put out: a PDF
// that cannot be written, a printer that cannot be started (none, or not answering), or a printing
// from the preview that could not start.
bool sortirDocument(const QString &texte, const DemandeSortie &demande, std::ostream &console);

// The console line of a printer that could not be started.
QString ligneImprimanteIndisponible();
