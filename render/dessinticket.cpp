#include "dessinticket.h"

#include "dessinqr.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPen>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// One line of the ticket as it is drawn.
struct LigneTicket
{
    QString texte;
    QFont police;
    double hauteur = 0;
    bool marque = false; // bold, framed and centred
};

// Requested size for measuring text: line breaks are honoured, nothing is wrapped.
const QRectF cadreMesure(0, 0, 60, 20);

// Share of the width the mark's words may take: the rest is for its frame.
constexpr double placeMarque = 0.9;
// The mark's lines are centred and wrap between their words.
constexpr int alignementMarque = Qt::AlignCenter | Qt::TextWordWrap;

// The font of the mark: bold, three times the text's size unless one of its words would then be
// wider than `largeur`.
QFont policeMarque(const QFont &police, const QStringList &marque, QPaintDevice *appareil, double largeur)
{
    QFont grande(police);
    grande.setBold(true);
    grande.setPointSizeF(police.pointSizeF() * 3);
    double large = 0;
    for (const QString &ligne : marque) {
        for (const QString &mot : ligne.split(QLatin1Char(' ')))
            large = std::max(large, QFontMetricsF(grande, appareil).horizontalAdvance(mot));
    }
    const double place = largeur * placeMarque;
    if (large > place)
        grande.setPointSizeF(std::max(police.pointSizeF(), grande.pointSizeF() * place / large));
    return grande;
}

// Room between the mark's text and its frame.
double margeMarque(const QFontMetricsF &mesures)
{
    return mesures.height() * 0.3;
}

// Where a line of the mark is drawn in the band `zone`: as wide as the mark may be, as high as its
// wrapped text, centred.
QRectF texteMarque(const QFontMetricsF &mesures, const QRectF &zone, const QString &texte)
{
    const double largeur = zone.width() * placeMarque;
    QRectF rectangle(0, 0, largeur,
                     mesures.boundingRect(QRectF(0, 0, largeur, 1), alignementMarque, texte).height());
    rectangle.moveCenter(zone.center());
    return rectangle;
}

// The lines of the ticket with their fonts and heights on `appareil`, whose printable width is
// `largeur` device pixels (an empty line keeps the height of a line).
QList<LigneTicket> lignesTicket(const ContenuTicket &ticket, QPaintDevice *appareil, double largeur)
{
    const QFont grande = policeMarque(ticket.police, ticket.marque, appareil, largeur);
    QList<LigneTicket> lignes;
    for (const QString &texte : ticket.texte.split(QLatin1Char('\n'))) {
        LigneTicket l{texte, ticket.police, 0, ticket.marque.contains(texte) && !texte.isEmpty()};
        if (l.marque) {
            l.police = grande;
            // The text and its frame, with as much room above and below as on its sides.
            const QFontMetricsF mesures(grande, appareil);
            l.hauteur =
                texteMarque(mesures, QRectF(0, 0, largeur, 1), texte).height() + 2 * margeMarque(mesures);
        } else {
            l.hauteur = QFontMetricsF(l.police, appareil)
                            .boundingRect(cadreMesure, 0, texte.isEmpty() ? QStringLiteral(" ") : texte)
                            .height();
        }
        lignes.append(l);
    }
    return lignes;
}

// Side of a module of the QR code in device pixels on a device of `resolution` dots per inch.
int moduleQrTicket(const ModulesQr &qr, int resolution)
{
    return moduleAuMoins(qr, coteMinimalQrMm / 25.4 * resolution);
}

std::optional<ModulesQr> qrDuTicket(const ContenuTicket &ticket)
{
    return ticket.texteQr.isEmpty() ? std::nullopt : modulesQr(ticket.texteQr);
}

double hauteurTexte(const QList<LigneTicket> &lignes)
{
    double hauteur = 0;
    for (const LigneTicket &l : lignes)
        hauteur += l.hauteur;
    return hauteur;
}

} // namespace

