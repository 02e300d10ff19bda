#include "installationrendu.h"
#include "resultatsexemple.h"

#include <nomfichierpdf.h>

#include <QtTest>

// Names of the PDF files, and the renderer writing them safely.
class FichierPdf_ : public QObject
{
    Q_OBJECT

private slots:
    void nomCourt_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("nom");
        QTest::newRow("plain reference") << "FAC-2026-0001"
                                         << "FAC-2026-0001.pdf";
        QTest::newRow("characters no file name holds") << "FAC/2024:001*?\"<>|\\\t"
                                                       << "FAC_2024_001________.pdf";
        QTest::newRow("empty reference has a name of its own") << ""
                                                               << "sans-reference.pdf";
        QTest::newRow("longest name kept whole") << QString(116, 'a') << QString(116, 'a') + ".pdf";
    }

    void nomCourt()
    {
        QFETCH(QString, reference);
        QFETCH(QString, nom);
        QCOMPARE(nomFichierPdf(reference), nom);
    }

    void nomCoupe_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("autre"); // shares the start of the reference
        QTest::newRow("one byte too many") << QString(117, 'a') << QString(117, 'a').replace(116, 1, 'b');
        QTest::newRow("300 characters") << QString(299, 'r') + "1" << QString(299, 'r') + "2";
        QTest::newRow("accented characters are not split")
            << QString(150, QChar(0xE9)) << QString(149, QChar(0xE9)) + "e";
        QTest::newRow("characters outside the BMP are not split")
            << QString::fromUtf8("🧾").repeated(80) << QString::fromUtf8("🧾").repeated(79) + "x";
        QTest::newRow("replaced characters still tell references apart")
            << QString(200, 'x') + "/" << QString(200, 'x') + ":";
    }

    void nomCoupe()
    {
        QFETCH(QString, reference);
        QFETCH(QString, autre);
        const QString nom = nomFichierPdf(reference);
        QVERIFY2(nom.toUtf8().size() <= nomFichierPdfMax, qPrintable(nom));
        QVERIFY(nom.endsWith(".pdf"));
        QVERIFY(QRegularExpression("-[0-9a-f]{16}\\.pdf$").match(nom).hasMatch());
        const QString debut = nom.left(nom.size() - 21);
        QVERIFY(debut.size() > 20);
        QVERIFY(reference.startsWith(debut));
        QCOMPARE(QString::fromUtf8(debut.toUtf8()), debut); // no half character
        QCOMPARE(nomFichierPdf(reference), nom);
        QVERIFY(nomFichierPdf(autre) != nom);
    }

    // The renderer run on an invoice and a result file, as the engine starts it.
    void rendu_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>(
            "obstacle");                  // "lien": a link at the PDF path; "dossier": pdf/tickets is a file
        QTest::addColumn<QString>("pdf"); // expected PDF, empty when none can be written
        QTest::newRow("reference of 300 characters") << QString(300, 'R') << ""
                                                     << "pdf/tickets/" + nomFichierPdf(QString(300, 'R'));
        QTest::newRow("empty reference") << ""
                                         << ""
                                         << "pdf/tickets/sans-reference.pdf";
        QTest::newRow("link planted at the PDF path is replaced") << "FAC-1"
                                                                  << "lien"
                                                                  << "pdf/tickets/FAC-1.pdf";
        QTest::newRow("PDF folder cannot be made") << "FAC-1"
                                                   << "dossier"
                                                   << "";
    }

    void rendu()
    {
        QFETCH(QString, reference);
        QFETCH(QString, obstacle);
        QFETCH(QString, pdf);
        InstallationRendu inst;
        QTemporaryDir ailleurs;
        QVERIFY(inst.valide() && ailleurs.isValid());
        QVERIFY(inst.copierProgramme("orvane-render"));
        QVERIFY(inst.ecrire("app.xml", donnee("app.xml")));
        QVERIFY(inst.ecrire("facture.csv", factureExemple(reference, QStringLiteral("ticket-pdf-silent"))));
        QVERIFY(inst.ecrire("facture.csv.mcf", ligneCertifiee(reference).toUtf8()));
        const QString cible = ailleurs.filePath("precieux");
        if (obstacle == "lien") {
            QFile f(cible);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("ne pas toucher") > 0);
            QVERIFY(QDir(inst.chemin(".")).mkpath("pdf/tickets"));
            QVERIFY(QFile::link(cible, inst.chemin("pdf/tickets/FAC-1.pdf")));
        }
        if (obstacle == "dossier") {
            QVERIFY(QDir(inst.chemin(".")).mkpath("pdf"));
            QVERIFY(inst.ecrire("pdf/tickets", "un fichier"));
        }

        const auto sortie =
            inst.lancer("orvane-render", {inst.chemin("facture.csv"), inst.chemin("facture.csv.mcf")});
        QVERIFY(sortie.fini);
        // A PDF that cannot be written is a document that was not put out.
        QCOMPARE(sortie.code, pdf.isEmpty() ? 1 : 0);
        if (pdf.isEmpty()) {
            const QString attendu =
                "Impossible d'ecrire le fichier PDF " +
                QDir::toNativeSeparators(QFileInfo(inst.chemin("pdf/tickets/FAC-1.pdf")).absoluteFilePath()) +
                "\n";
            QVERIFY2(sortie.console.endsWith(attendu), qPrintable(sortie.console));
            return;
        }
        QVERIFY2(inst.lire(pdf).startsWith("%PDF"), qPrintable(sortie.console));
        QVERIFY(inst.lire(pdf).trimmed().endsWith("%%EOF"));
        QVERIFY(!QFileInfo(inst.chemin(pdf)).isSymLink());
        if (obstacle == "lien") {
            QFile f(cible);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("ne pas toucher"));
        }
        // Only the PDF in its folder: no temporary file left behind.
        QCOMPARE(QDir(inst.chemin("pdf/tickets")).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{QFileInfo(pdf).fileName()});
    }
};

QTEST_GUILESS_MAIN(FichierPdf_)
#include "tst_fichierpdf.moc"
