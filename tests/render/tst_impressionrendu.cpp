#include "comparaisontexte.h"
#include "installationrendu.h"
#include "resultatsexemple.h"

#include <QtTest>

namespace {

const QString entreeOuverte = QStringLiteral("orvane-render: Fichier d'entree ouvert.\n");
const QString sortieOuverte = QStringLiteral("orvane-render: Fichier de sortie ouvert.\n");
const QString ligneDemonstrationConsole =
    QStringLiteral("orvane-render: Facture de demonstration (resultat de demonstration, aucun appareil ni "
                   "service fiscal n'a "
                   "certifie la facture): elle porte la mention DEMONSTRATION - FACTURE NON CERTIFIEE.\n");

QString ligneSansResultat(const QString &cheminResultat)
{
    return QStringLiteral("orvane-render: Facture non certifiee (aucun fichier resultat ") + cheminResultat +
           QStringLiteral("): elle porte la mention FACTURE NON CERTIFIEE.\n");
}

// Text of each page of a PDF, white space made single spaces.
QStringList textesDesPages(const QString &pdf)
{
    QStringList textes;
    for (int page = 1; page <= pagesPdf(pdf); ++page)
        textes.append(sortieOutil(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                   QString::number(page), pdf, QStringLiteral("-")})
                          .simplified());
    return textes;
}

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
    // "moteur": the engine ran before (demonstration) and left its result file; "certifiee": the
    // result file of a certification; empty: no result file.
    QTest::addColumn<QString>("resultat");
    QTest::addColumn<int>("articlesEnPlus");
    QTest::addColumn<QString>("pdf");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("marque"); // on every page (large, at the head); empty: none
    QTest::addColumn<QStringList>("presents");
    QTest::addColumn<QStringList>("absents");

    const QStringList blocFiscal{"Code MECeF / DGI",          "MECeF NIM: EM01020304",
                                 "MECeF Compteurs: 82/87 FV", "MECeF Heure: 09/01/2020 13:55:42",
                                 "Connector: Orvane MCF API", "Vendeur: Awa | 7"};
    const QStringList sansBlocFiscal{"MECeF", "Vendeur", "Connector"};
    const QString nonCertifiee = "FACTURE NON CERTIFIEE";
    const QString demonstration = "DEMONSTRATION FACTURE NON CERTIFIEE"; // two lines on the ticket
    QTest::newRow("ticket into its PDF, demonstration")
        << "ticket-pdf-silent"
        << "FAC-2026-0001"
        << "moteur" << 0 << "pdf/tickets/FAC-2026-0001.pdf" << 1 << demonstration
        << blocFiscal + QStringList{signatureDemonstration,
                                    "Facture n° FAC-2026-0001 du 08/12/2026",
                                    "Articles |Qt|PUTTC|Tot.",
                                    "Pain complet (B) | 2| 118| 236",
                                    "Eau minerale 1,5L (A-EX)| 1| 500| 500",
                                    "Net à Payer: 1 694",
                                    "Monnaie rendue: 3 307 F CFA.",
                                    "Kofi Mensah"}
        << QStringList{"<b>", "<br/>", "&nbsp;"};
    QTest::newRow("A4 invoice into its PDF, certified")
        << "facture-pdf-silent"
        << "FAC-2026-0001"
        << "certifiee" << 0 << "pdf/factures/FAC-2026-0001.pdf" << 1 << ""
        << blocFiscal + QStringList{signatureCertifiee,
                                    "Facture",
                                    "Désignation",
                                    "Pain complet (B)",
                                    "Eau minerale 1,5L (A-EX)",
                                    "Total TTC: 1 621",
                                    "Net à Payer: 1 694",
                                    "Arrêté la présente facture à la somme de: 1 694 F CFA.",
                                    "Doit:",
                                    "Kofi Mensah"}
        << QStringList{"<b>", "<br/>", "&nbsp;", "Articles", "CERTIFIEE"};
    QTest::newRow("reference that cannot be a file name")
        << "ticket-pdf-silent"
        << "FAC/2024:001"
        << "certifiee" << 0 << "pdf/tickets/FAC_2024_001.pdf" << 1 << ""
        << QStringList{"Facture n° FAC/2024:001 du 08/12/2026", signatureCertifiee}
        << QStringList{"CERTIFIEE"};
    QTest::newRow("ticket without result file")
        << "ticket-pdf-silent"
        << "FAC-2026-0001"
        << "" << 0 << "pdf/tickets/FAC-2026-0001.pdf" << 1 << nonCertifiee
        << QStringList{"Pain complet (B)", "Merci de votre visite !",
                       "FACTURE NON CERTIFIEE Cette facture n'a pas été certifiée: elle ne porte ni code "
                       "fiscal ni "
                       "code QR."}
        << sansBlocFiscal;
    QTest::newRow("A4 invoice of three pages without result file")
        << "facture-pdf-silent"
        << "FAC-2026-0001"
        << "" << 80 << "pdf/factures/FAC-2026-0001.pdf" << 3 << nonCertifiee
        << QStringList{"Article 80 (B)", "Merci de votre visite !",
                       "FACTURE NON CERTIFIEE Cette facture n'a pas été certifiée: elle ne porte ni code "
                       "fiscal ni "
                       "code QR."}
        << sansBlocFiscal;
    QTest::newRow("long ticket keeps its end and QR code")
        << "ticket-pdf-silent"
        << "FAC-2026-0001"
        << "moteur" << 150 << "pdf/tickets/FAC-2026-0001.pdf" << 1 << demonstration
        << blocFiscal + QStringList{"Article 150 (B)", "Merci de votre visite !"} << QStringList{};
}

