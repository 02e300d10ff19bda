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

#include <ostream>

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

bool sortirA4(const QString &html, const DemandeSortie &demande, QPrinter &native, QPrinter &pdf,
              std::ostream &console)
{
    Worker worker(html, demande.reference, demande.marque.join(QStringLiteral(" - ")));
    if (demande.impression == facturePdfSilencieuse) {
        FichierPdf fichier(cheminPdf(Variante::A4, demande.reference), console);
        if (fichier.cheminProvisoire().isEmpty())
            return false;
        pdf.setOutputFileName(fichier.cheminProvisoire());
        worker.print(&pdf);
        return fichier.publier();
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
    // The preview draws its pages itself; only a printing from it uses the printer. The PDF printer
    // that could not begin could not create its file (named in the print dialog, which may change
    // it); a machine without printer gives the native printer a PDF output of Qt's choosing.
    if (worker.echec()) {
        if (imprimante == &pdf)
            console << "Impossible d'ecrire le fichier PDF "
                    << QDir::toNativeSeparators(imprimante->outputFileName()).toStdString() << "\n";
        else
            console << ligneImprimanteIndisponible().toStdString();
        return false;
    }
    return true;
}

bool sortirTicket(const QString &texte, const DemandeSortie &demande, QPrinter &native, QPrinter &pdf,
                  std::ostream &console)
{
    const ContenuTicket ticket{texte, policeTicket(demande.fontName, demande.fontSize), demande.texteQr,
                               demande.marque};
    const bool versPdf = demande.impression == ticketPdf || demande.impression == ticketPdfSilencieux;
    if (!versPdf) {
        // On a machine without any printer Qt makes the default printer a PDF output without a file,
        // which cannot begin: said here in French rather than by Qt's own warning.
        const bool sansImprimante =
            native.outputFormat() == QPrinter::PdfFormat && native.outputFileName().isEmpty();
        if (!sansImprimante && dessinerTicket(native, ticket))
            return true;
        console << ligneImprimanteIndisponible().toStdString();
        return false;
    }
    const QString chemin = cheminPdf(Variante::Ticket, demande.reference);
    FichierPdf fichier(chemin, console);
    if (fichier.cheminProvisoire().isEmpty())
        return false;
    pdf.setOutputFileName(fichier.cheminProvisoire());
    ajusterPageTicketPdf(pdf, ticket, demande.largeurTicket);
    dessinerTicket(pdf, ticket); // a PDF that could not begin is empty: publier() says so
    if (!fichier.publier())
        return false;
    if (demande.impression == ticketPdf)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath()));
    return true;
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

QString ligneImprimanteIndisponible()
{
    return QStringLiteral(
        "orvane-render: Impossible d'imprimer: l'imprimante par defaut ne peut pas etre "
        "demarree (aucune imprimante, ou elle ne repond pas). Le document n'est pas imprime.\n");
}

bool sortirDocument(const QString &texte, const DemandeSortie &demande, std::ostream &console)
{
    QPrinter native(QPrinter::HighResolution);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    if (demande.variante == Variante::A4)
        return sortirA4(texte + QStringLiteral("</body></html>"), demande, native, pdf, console);
    return sortirTicket(texte, demande, native, pdf, console);
}
