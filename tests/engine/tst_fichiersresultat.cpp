#include "fichiersresultat.h"

#include <QtTest>

// Texts of the one-line result file.
class FichiersResultat : public QObject
{
    Q_OBJECT

private slots:
    void signature_data()
    {
        QTest::addColumn<QString>("brute");
        QTest::addColumn<QString>("attendue");
        QTest::newRow("device signature of 24") << "DEMO5AB7CD9EF2GH4JK6LM8N" << "DEMO-5AB7-CD9E-F2GH-4JK6-LM8N";
        QTest::newRow("already grouped") << "DEMO-5AB7-CD9E" << "DEMO-5AB7-CD9E";
        QTest::newRow("not a multiple of four") << "ABCDEFGHIJ" << "ABCD-EFGH-IJ";
        QTest::newRow("exactly four") << "ABCD" << "ABCD";
        QTest::newRow("empty") << "" << "";
    }

    void signature()
    {
        QFETCH(QString, brute);
        QFETCH(QString, attendue);
        QCOMPARE(texteSignature(brute), attendue);
    }

    void date_data()
    {
        QTest::addColumn<QString>("brute");
        QTest::addColumn<QString>("attendue");
        QTest::newRow("device date") << "20200109135542" << "09/01/2020 13:55:42";
        QTest::newRow("already formatted") << "2020/01/09 13h55" << "2020/01/09 13h55";
        QTest::newRow("malformed") << "2020-01-09T13:55:42" << "";
        QTest::newRow("impossible day") << "20200230135542" << "";
        QTest::newRow("too short") << "202001091355" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("midnight on New Year") << "20261231235959" << "31/12/2026 23:59:59";
    }

    void date()
    {
        QFETCH(QString, brute);
        QFETCH(QString, attendue);
        QCOMPARE(texteDate(brute), attendue);
    }

    void ligne_data()
    {
        QTest::addColumn<QString>("referenceOriginale");
        QTest::addColumn<QString>("attendue");
        const QString debut = QStringLiteral("FAC-1\t87\tABCD-EFGH-IJKL-MNOP-QRST-UVWX\tEM01\t82/87 FV\t09/01/2020 13:55:42\t"
                                             "F;EM01;ABCDEFGHIJKLMNOPQRSTUVWX;123;20200109135542\t");
        QTest::newRow("sale ends with a tab") << "" << debut;
        QTest::newRow("refund carries the original") << "EM01-86" << debut + "EM01-86";
    }

    void ligne()
    {
        QFETCH(QString, referenceOriginale);
        QFETCH(QString, attendue);
        const ResultatFiscal r{"F;EM01;ABCDEFGHIJKLMNOPQRSTUVWX;123;20200109135542",
                               "87",
                               "ABCDEFGHIJKLMNOPQRSTUVWX",
                               "EM01",
                               "82/87 FV",
                               "20200109135542"};
        const QString ligne = ligneResultat("FAC-1", r, referenceOriginale);
        QCOMPARE(ligne, attendue);
        QCOMPARE(ligne.split('\t').size(), 8);
        QVERIFY(!ligne.contains('\n'));
    }
};

QTEST_GUILESS_MAIN(FichiersResultat)
#include "tst_fichiersresultat.moc"
