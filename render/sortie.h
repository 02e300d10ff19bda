#pragma once

#include "document.h"

#include <parametres.h>

#include <QString>

class QPrintPreviewDialog;

// What the output step needs besides the document text.
struct DemandeSortie
{
    QString impression; // print mode of the invoice
    Variante variante = Variante::Ticket;
    QString reference; // names the PDF file
    QString imageQr;   // QR PNG path, empty when the result file was not read
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
void sortirDocument(const QString &texte, const DemandeSortie &demande);