// The renderer run on the files the engine (in demonstration mode, without a renderer beside it)
// or a certification left, as the engine would start it, or without a result file.
void ImpressionRendu::pdfApresLeMoteur()
{
    QFETCH(QString, impression);
    QFETCH(QString, reference);
    QFETCH(QString, resultat);
    QFETCH(int, articlesEnPlus);
    QFETCH(QString, pdf);
    QFETCH(int, pages);
    QFETCH(QString, marque);
    QFETCH(QStringList, presents);
    QFETCH(QStringList, absents);

    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.ecrire("app.xml", donnee("app.xml")));
    QVERIFY(inst.ecrire("facture.csv", factureExemple(reference, impression, articlesEnPlus)));
    const QString entree = inst.chemin("facture.csv");
    if (resultat == "moteur") {
        QVERIFY(inst.copierProgramme("orvane-engine"));
        const auto moteur = inst.lancer("orvane-engine", {entree});
        QVERIFY(moteur.fini);
        QVERIFY2(QFile::exists(entree + ".mcf"), qPrintable(moteur.console));
        QVERIFY(QFile::remove(entree + ".png"));
    }
    if (resultat == "certifiee")
        QVERIFY(inst.ecrire("facture.csv.mcf", ligneCertifiee(reference).toUtf8()));

    QVERIFY(inst.copierProgramme("orvane-render"));
    const auto rendu = inst.lancer("orvane-render", {entree, entree + ".mcf"});
    QVERIFY(rendu.fini);
    QCOMPARE(rendu.code, 0);
    const QString console = resultat.isEmpty()     ? entreeOuverte + ligneSansResultat(entree + ".mcf")
                            : resultat == "moteur" ? entreeOuverte + sortieOuverte + ligneDemonstrationConsole
                                                   : entreeOuverte + sortieOuverte;
    QCOMPARE(rendu.console, console);
    // The renderer writes the QR images of the result it prints.
    QCOMPARE(QFile::exists(entree + ".png"), !resultat.isEmpty());

    QVERIFY2(pdfTermine(inst.chemin(pdf)), qPrintable(pdf));
    QCOMPARE(pagesPdf(inst.chemin(pdf)), pages);
    const QString texte = textePdf(inst.chemin(pdf));
    const QString erreurs = fragmentsManquants(texte, presents) + fragmentsEnTrop(texte, absents);
    if (!erreurs.isEmpty())
        QFAIL(qPrintable(erreurs + "texte du PDF:\n" + texte));
    if (!marque.isEmpty()) {
        for (const QString &page : textesDesPages(inst.chemin(pdf)))
            QVERIFY2(page.startsWith(marque), qPrintable(page));
    }
    const QStringList qr = resultat.isEmpty()     ? QStringList{}
                           : resultat == "moteur" ? QStringList{texteQrDemonstration}
                                                  : QStringList{texteQrCertifie};
    QCOMPARE(codesQrPdf(inst.chemin(pdf), inst.chemin(".")), qr);
    if (impression.startsWith("ticket")) {
        // Header and item rows end at the same place: the columns line up.
        const QList<double> bords = bordsDroitsColonnes(inst.chemin(pdf));
        QCOMPARE(bords.size(), 4 + articlesEnPlus);
        for (double bord : bords)
            QVERIFY2(std::abs(bord - bords.first()) < 0.5,
                     qPrintable(QString("%1 au lieu de %2").arg(bord).arg(bords.first())));
    }
}