QFont policeTicket(const QString &fontName, int fontSize)
{
    QFont police(fontName, fontSize, QFont::Normal, false);
    police.setStyleHint(QFont::TypeWriter);
    police.setFixedPitch(true);
    police.setStyleStrategy(QFont::PreferNoShaping);
    return police;
}

int caracteresParLigne(const QFont &police, double largeurMm)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    const QFontMetricsF mesures(police, &pdf);
    // The widest of a few characters: the same for a fixed-pitch font, a safe bound for another.
    double chasse = 0;
    for (const QChar c : QStringLiteral("MW0é|-"))
        chasse = std::max(chasse, mesures.horizontalAdvance(c));
    const double largeur = largeurMm / 25.4 * pdf.resolution();
    if (chasse <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::floor(largeur / chasse)));
}

void ajusterPageTicketPdf(QPrinter &imprimante, const ContenuTicket &ticket, double largeurMm)
{
    const int resolution = imprimante.resolution();
    double hauteur =
        std::ceil(hauteurTexte(lignesTicket(ticket, &imprimante, largeurMm / 25.4 * resolution)));
    if (const std::optional<ModulesQr> qr = qrDuTicket(ticket))
        hauteur += moduleQrTicket(*qr, resolution) * modulesAvecZoneCalme(*qr);
    const double mmParPoint = 25.4 / resolution;
    // The text was cut to the roll's width (caracteresParLigne): the page is the roll's width.
    // A little slack so that rounding in the page size never pushes the last line to a new page.
    const double hauteurMm = hauteur * mmParPoint + 2 * margeTicketMm + 2;
    const double m = margeTicketMm;
    imprimante.setPageLayout(
        QPageLayout(QPageSize(QSizeF(largeurMm + 2 * m, hauteurMm), QPageSize::Millimeter),
                    QPageLayout::Portrait, QMarginsF(m, m, m, m), QPageLayout::Millimeter));
}

bool dessinerTicket(QPrinter &imprimante, const ContenuTicket &ticket)
{
    QPainter peintre;
    if (!peintre.begin(&imprimante))
        return false;
    const double hauteurPage = imprimante.height();
    const double largeurPage = imprimante.width();
    const QList<LigneTicket> lignes = lignesTicket(ticket, &imprimante, largeurPage);
    double largeur = 0;
    for (const LigneTicket &l : lignes) {
        if (!l.marque)
            largeur = std::max(
                largeur, QFontMetricsF(l.police, &imprimante).boundingRect(cadreMesure, 0, l.texte).width());
    }

    double y = 0;
    for (const LigneTicket &l : lignes) {
        if (y > 0 && y + l.hauteur > hauteurPage) {
            imprimante.newPage();
            y = 0;
        }
        peintre.setFont(l.police);
        if (l.marque) {
            const QFontMetricsF mesures(l.police, &imprimante);
            const QRectF zone = texteMarque(mesures, QRectF(0, y, largeurPage, l.hauteur), l.texte);
            const double marge = margeMarque(mesures);
            peintre.save();
            QPen trait(Qt::black);
            trait.setWidthF(marge / 2);
            peintre.setPen(trait);
            peintre.drawRect(mesures.boundingRect(zone, alignementMarque, l.texte)
                                 .adjusted(-marge, -marge * 0.6, marge, marge * 0.6));
            peintre.restore();
            peintre.drawText(zone, alignementMarque, l.texte);
        } else {
            peintre.drawText(QRectF(0, y, largeur, l.hauteur), l.texte, QTextOption());
        }
        y += l.hauteur;
    }

    if (const std::optional<ModulesQr> qr = qrDuTicket(ticket)) {
        const int module = moduleQrTicket(*qr, imprimante.resolution());
        const int cote = module * modulesAvecZoneCalme(*qr);
        y = std::ceil(y);
        if (y > 0 && y + cote > hauteurPage) {
            imprimante.newPage();
            y = 0;
        }
        dessinerQr(peintre, *qr, QPoint(0, static_cast<int>(y)), module);
    }
    peintre.end();
    return true;
}
