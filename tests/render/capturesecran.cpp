// Screenshots of the settings dialog's tabs and of the A4 invoice's print preview, as an
// integrator sees them, for the documentation:
//   xvfb-run -s "-screen 0 1280x900x24" build/tests/captures-ecran docs/images
// Run from the repository root; the settings and invoice are the sample ones of tests/data/render,
// the invoices in suspense those of a sample register written here.
#include "dialog.h"

#include <document.h>
#include <imagesqr.h>
#include <lecturefacture.h>
#include <parametres.h>
#include <registre.h>
#include <sortie.h>
#include <titulaire.h>
#include <traduction.h>
#include <worker.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTranslator>

#include <iostream>

namespace {

bool capturer(QWidget &fenetre, const QString &fichier)
{
    QTest::qWait(400); // let the window be mapped and painted
    const QRect cadre = fenetre.frameGeometry();
    const QPixmap image =
        fenetre.screen()->grabWindow(0, cadre.x(), cadre.y(), cadre.width(), cadre.height());
    const bool ok = image.save(fichier);
    std::cout << qPrintable(fichier) << (ok ? "" : " : echec") << "\n";
    return ok;
}

// A register holding a few invoices a run could not finish, as the engine leaves them: one whose
// close was lost on the device, one whose e-MCF confirmation got no answer, one already released by
// the operator, and one this program holds as a live run would.
bool ecrireRegistreExemple(const QString &chemin)
{
    Registre registre(QStringLiteral("captures"));
    if (!registre.ouvrir(chemin))
        return false;
    const TitulaireExecution morte{QCoreApplication::applicationPid(), QStringLiteral("execution-terminee")};
    const TitulaireExecution vivante = executionCourante();
    const auto jamaisVivante = [](const TitulaireExecution &) { return false; };
    const QString port = QStringLiteral("COM3");
    const QString service = QStringLiteral("https://developper.impots.bj/sygmef-emcf/api/invoice");
    using E = EtatCertification;
    struct Exemple
    {
        QString reference;
        QString chemin;
        QList<E> etats;
        bool vivante;
    };
    const QList<Exemple> exemples = {
        {QStringLiteral("FAC-2026-0142"),
         cheminAppareil,
         {E::Ouverte, E::Payee, E::FermetureEnvoyee, E::IssueInconnue},
         false},
        {QStringLiteral("FAC-2026-0145"),
         cheminEmcf,
         {E::SoumissionEnvoyee, E::Soumise, E::ConfirmationEnvoyee},
         false},
        {QStringLiteral("FAC-2026-0147"), cheminAppareil, {E::Ouverte, E::Payee}, false},
        {QStringLiteral("FAC-2026-0148"), cheminAppareil, {E::Ouverte}, true},
    };
    for (const Exemple &e : exemples) {
        const TitulaireExecution titulaire = e.vivante ? vivante : morte;
        if (registre
                .reclamer(e.reference, e.reference, e.chemin, e.chemin == cheminEmcf ? service : port,
                          titulaire, jamaisVivante)
                .issue != Reclamation::Issue::Nouvelle)
            return false;
        for (E etat : e.etats) {
            if (!registre.changerEtat(e.reference, etat, titulaire,
                                      etat == E::Soumise ? QStringLiteral("UID-0145") : QString()))
                return false;
        }
    }
    return registre.abandonner(QStringLiteral("FAC-2026-0147"), jamaisVivante).issue ==
           AbandonOperateur::Issue::Abandonnee;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTranslator traduction;
    installerTraductionQt(traduction);
    const QString sortie = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images");
    const QString donnees = QStringLiteral(ORVANE_TEST_DATA_DIR "/render/");
    QDir().mkpath(sortie);
    QTemporaryDir dossier;

    // The dialog on the sample settings and register, one picture per tab.
    QFile::copy(donnees + "app.xml", dossier.filePath("app.xml"));
    if (!ecrireRegistreExemple(dossier.filePath("mcf.s3db")))
        std::cout << "registre d'exemple : echec\n";
    {
        Dialog dialogue(dossier.filePath("app.xml"));
        dialogue.definirRegistre(dossier.filePath("mcf.s3db"));
        dialogue.move(40, 40);
        dialogue.show();
        auto *onglets = dialogue.findChild<QTabWidget *>("tabWidget");
        const QStringList noms = {"setup-application.png", "setup-general.png", "setup-ftp.png",
                                  "setup-suspens.png"};
        for (int i = 0; i < onglets->count() && i < noms.size(); ++i) {
            onglets->setCurrentIndex(i);
            // The invoice in suspense that may be released is chosen, as the operator would.
            if (auto *table = onglets->currentWidget()->findChild<QTableWidget *>("tableSuspens"))
                table->selectRow(0);
            capturer(dialogue, QDir(sortie).filePath(noms.at(i)));
        }
    }

    // The print preview of the sample invoice with its fiscal block and QR code.
    QFile f(donnees + "facture.csv");
    f.open(QIODevice::ReadOnly);
    QString entree = QString::fromUtf8(f.readAll());
    QFile a(donnees + "app.xml");
    a.open(QIODevice::ReadOnly);
    const ParametresRendu p = parametresRendu(analyserParametres(a.readAll()));
    QTextStream flux(&entree);
    const Invoice facture = lireFacture(flux, {dispositionEntete(p.apiVersion), p.pays, true});
    QString ligne =
        QStringLiteral("FAC-2026-0001\t\tDEMO-5AB7-CD9E-F2GH-4JK6-LM8N\tEM01020304\t82/87 FV\t09/01/2020 "
                       "13:55:42\tF;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542\t");
    QTextStream fluxResultat(&ligne);
    const ResultatLu resultat = lireResultat(fluxResultat);
    const QString cheminEntree = dossier.filePath("facture.csv");
    ecrireImagesQr(resultat.qrcode, cheminEntree);
    const QString html =
        construireDocument(facture, p, resultat, cheminEntree + ".png", Variante::A4) + "</body></html>";
    Worker worker(html, facture.reference);
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setOutputFormat(QPrinter::PdfFormat);
    imprimante.setOutputFileName(dossier.filePath("apercu.pdf"));
    QPrintPreviewDialog apercu(&imprimante);
    QObject::connect(&apercu, &QPrintPreviewDialog::paintRequested, &worker, &Worker::print);
    apercu.setWindowTitle(titreApercu());
    dimensionnerApercu(apercu);
    apercu.show();
    capturer(apercu, QDir(sortie).filePath("render-apercu.png"));
    return 0;
}