void ImpressionRendu::remiseParLeMoteur()
{
    InstallationRendu inst;
    QVERIFY(inst.valide());
    QVERIFY(inst.ecrire("app.xml", donnee("app.xml")));
    QVERIFY(inst.ecrire("facture.csv", factureExemple("FAC-2026-0002", "ticket-pdf-silent")));
    QVERIFY(inst.copierProgramme("orvane-engine"));
    QVERIFY(inst.copierProgramme("orvane-render"));
    const auto moteur = inst.lancer("orvane-engine", {inst.chemin("facture.csv")});
    QVERIFY(moteur.fini);
    QVERIFY2(moteur.console.contains("Routine d'impression lancee"), qPrintable(moteur.console));

    const QString pdf = inst.chemin("pdf/tickets/FAC-2026-0002.pdf");
    QTRY_VERIFY_WITH_TIMEOUT(pdfTermine(pdf), attenteFauteMs);
    const QString texte = textePdf(pdf);
    // The engine's demonstration result is printed under its own mark.
    const QString manque = fragmentsManquants(texte, {"DEMONSTRATION FACTURE NON CERTIFIEE",
                                                      "Facture n° FAC-2026-0002 du 08/12/2026",
                                                      "MECeF NIM: EM01020304", signatureDemonstration});
    QVERIFY2(manque.isEmpty(), qPrintable(manque + texte));
    QCOMPARE(codesQrPdf(pdf, inst.chemin(".")), QStringList{texteQrDemonstration});
}

