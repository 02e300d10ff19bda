#include "comparaisontexte.h"
#include "installationrendu.h"
#include "lecturesrendu.h"
#include "resultatsexemple.h"

#include <document.h>
#include <sortie.h>
#include <worker.h>

#include <affichage.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QAction>
#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

#include <sstream>

namespace {

// What the test saw of the preview while it drove it.
struct Conduite
{
    bool imprimer = false; // trigger the preview's print action, else just close the preview
    int apercus = 0;       // times a preview was found on top
    QString titre;
    bool agrandi = false;
    bool actionTrouvee = false;
    int dialoguesImpression = 0;
};

// Acts on the modal window on top: accepts a print dialog, and on the preview either triggers its
// print action (once) or closes it.
void conduire(Conduite &c)
{
    QWidget *dessus = QApplication::activeModalWidget();
    if (auto *dialogue = qobject_cast<QPrintDialog *>(dessus)) {
        ++c.dialoguesImpression;
        dialogue->accept();
        return;
    }
    auto *apercu = qobject_cast<QPrintPreviewDialog *>(dessus);
    if (!apercu)
        return;
    if (++c.apercus == 1) {
        c.titre = apercu->windowTitle();
        c.agrandi = apercu->windowState().testFlag(Qt::WindowMaximized);
    }
    if (c.imprimer && !c.actionTrouvee) {
        for (QAction *action : apercu->findChildren<QAction *>()) {
            if (action->text() == QStringLiteral("Print")) {
                c.actionTrouvee = true;
                // Queued, so that the print dialog it opens runs its loop outside this timer's slot.
                QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
                break;
            }
        }
        if (c.actionTrouvee)
            return;
    }
    apercu->close();
}

} // namespace

class ApercuFacture : public QObject
{
    Q_OBJECT

private slots:
    void apercu_data();
    void apercu();
    void sansImprimante();
};

void ApercuFacture::apercu_data()
{
    QTest::addColumn<QString>("impression");
    QTest::addColumn<bool>("imprimer");
    QTest::addColumn<QString>("pdf");        // expected PDF; empty: none
    QTest::addColumn<bool>("dossierBloque"); // a file named "pdf" stands where the PDF folder goes
    QTest::addColumn<QString>("console");    // what the output step says ("{dossier}": the installation's)

    const QString pdfFacture = "pdf/factures/FAC-2026-0001.pdf";
    QTest::newRow("facture-pdf printed from its preview")
        << "facture-pdf" << true << pdfFacture << false << "";
    QTest::newRow("facture-pdf preview closed without printing")
        << "facture-pdf" << false << "" << false << "";
    QTest::newRow("facture preview on the default printer, closed")
        << "facture" << false << "" << false << "";
    QTest::newRow("facture printed from its preview on a machine without printer")
        << "facture" << true << "" << false << ligneImprimanteIndisponible();
    QTest::newRow("facture-pdf printed from its preview where its folder cannot be made")
        << "facture-pdf" << true << "" << true
        << "Impossible d'ecrire le fichier PDF {dossier}/" + pdfFacture + "\n";
}

void ApercuFacture::apercu()
{
    QFETCH(QString, impression);
    QFETCH(bool, imprimer);
    QFETCH(QString, pdf);
    QFETCH(bool, dossierBloque);
    QFETCH(QString, console);

    InstallationRendu inst;
    QVERIFY(inst.valide());
    if (dossierBloque)
        QVERIFY(inst.ecrire("pdf", "un fichier"));
    const QString dossierAvant = QDir::currentPath();
    QVERIFY(QDir::setCurrent(inst.chemin(".")));
    auto retour = qScopeGuard([&] { QDir::setCurrent(dossierAvant); });

    const ParametresRendu p = parametresRendu(analyserParametres(donnee("app.xml")));
    const Invoice vue = lire(QString::fromUtf8(donnee("facture.csv")), p);
    const QString texte = construireDocument(vue, p, resultat(ligneCertifiee(vue.reference)), Variante::A4);

    DemandeSortie demande;
    demande.impression = impression;
    demande.variante = varianteImpression(impression);
    QCOMPARE(demande.variante, Variante::A4);
    demande.reference = vue.reference;

    Conduite conduite;
    conduite.imprimer = imprimer;
    QTimer pilote;
    pilote.setInterval(10);
    connect(&pilote, &QTimer::timeout, this, [&conduite] { conduire(conduite); });
    pilote.start();
    std::ostringstream sortie;
    QCOMPARE(sortirDocument(texte, demande, sortie), console.isEmpty());
    pilote.stop();
    QCOMPARE(QString::fromStdString(sortie.str()),
             QString(console).replace("{dossier}", QDir::currentPath()));

    QVERIFY(conduite.apercus >= 1);
    QCOMPARE(conduite.titre, QStringLiteral("Orvane MCF - Aperçu avant impression"));
    QVERIFY(conduite.agrandi);
    QCOMPARE(conduite.actionTrouvee, imprimer);
    // Only a PDF print mode makes the PDF folder.
    QCOMPARE(QFile::exists(inst.chemin("pdf/factures")), impression == "facture-pdf" && !dossierBloque);
    if (pdf.isEmpty()) {
        QVERIFY(QDir(inst.chemin("pdf/factures")).isEmpty());
        return;
    }
    QVERIFY(pdfTermine(inst.chemin(pdf)));
    const QString manque = fragmentsManquants(textePdf(inst.chemin(pdf)),
                                              {"Facture", "Pain complet (B)", "Net à Payer: 1 694",
                                               "Arrêté la présente facture à la somme de: 1 694 F CFA.",
                                               "MECeF NIM: EM01020304", signatureCertifiee});
    QVERIFY2(manque.isEmpty(), qPrintable(manque));
}

// Printing the A4 invoice on a printer that cannot start (the machine has none) fails, and the
// output step says so in French.
void ApercuFacture::sansImprimante()
{
    Worker worker(QStringLiteral("<html><body>Facture</body></html>"), QStringLiteral("R1"));
    QPrinter imprimante(QPrinter::HighResolution);
    QVERIFY(!worker.echec());
    worker.print(&imprimante);
    QVERIFY(worker.echec());
    QCOMPARE(ligneImprimanteIndisponible(),
             QStringLiteral(
                 "orvane-render: Impossible d'imprimer: l'imprimante par defaut ne peut pas etre demarree "
                 "(aucune imprimante, ou elle ne repond pas). Le document n'est pas imprime.\n"));
}

int main(int argc, char *argv[])
{
    // A machine without any printer, whatever this one has.
    const QTemporaryDir dossier;
    qputenv("CUPS_SERVER", sansImprimante(dossier.path()).first().section('=', 1).toLocal8Bit());
    preparerAffichage();
    QApplication application(argc, argv);
    ApercuFacture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_apercufacture.moc"
