#include "comparaisontexte.h"
#include "installationrendu.h"

#include <QtTest>

namespace {

QByteArray donnee(const QString &nom)
{
    QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/render/") + nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The sample invoice with the given reference and print mode, and `articlesEnPlus` more items.
QByteArray facture(const QString &reference, const QString &impression, int articlesEnPlus = 0)
{
    QStringList lignes =
        QString::fromUtf8(donnee(QStringLiteral("facture.csv"))).split('\n', Qt::SkipEmptyParts);
    QStringList entete = lignes.at(0).split(';');
    entete[0] = reference;
    entete[12] = impression;
    lignes[0] = entete.join(';');
    for (int i = 0; i < articlesEnPlus; ++i)
        lignes.append(QStringLiteral("B;Article %1;1;100;118").arg(i + 1));
    return (lignes.join('\n') + '\n').toUtf8();
}

const QString qrDemo = QStringLiteral("F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542");
const QByteArray ligneDemo =
    "FAC-2026-0001\t\tDEMO-5AB7-CD9E-F2GH-4JK6-LM8N\tEM01020304\t82/87 FV\t09/01/2020 "
    "13:55:42\tF;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542\t";
const QString entreeOuverte = QStringLiteral("orvane-render: Fichier d'entree ouvert.\n");
const QString sortieOuverte = QStringLiteral("orvane-render: Fichier de sortie ouvert.\n");

} // namespace

class ImpressionRendu : public QObject
{
    Q_OBJECT

private slots:
    void pdfApresLeMoteur_data();
    void pdfApresLeMoteur();
    void remiseParLeMoteur();
    void messagesEtSorties_data();
    void messagesEtSorties();
};

void ImpressionRendu::pdfApresLeMoteur_data()
{
    QTest::addColumn<QString>("impression");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("certifiee"); // the engine ran before and left a result file
    QTest::addColumn<int>("articlesEnPlus");
    QTest::addColumn<QString>("pdf");
    QTest::addColumn<QStringList>("presents");
    QTest::addColumn<QStringList>("absents");

    const QStringList blocFiscal{
        "Code MECeF / DGI",          "DEMO-5AB7-CD9E-F2GH-4JK6-LM8N",    "MECeF NIM: EM01020304",
        "MECeF Compteurs: 82/87 FV", "MECeF Heure: 09/01/2020 13:55:42", "Connector: Orvane MCF API",
        "Vendeur: Awa | 7"};
    QTest::newRow("ticket into its PDF") << "ticket-pdf-silent"
                                         << "FAC-2026-0001" << true << 0 << "pdf/tickets/FAC-2026-0001.pdf"
                                         << blocFiscal + QStringList{"Facture n° FAC-2026-0001 du 08/12/2026",
                                                                     "Articles |Qt|PUTTC|Tot.",
                                                                     "Pain complet (B) | 2| 118| 236",
                                                                     "Eau minerale 1,5L (A-EX)| 1| 500| 500",
                                                                     "Net à Payer: 1 694",
                                                                     "Monnaie rendue: 3 307 F CFA."}
                                         << QStringList{"<b>", "<br/>"};
    QTest::newRow("A4 invoice into its PDF")
        << "facture-pdf-silent"
        << "FAC-2026-0001" << true << 0 << "pdf/factures/FAC-2026-0001.pdf"
        << blocFiscal + QStringList{"Facture",
                                    "Désignation",
                                    "Pain complet (B)",
                                    "Eau minerale 1,5L (A-EX)",
                                    "Total TTC: 1 621",
                                    "Net à Payer: 1 694",
                                    "Arrêté la présente facture à la somme de: 1 694 F CFA.",
                                    "Doit:",
                                    "Kofi Mensah"}
        << QStringList{"<b>", "<br/>", "Articles"};
    QTest::newRow("reference that cannot be a file name")
        << "ticket-pdf-silent"
        << "FAC/2024:001" << true << 0 << "pdf/tickets/FAC_2024_001.pdf"
        << QStringList{"Facture n° FAC/2024:001 du 08/12/2026"} << QStringList{};
    QTest::newRow("ticket without result file")
        << "ticket-pdf-silent"
        << "FAC-2026-0001" << false << 0 << "pdf/tickets/FAC-2026-0001.pdf"
        << QStringList{"Pain complet (B)", "Merci de votre visite !"}
        << QStringList{"MECeF", "Vendeur", "Connector"};
    QTest::newRow("long ticket keeps its end and QR code")
        << "ticket-pdf-silent"
        << "FAC-2026-0001" << true << 150 << "pdf/tickets/FAC-2026-0001.pdf"
        << blocFiscal + QStringList{"Article 150 (B)", "Merci de votre visite !"} << QStringList{};
}

// The engine certifies (demonstration mode) without a renderer beside it; the renderer is then run
// on the files it left, as the engine would start it.
void ImpressionRendu::pdfApresLeMoteur()
{
    QFETCH(QString, impression);
    QFETCH(QString, reference);
    QFETCH(bool, certifiee);
    QFETCH(int, articlesEnPlus);
    QFETCH(QString, pdf);
    QFETCH(QStringList, presents);
    QFETCH(QStringList, absents);

    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.ecrire("app.xml", donnee("app.xml")));
    QVERIFY(inst.ecrire("facture.csv", facture(reference, impression, articlesEnPlus)));
    const QString entree = inst.chemin("facture.csv");
    if (certifiee) {
        QVERIFY(inst.copierProgramme("orvane-engine"));
        const auto moteur = inst.lancer("orvane-engine", {entree});
        QVERIFY(moteur.fini);
        QVERIFY2(QFile::exists(entree + ".mcf"), qPrintable(moteur.console));
    }
    QVERIFY(QFile::remove(entree + ".png") || !certifiee);

