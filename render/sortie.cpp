#include "sortie.h"

#include "dessinticket.h"
#include "fichierpdf.h"
#include "nomfichierpdf.h"
#include "worker.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QUrl>

#include <iostream>

namespace {

const QString factureSimple = QStringLiteral("facture");
const QString facturePdf = QStringLiteral("facture-pdf");
const QString facturePdfSilencieuse = QStringLiteral("facture-pdf-silent");
const QString ticketPdf = QStringLiteral("ticket-pdf");
const QString ticketPdfSilencieux = QStringLiteral("ticket-pdf-silent");

// Creates the PDF folder under the working directory and gives the printer the file's absolute
// path: the print dialog of the preview resolves a relative name against the home folder, not the
// working directory, and would then write nowhere.
void preparerFichierPdf(QPrinter &pdf, const QString &cheminFichier)
{
    const QFileInfo fichier(cheminFichier);
    QDir().mkpath(fichier.path());
    if (fichier.isSymLink()) // the preview writes the file itself: a planted link goes first
        QFile::remove(fichier.absoluteFilePath());
    pdf.setOutputFileName(fichier.absoluteFilePath());
}

void sortirA4(const QString &html, const DemandeSortie &demande, QPrinter &native, QPrinter &pdf)
{
    Worker worker(html, demande.reference);
    if (demande.impression == facturePdfSilencieuse) {
        FichierPdf fichier(cheminPdf(Variante::A4, demande.reference), std::cout);
        if (fichier.cheminProvisoire().isEmpty())
            return;
        pdf.setOutputFileName(fichier.cheminProvisoire());
        worker.print(&pdf);
        fichier.publier();
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
    FichierPdf fichier(chemin, std::cout);
    if (fichier.cheminProvisoire().isEmpty())
        return;
    pdf.setOutputFileName(fichier.cheminProvisoire());
    ajusterPageTicketPdf(pdf, texte, police, demande.imageQr, demande.largeurTicket);
    dessinerTicket(pdf, texte, police, demande.imageQr);
    if (fichier.publier() && demande.impression == ticketPdf)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath()));
}

} // namespace

QString cheminPdf(Variante variante, const QString &reference)
{
    const QString dossier =
        variante == Variante::A4 ? QStringLiteral("pdf/factures/") : QStringLiteral("pdf/tickets/");
    return dossier + nomFichierPdf(reference);
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
