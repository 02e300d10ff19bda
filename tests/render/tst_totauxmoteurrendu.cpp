#include "comparaisontexte.h"
#include "installationrendu.h"

#include "programmesuivi.h"

#include <QRegularExpression>
#include <QtTest>

// One invoice file, three totals: the engine's own (its console), the fiscal device's (the subtotal
// that orvane-mcf-sim computes from the frames it received) and the printed one (the ticket that
// orvane-render writes after the engine), in both header layouts.
class TotauxMoteurRendu : public QObject
{
    Q_OBJECT

private slots:
    void memeTotalPartout_data();
    void memeTotalPartout();
};

namespace {

// First capture of `motif` in `texte`, empty when absent.
QString capture(const QString &texte, const QString &motif)
{
    return QRegularExpression(motif, QRegularExpression::MultilineOption).match(texte).captured(1);
}

const QString articles = QStringLiteral("B;Pain complet;2;100;118;;0;0;100\n"
                                        "A;Eau minerale;1;500;500;;0;0;100\n");

} // namespace

void TotauxMoteurRendu::memeTotalPartout_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("codePays");
    QTest::addColumn<QString>("apiVersion");
    QTest::addColumn<QString>("entete");
    QTest::addColumn<QString>("tauxConsole"); // the engine's header line about the withholding
    QTest::addColumn<QString>("totalConsole");
    QTest::addColumn<QString>("totalAppareil");
    QTest::addColumn<QString>("netImprime");

    // Layout 1: the withholding code is field 7, the print mode field 9, the date field 10.
    const QString version1 =
        QStringLiteral("L1;FV;Awa;7;E;Kofi;3209876543210;%1;;ticket-pdf-silent;08/12/2026;"
                       "C-1;Cotonou;;Awa;;;\n");
    // Layout 2: code field 10, print mode field 12, date field 13.
    const QString version2 = QStringLiteral("L2;FV;Awa;7;E;Kofi;3209876543210;Cotonou;97000000;;%1;;"
                                            "ticket-pdf-silent;08/12/2026\n");
    // HT 700, TTC 736: AIB 5 % of 700 in Bénin, ISB 5 % of 736 in Niger.
    QTest::newRow("benin layout 1 with AIB5") << "Bénin"
                                              << "BJ"
                                              << "1" << version1.arg("AIB5") << "Taux AIB 5%"
                                              << "771.0000"
                                              << "771"
                                              << "Net à Payer: 771";
    QTest::newRow("niger layout 1 with ISB B") << "Niger"
                                               << "NE"
                                               << "1" << version1.arg("B") << "Taux ISB 5%"
                                               << "772.8000"
                                               << "772.8"
                                               << "Net à Payer: 773";
    QTest::newRow("benin layout 2 with AIB5") << "Bénin"
                                              << "BJ"
                                              << "" << version2.arg("AIB5") << "Taux AIB 5%"
                                              << "771.0000"
                                              << "771"
                                              << "Net à Payer: 771";
    QTest::newRow("benin layout 1 without withholding") << "Bénin"
                                                        << "BJ"
                                                        << "1" << version1.arg("") << "AIB non applicable"
                                                        << "736.0000"
                                                        << "736"
                                                        << "Total TTC: 736";
}

void TotauxMoteurRendu::memeTotalPartout()
{
    QFETCH(QString, pays);
    QFETCH(QString, codePays);
    QFETCH(QString, apiVersion);
    QFETCH(QString, entete);
    QFETCH(QString, tauxConsole);
    QFETCH(QString, totalConsole);
    QFETCH(QString, totalAppareil);
    QFETCH(QString, netImprime);

    SimulateurMCF sim({QStringLiteral("--pays"), codePays});
    QVERIFY2(sim.terminal.startsWith(QLatin1Char('/')), qPrintable(sim.terminal));
    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.copierProgramme("orvane-engine"));
    QVERIFY(inst.copierProgramme("orvane-render"));
    QVERIFY(
        inst.ecrire("app.xml", QStringLiteral("<app pays=\"%1\" apiVersion=\"%2\" jeton=\"\" portMCF=\"\" "
                                              "modePrix=\"TTC\" isf=\"\" entreprise=\"Boulangerie\"/>")
                                   .arg(pays, apiVersion)
                                   .toUtf8()));
    QVERIFY(inst.ecrire("facture.csv", (entete + articles).toUtf8()));
    const QString entree = inst.chemin("facture.csv");

    const auto moteur = inst.lancer("orvane-engine", {entree, entree + ".mcf", sim.terminal});
    QVERIFY(moteur.fini);
    const QString journal = sim.journal();
    const QString contexte = "\n--- moteur:\n" + moteur.console + "\n--- simulateur:\n" + journal;
    QVERIFY2(moteur.console.contains("Client: Kofi IFU: 3209876543210 , " + tauxConsole),
             qPrintable(contexte));
    QVERIFY2(moteur.console.contains("\nTotal facture: " + totalConsole + "\n"), qPrintable(contexte));
    // The device's subtotal reply starts with its own total.
    QCOMPARE(capture(journal, QStringLiteral("^envoye .*0x33 n°\\d+: ([^,]*),")), totalAppareil);
    QVERIFY2(moteur.console.contains("Total facture acceptable: " + totalAppareil), qPrintable(contexte));
    QVERIFY2(moteur.console.contains("La facture a ete validee."), qPrintable(contexte));

    const QString reference = entete.section(QLatin1Char(';'), 0, 0);
    const QString pdf = inst.chemin("pdf/tickets/" + reference + ".pdf");
    QTRY_VERIFY_WITH_TIMEOUT(pdfTermine(pdf), attenteFauteMs);
    const QString texte = textePdf(pdf);
    const QString manque =
        fragmentsManquants(texte, {netImprime, "Facture n° " + reference + " du 08/12/2026"});
    QVERIFY2(manque.isEmpty(), qPrintable(manque + texte));
}

QTEST_GUILESS_MAIN(TotauxMoteurRendu)
#include "tst_totauxmoteurrendu.moc"