    QVERIFY(inst.copierProgramme("orvane-render"));
    const auto rendu = inst.lancer("orvane-render", {entree, entree + ".mcf"});
    QVERIFY(rendu.fini);
    QCOMPARE(rendu.code, 0);
    QCOMPARE(rendu.console, certifiee ? entreeOuverte + sortieOuverte : entreeOuverte);
    // The renderer makes its own QR image when it has a result.
    QCOMPARE(QFile::exists(entree + ".png"), certifiee);

    QVERIFY2(pdfTermine(inst.chemin(pdf)), qPrintable(pdf));
    QCOMPARE(pagesPdf(inst.chemin(pdf)), 1);
    const QString texte = textePdf(inst.chemin(pdf));
    const QString erreurs = fragmentsManquants(texte, presents) + fragmentsEnTrop(texte, absents);
    if (!erreurs.isEmpty())
        QFAIL(qPrintable(erreurs + "texte du PDF:\n" + texte));
    QCOMPARE(codesQrPdf(inst.chemin(pdf), inst.chemin(".")), certifiee ? QStringList{qrDemo} : QStringList{});
    if (impression.startsWith("ticket")) {
        // Header and item rows end at the same place: the columns line up.
        const QList<double> bords = bordsDroitsColonnes(inst.chemin(pdf));
        QCOMPARE(bords.size(), 4 + articlesEnPlus);
        for (double bord : bords)
            QVERIFY2(std::abs(bord - bords.first()) < 0.5,
                     qPrintable(QString("%1 au lieu de %2").arg(bord).arg(bords.first())));
    }
}

// The whole road: the engine certifies and starts the renderer, which writes the ticket.
void ImpressionRendu::remiseParLeMoteur()
{
    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.ecrire("app.xml", donnee("app.xml")));
    QVERIFY(inst.ecrire("facture.csv", facture("FAC-2026-0002", "ticket-pdf-silent")));
    QVERIFY(inst.copierProgramme("orvane-engine"));
    QVERIFY(inst.copierProgramme("orvane-render"));
    const auto moteur = inst.lancer("orvane-engine", {inst.chemin("facture.csv")});
    QVERIFY(moteur.fini);
    QVERIFY2(moteur.console.contains("Routine d'impression lancee"), qPrintable(moteur.console));

    const QString pdf = inst.chemin("pdf/tickets/FAC-2026-0002.pdf");
    QTRY_VERIFY_WITH_TIMEOUT(pdfTermine(pdf), 20000);
    const QString texte = textePdf(pdf);
    const QString manque =
        fragmentsManquants(texte, {"Facture n° FAC-2026-0002 du 08/12/2026", "MECeF NIM: EM01020304",
                                   "DEMO-5AB7-CD9E-F2GH-4JK6-LM8N"});
    QVERIFY2(manque.isEmpty(), qPrintable(manque + texte));
    QCOMPARE(codesQrPdf(pdf, inst.chemin(".")), QStringList{qrDemo});
}