void ImpressionRendu::messagesEtSorties_data()
{
    QTest::addColumn<QByteArray>("appXml");  // null: no app.xml
    QTest::addColumn<QByteArray>("contenu"); // null: no input file
    QTest::addColumn<QString>("nomEntree");
    QTest::addColumn<QStringList>("arguments"); // names inside the folder
    QTest::addColumn<QString>("nomResultat");   // result file written before the run; empty: none
    QTest::addColumn<QString>("resultat");      // its line
    QTest::addColumn<bool>("imprimante");       // false: the machine has no printer
    QTest::addColumn<QString>("console");       // "{dossier}" stands for the folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("pdf"); // expected PDF; empty: none, and no PDF folder at all
    QTest::addColumn<bool>("imageQr");

    const QByteArray app = donnee("app.xml");
    const QByteArray ticket = factureExemple("FAC-2026-0001", "ticket-pdf-silent");
    const QString pdfTicket = "pdf/tickets/FAC-2026-0001.pdf";
    const QString certifiee = ligneCertifiee("FAC-2026-0001");
    const QString imprimanteIndisponible =
        "orvane-render: Impossible d'imprimer: l'imprimante par defaut ne peut pas etre demarree (aucune "
        "imprimante, ou elle ne repond pas). Le document n'est pas imprime.\n";

    QTest::newRow("no input file: silent, even without app.xml")
        << QByteArray() << QByteArray() << "facture.csv" << QStringList{"facture.csv"} << ""
        << "" << true << "" << 0 << "" << false;
    QTest::newRow("app.xml missing") << QByteArray() << ticket << "facture.csv" << QStringList{"facture.csv"}
                                     << "facture.csv.mcf" << certifiee << true
                                     << "Impossible d'ouvir app.xml\n"
                                     << 0 << "" << false;
    QTest::newRow("app.xml not XML") << QByteArray("<app pays=\"Bénin\"") << ticket << "facture.csv"
                                     << QStringList{"facture.csv"} << "facture.csv.mcf" << certifiee << true
                                     << "Impossible de charger app.xml\n"
                                     << 0 << "" << false;
    QTest::newRow("empty print mode")
        << app << factureExemple("FAC-2026-0001", "") << "facture.csv" << QStringList{"facture.csv"}
        << "facture.csv.mcf" << certifiee << true << entreeOuverte << 0 << "" << false;
    QTest::newRow("header too short for a print mode")
        << app << QByteArray("R1;FV;Ali;7;E;Kofi;123;Rue;;;;\nB;Pain;1;100;118\n") << "facture.csv"
        << QStringList{"facture.csv"} << "facture.csv.mcf" << ligneCertifiee("R1") << true
        << entreeOuverte + sortieOuverte << 0 << "" << true;
    QTest::newRow("default input and result files")
        << app << ticket << "input.csv" << QStringList{} << "input.csv.mcf" << certifiee << true
        << entreeOuverte + sortieOuverte << 0 << pdfTicket << true;
    QTest::newRow("result file named by the caller")
        << app << ticket << "facture.csv" << QStringList{"facture.csv", "resultat.txt"} << "resultat.txt"
        << certifiee << true << entreeOuverte + sortieOuverte << 0 << pdfTicket << true;
    QTest::newRow("result file of another name is not read")
        << app << ticket << "facture.csv" << QStringList{"facture.csv"} << "resultat.txt" << certifiee << true
        << entreeOuverte + ligneSansResultat("{dossier}/facture.csv.mcf") << 0 << pdfTicket << false;
    QTest::newRow("result file of another invoice")
        << app << ticket << "facture.csv" << QStringList{"facture.csv"} << "facture.csv.mcf"
        << ligneCertifiee("FAC-2026-0009") << true
        << entreeOuverte + sortieOuverte +
               "orvane-render: Facture non certifiee (le fichier resultat est celui de la facture "
               "FAC-2026-0009): "
               "elle porte la mention FACTURE NON CERTIFIEE.\n"
        << 0 << pdfTicket << false;
    QTest::newRow("demonstration result")
        << app << ticket << "facture.csv" << QStringList{"facture.csv"} << "facture.csv.mcf"
        << ligneDemonstration("FAC-2026-0001") << true
        << entreeOuverte + sortieOuverte + ligneDemonstrationConsole << 0 << pdfTicket << true;
    QTest::newRow("ticket on the default printer of a machine without printer")
        << app << factureExemple("FAC-2026-0001", "ticket") << "facture.csv" << QStringList{"facture.csv"}
        << "facture.csv.mcf" << certifiee << false << entreeOuverte + sortieOuverte + imprimanteIndisponible
        << 1 << "" << true;
    QTest::newRow("uncertified ticket on a machine without printer")
        << app << factureExemple("FAC-2026-0001", "ticket") << "facture.csv" << QStringList{"facture.csv"}
        << ""
        << "" << false
        << entreeOuverte + ligneSansResultat("{dossier}/facture.csv.mcf") + imprimanteIndisponible << 1 << ""
        << false;
}

void ImpressionRendu::messagesEtSorties()
{
    QFETCH(QByteArray, appXml);
    QFETCH(QByteArray, contenu);
    QFETCH(QString, nomEntree);
    QFETCH(QStringList, arguments);
    QFETCH(QString, nomResultat);
    QFETCH(QString, resultat);
    QFETCH(bool, imprimante);
    QFETCH(QString, console);
    QFETCH(int, code);
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
        QVERIFY(inst.ecrire(nomResultat, resultat.toUtf8()));
    QStringList chemins;
    for (const QString &a : arguments)
        chemins << inst.chemin(a);

    const QString dossier = QFileInfo(inst.chemin(nomEntree)).path();
    const auto rendu =
        inst.lancer("orvane-render", chemins, attenteFauteMs, imprimante ? QStringList{} : sansImprimante(dossier));
    QVERIFY(rendu.fini);
    QCOMPARE(rendu.console, QString(console).replace("{dossier}", dossier));
    QCOMPARE(rendu.code, code);
    // The French line is the only trace of a missing printer: no painting was even begun.
    QVERIFY2(!rendu.erreurs.contains("QPainter"), qPrintable(rendu.erreurs));
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
