#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QPrinter;

// Font of the ticket: the configured family and size, with a fixed-pitch hint so that a family that
// is not installed is replaced by a fixed-pitch one and the columns stay aligned; no ligatures, so
// that the PDF's text says "fi" and not one glyph.
QFont policeTicket(const QString &fontName, int fontSize);

// Smallest printed side of the QR code, quiet zone included: large enough for a phone to read
// whatever the resolution.
constexpr double coteMinimalQrMm = 25.0;

// Margin on each side of the ticket's PDF page: a printable width of 72 mm makes an 80 mm roll.
constexpr double margeTicketMm = 4.0;

// Characters of the ticket font that one line of `largeurMm` holds, measured as the PDF output
// draws them (at least 1).
int caracteresParLigne(const QFont &police, double largeurMm);

// What a ticket draws.
struct ContenuTicket
{
    QString texte; // the document text, cut to the roll's width
    QFont police;
    QString texteQr;    // the QR code's text; empty: no QR code
    QStringList marque; // lines of the text that are the mark of an invoice not certified
};

// For a PDF ticket: sets a roll-shaped page, `largeurMm` of printable width plus the margins, whose
// height holds the whole ticket, text and QR code, so that nothing falls off the page.
void ajusterPageTicketPdf(QPrinter &imprimante, const ContenuTicket &ticket, double largeurMm);

// Draws the ticket text from the top-left corner of the printable area, then the QR code directly
// under it, drawn from its modules (dessinqr.h) at least coteMinimalQrMm wide. The lines of the
// mark are drawn in bold, framed and centred, as large as the width allows (up to three times the
// text's size). A ticket longer than the page goes on to further pages instead of losing its end.
// False when painting on the printer cannot begin (no printer).
bool dessinerTicket(QPrinter &imprimante, const ContenuTicket &ticket);
