#include "comparaisontexte.h"
#include "installationrendu.h"

#include <document.h>
#include <sortie.h>

#include <affichage.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QAction>
#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray donnee(const QString &nom)
{
    QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/render/") + nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
};

void ApercuFacture::apercu_data()
{
    QTest::addColumn<QString>("impression");
    QTest::addColumn<bool>("imprimer");
    QTest::addColumn<QString>("pdf"); // expected PDF; empty: none

    QTest::newRow("facture-pdf printed from its preview")
        << "facture-pdf" << true << "pdf/factures/FAC-2026-0001.pdf";
    QTest::newRow("facture-pdf preview closed without printing") << "facture-pdf" << false << "";
    QTest::newRow("facture preview on the default printer, closed") << "facture" << false << "";
}

void ApercuFacture::apercu()
{
    QFETCH(QString, impression);
    QFETCH(bool, imprimer);
    QFETCH(QString, pdf);

    InstallationRendu inst;
    QVERIFY(inst.valide());
    const QString dossierAvant = QDir::currentPath();
    QVERIFY(QDir::setCurrent(inst.chemin(".")));
    auto retour = qScopeGuard([&] { QDir::setCurrent(dossierAvant); });

    const ParametresRendu p = parametresRendu(analyserParametres(donnee("app.xml")));
    QString entree = QString::fromUtf8(donnee("facture.csv"));
    QTextStream flux(&entree);
    const Invoice vue = lireFacture(flux, {DispositionEntete::Version2, p.pays, true});
    ResultatLu resultat{"DEMO-5AB7-CD9E-F2GH-4JK6-LM8N", "EM01020304", "82/87 FV",
                        "09/01/2020 13:55:42",           "F;QR",       ""};
    const QString texte = construireDocument(vue, p, resultat, QString(), Variante::A4);

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
    sortirDocument(texte, demande);
    pilote.stop();

    QVERIFY(conduite.apercus >= 1);
    QCOMPARE(conduite.titre, QStringLiteral("Orvane MCF - Aperçu avant impression"));
    QVERIFY(conduite.agrandi);
    QCOMPARE(conduite.actionTrouvee, imprimer);
    // Only a PDF print mode makes the PDF folder.
    QCOMPARE(QFile::exists(inst.chemin("pdf/factures")), impression == "facture-pdf");
    if (pdf.isEmpty()) {
        QVERIFY(QDir(inst.chemin("pdf/factures")).isEmpty());
        return;
    }
    QVERIFY(pdfTermine(inst.chemin(pdf)));
    const QString manque = fragmentsManquants(textePdf(inst.chemin(pdf)),
                                              {"Facture", "Pain complet (B)", "Net à Payer: 1 694",
                                               "Arrêté la présente facture à la somme de: 1 694 F CFA.",
                                               "MECeF NIM: EM01020304", "DEMO-5AB7-CD9E-F2GH-4JK6-LM8N"});
    QVERIFY2(manque.isEmpty(), qPrintable(manque));
}

int main(int argc, char *argv[])
{
    preparerAffichage();
    QApplication application(argc, argv);
    ApercuFacture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_apercufacture.moc"
