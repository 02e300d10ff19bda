#pragma once

#include <QFont>
#include <QString>

class QPrinter;

// Font of the ticket: the configured family and size, with a fixed-pitch hint so that a family that
// is not installed is replaced by a fixed-pitch one and the columns stay aligned.
QFont policeTicket(const QString &fontName, int fontSize);

// Smallest printed side of the QR code: large enough for a phone to read whatever the resolution.
constexpr double coteMinimalQrMm = 25.0;

// Side of the QR image on a device of `resolution` dots per inch: its own pixel size, enlarged
// to coteMinimalQrMm on fine devices (a 200-pixel image on a 1200 dpi PDF would be 4 mm wide).
int coteQr(int pixelsImage, int resolution);

// Margin on each side of the ticket's PDF page: a printable width of 72 mm makes an 80 mm roll.
constexpr double margeTicketMm = 4.0;

// Characters of the ticket font that one line of `largeurMm` holds, measured as the PDF output
// draws them (at least 1).
int caracteresParLigne(const QFont &police, double largeurMm);

// For a PDF ticket: sets a roll-shaped page, `largeurMm` of printable width plus the margins, whose
// height holds the whole ticket, text and QR image, so that nothing falls off the page.
void ajusterPageTicketPdf(QPrinter &imprimante, const QString &texte, const QFont &police,
                          const QString &imageQr, double largeurMm);

// Draws the ticket text from the top-left corner of the printable area, then the QR image (when the
// file exists) directly under it. A ticket longer than the page goes on to further pages instead of
// losing its end.
void dessinerTicket(QPrinter &imprimante, const QString &texte, const QFont &police, const QString &imageQr);