void ImpressionRendu::messagesEtSorties_data()
{
    QTest::addColumn<QByteArray>("appXml");  // null: no app.xml
    QTest::addColumn<QByteArray>("contenu"); // null: no input file
    QTest::addColumn<QString>("nomEntree");
    QTest::addColumn<QStringList>("arguments"); // names inside the folder
    QTest::addColumn<QString>("nomResultat");   // result file written before the run; empty: none
    QTest::addColumn<QString>("console");
    QTest::addColumn<QString>("pdf"); // expected PDF; empty: none, and no PDF folder at all
    QTest::addColumn<bool>("imageQr");

    const QByteArray app = donnee("app.xml");
    const QByteArray ticket = facture("FAC-2026-0001", "ticket-pdf-silent");
    const QString pdfTicket = "pdf/tickets/FAC-2026-0001.pdf";

    QTest::newRow("no input file: silent, even without app.xml")
        << QByteArray() << QByteArray() << "facture.csv" << QStringList{"facture.csv"} << ""
        << ""
        << "" << false;
    QTest::newRow("app.xml missing") << QByteArray() << ticket << "facture.csv" << QStringList{"facture.csv"}
                                     << "facture.csv.mcf"
                                     << "Impossible d'ouvir app.xml\n"
                                     << "" << false;
    QTest::newRow("app.xml not XML") << QByteArray("<app pays=\"Bénin\"") << ticket << "facture.csv"
                                     << QStringList{"facture.csv"} << "facture.csv.mcf"
                                     << "Impossible de charger app.xml\n"
                                     << "" << false;
    QTest::newRow("empty print mode")
        << app << facture("FAC-2026-0001", "") << "facture.csv" << QStringList{"facture.csv"}
        << "facture.csv.mcf" << entreeOuverte << "" << false;
    QTest::newRow("header too short for a print mode")
        << app << QByteArray("R1;FV;Ali;7;E;Kofi;123;Rue;;;;\nB;Pain;1;100;118\n") << "facture.csv"
        << QStringList{"facture.csv"} << "facture.csv.mcf" << entreeOuverte + sortieOuverte << "" << true;
    QTest::newRow("default input and result files")
        << app << ticket << "input.csv" << QStringList{} << "input.csv.mcf" << entreeOuverte + sortieOuverte
        << pdfTicket << true;
    QTest::newRow("result file named by the caller")
        << app << ticket << "facture.csv" << QStringList{"facture.csv", "resultat.txt"} << "resultat.txt"
        << entreeOuverte + sortieOuverte << pdfTicket << true;
    QTest::newRow("result file of another name is not read")
        << app << ticket << "facture.csv" << QStringList{"facture.csv"} << "resultat.txt" << entreeOuverte
        << pdfTicket << false;
}

void ImpressionRendu::messagesEtSorties()
{
    QFETCH(QByteArray, appXml);
    QFETCH(QByteArray, contenu);
    QFETCH(QString, nomEntree);
    QFETCH(QStringList, arguments);
    QFETCH(QString, nomResultat);
    QFETCH(QString, console);
    QFETCH(QString, pdf);
    QFETCH(bool, imageQr);

    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.copierProgramme("orvane-render"));
    if (!appXml.isNull())
        QVERIFY(inst.ecrire("app.xml", appXml));
    if (!contenu.isNull())
        QVERIFY(inst.ecrire(nomEntree, contenu));
    if (!nomResultat.isEmpty())
        QVERIFY(inst.ecrire(nomResultat, ligneDemo));
    QStringList chemins;
    for (const QString &a : arguments)
        chemins << inst.chemin(a);

    const auto rendu = inst.lancer("orvane-render", chemins);
    QVERIFY(rendu.fini);
    QCOMPARE(rendu.code, 0);
    QCOMPARE(rendu.console, console);
    QCOMPARE(QFile::exists(inst.chemin(nomEntree + ".png")), imageQr);
    if (pdf.isEmpty()) {
        QVERIFY(!QFile::exists(inst.chemin("pdf")));
    } else {
        QVERIFY(pdfTermine(inst.chemin(pdf)));
        QCOMPARE(textePdf(inst.chemin(pdf)).contains("MECeF NIM: EM01020304"), imageQr);
    }
}

QTEST_GUILESS_MAIN(ImpressionRendu)
#include "tst_impressionrendu.moc"
