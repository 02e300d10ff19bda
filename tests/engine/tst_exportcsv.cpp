#include <exportcertifiees.h>
#include <lecturefacture.h>
#include <montantsfacture.h>

#include <QTextStream>
#include <QtTest>

// The pure parts of the register's list of certified invoices: the certification time kept from
// each path's date, the days of the command line, the numbers and fields of the CSV file, and the
// amounts taken from the documents' own totals.
class ExportCsv : public QObject
{
    Q_OBJECT

private slots:
    void instantDesDeuxChemins_data()
    {
        QTest::addColumn<QString>("mecef_date");
        QTest::addColumn<QString>("instant");
        QTest::newRow("device") << "20261210143005" << "2026-12-10 14:30:05";
        QTest::newRow("e-MCF service") << "10/12/2026 14:30:05" << "2026-12-10 14:30:05";
        QTest::newRow("hour a clock change skips somewhere") << "20260329023000" << "2026-03-29 02:30:00";
        QTest::newRow("not a date") << "2026121014300x" << "";
        QTest::newRow("empty") << "" << "";
    }
    void instantDesDeuxChemins()
    {
        QFETCH(QString, mecef_date);
        QFETCH(QString, instant);
        QCOMPARE(instantCertification(mecef_date), instant);
        if (!instant.isEmpty())
            QCOMPARE(texteCertification(instant), instant.mid(8, 2) + "/" + instant.mid(5, 2) + "/" +
                                                      instant.left(4) + instant.mid(10));
    }

    void joursDeLaCommande_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<QDate>("jour");
        QTest::newRow("day") << "01/12/2026" << QDate(2026, 12, 1);
        QTest::newRow("leap day") << "29/02/2028" << QDate(2028, 2, 29);
        QTest::newRow("day that does not exist") << "29/02/2026" << QDate();
        QTest::newRow("month first") << "12/31/2026" << QDate();
        QTest::newRow("iso") << "2026-12-01" << QDate();
        QTest::newRow("words") << "hier" << QDate();
    }
    void joursDeLaCommande()
    {
        QFETCH(QString, texte);
        QFETCH(QDate, jour);
        QCOMPARE(lireJour(texte).value_or(QDate()), jour);
    }

    void nombresAVirgule_data()
    {
        QTest::addColumn<double>("valeur");
        QTest::addColumn<QString>("texte");
        QTest::newRow("whole") << 5.0 << "5";
        QTest::newRow("half") << 0.5 << "0,5";
        QTest::newRow("two decimals") << 1234.567 << "1234,57";
        QTest::newRow("no minus zero") << -0.001 << "0";
    }
    void nombresAVirgule()
    {
        QFETCH(double, valeur);
        QFETCH(QString, texte);
        QCOMPARE(nombreCsv(valeur), texte);
    }

    void fichierVideEtChampsCites()
    {
        // An empty period: the byte-order mark and the header alone.
        QCOMPARE(texteCsv({}),
                 QByteArray("\xEF\xBB\xBF") +
                     QStringLiteral("Référence;Type;Date facture;Certification;Caisse;Appareil ou compte;NIM;"
                                    "Compteurs;Code fiscal;Retenue;Code retenue;Taux retenue;Montant retenue;"
                                    "Total TTC;Net à payer;Montants\r\n")
                         .toUtf8());
        // A till's name holding the separator and quotes is quoted; an invoice without amounts
        // leaves its amounts empty.
        MontantsFacture m = montantsInconnus("R1", {"F", "1", "ABCDEFGH", "NIM", "1/1 FV", "20261201080000"});
        m.caisse = "Caisse \"A\"; étage";
        QCOMPARE(QString::fromUtf8(texteCsv({m})).section("\r\n", 1, 1),
                 QStringLiteral("R1;;;01/12/2026 08:00:00;\"Caisse \"\"A\"\"; étage\";;NIM;1/1 FV;ABCD-EFGH;;;;;;;"
                                "non conservés"));
    }

    void montantsDesTotauxImprimes_data()
    {
        QTest::addColumn<QString>("pays");
        QTest::addColumn<QString>("facture");
        QTest::addColumn<QStringList>("champs"); // from "HT B" on
        QTest::newRow("benin sale, AIB and specific tax")
            << "Bénin" << "V;FV;A;1;E;K;1;;;;AIB1;;;05/12/2026\nB;Biere;3;1000;1180;;100;100\n"
            << QStringList{"3000", "540", "100", "AIB", "AIB1", "1", "31", "3640", "3671", "conservés"};
        QTest::newRow("niger credit note printed negative")
            << "Niger" << "A;FA;A;1;E;K;1;;;;B;X;;05/12/2026\nB;Pain;2;100;119\n"
            << QStringList{"-200", "-38", "0", "ISB", "B", "5", "-12", "-238", "-250", "conservés"};
        QTest::newRow("benin credit note printed positive")
            << "Bénin" << "A;FA;A;1;E;K;1;;;;;X;;05/12/2026\nB;Pain;2;100;118\n"
            << QStringList{"200", "36", "0", "", "", "", "", "236", "236", "conservés"};
    }
    void montantsDesTotauxImprimes()
    {
        QFETCH(QString, pays);
        QFETCH(QString, facture);
        QFETCH(QStringList, champs);
        QTextStream flux(&facture);
        const Invoice f = lireFacture(flux, {DispositionEntete::Version2, pays});
        const MontantsFacture m =
            montantsFacture(f, pays, {"F", "1", "S", "N", "1/1", "20261205080000"}, "Caisse", "COM1");
        QCOMPARE(m.dateFacture, QString("05/12/2026"));
        QCOMPARE(champsCsv(m, {"B"}).mid(9), champs);
    }
};

QTEST_GUILESS_MAIN(ExportCsv)
#include "tst_exportcsv.moc"
