#include "sortie.h"

#include "dessinticket.h"
#include "worker.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QUrl>

namespace {

const QString factureSimple = QStringLiteral("facture");
const QString facturePdf = QStringLiteral("facture-pdf");
const QString facturePdfSilencieuse = QStringLiteral("facture-pdf-silent");
const QString ticketPdf = QStringLiteral("ticket-pdf");
const QString ticketPdfSilencieux = QStringLiteral("ticket-pdf-silent");

QString nomFichierSur(const QString &reference)
{
    static const QString interdits = QStringLiteral("/\\:*?\"<>|");
    QString nom = reference;
    for (QChar &c : nom) {
        if (interdits.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return nom;
}

// Creates the PDF folder under the working directory and gives the printer the file's absolute
// path: the print dialog of the preview resolves a relative name against the home folder, not the
// working directory, and would then write nowhere.
void preparerFichierPdf(QPrinter &pdf, const QString &cheminFichier)
{
    const QFileInfo fichier(cheminFichier);
    QDir().mkpath(fichier.path());
    pdf.setOutputFileName(fichier.absoluteFilePath());
}

void sortirA4(const QString &html, const DemandeSortie &demande, QPrinter &native, QPrinter &pdf)
{
    Worker worker(html, demande.reference);
    if (demande.impression == facturePdfSilencieuse) {
        preparerFichierPdf(pdf, cheminPdf(Variante::A4, demande.reference));
        worker.print(&pdf);
        return;
    }
    QPrinter *imprimante = &native;
    if (demande.impression == facturePdf) {
        preparerFichierPdf(pdf, cheminPdf(Variante::A4, demande.reference));
        imprimante = &pdf;
    }
    QPrintPreviewDialog apercu(imprimante);
    QObject::connect(&apercu, &QPrintPreviewDialog::paintRequested, &worker, &Worker::print);
    apercu.setWindowTitle(titreApercu());
    dimensionnerApercu(apercu);
    apercu.exec();
}

void sortirTicket(const QString &texte, const DemandeSortie &demande, QPrinter &native, QPrinter &pdf)
{
    const QFont police = policeTicket(demande.fontName, demande.fontSize);
    const bool versPdf = demande.impression == ticketPdf || demande.impression == ticketPdfSilencieux;
    if (!versPdf) {
        dessinerTicket(native, texte, police, demande.imageQr);
        return;
    }
    const QString chemin = cheminPdf(Variante::Ticket, demande.reference);
    preparerFichierPdf(pdf, chemin);
    ajusterPageTicketPdf(pdf, texte, police, demande.imageQr, demande.largeurTicket);
    dessinerTicket(pdf, texte, police, demande.imageQr);
    if (demande.impression == ticketPdf)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath()));
}

} // namespace

QString cheminPdf(Variante variante, const QString &reference)
{
    const QString dossier =
        variante == Variante::A4 ? QStringLiteral("pdf/factures/") : QStringLiteral("pdf/tickets/");
    return dossier + nomFichierSur(reference) + QStringLiteral(".pdf");
}

QString titreApercu()
{
    return QStringLiteral("Orvane MCF - Aperçu avant impression");
}

void dimensionnerApercu(QPrintPreviewDialog &apercu)
{
    // Without a window manager "maximized" means nothing and the dialog would open at its minimum
    // size: give it the screen's free area first.
    if (const QScreen *ecran = apercu.screen())
        apercu.setGeometry(ecran->availableGeometry());
    apercu.setWindowState(apercu.windowState() | Qt::WindowMaximized);
    if (auto *pages = apercu.findChild<QPrintPreviewWidget *>())
        pages->fitToWidth();
}

void sortirDocument(const QString &texte, const DemandeSortie &demande)
{
    QPrinter native(QPrinter::HighResolution);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    if (demande.variante == Variante::A4)
        sortirA4(texte + QStringLiteral("</body></html>"), demande, native, pdf);
    else
        sortirTicket(texte, demande, native, pdf);
}
