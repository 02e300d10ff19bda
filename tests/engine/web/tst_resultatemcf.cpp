#include "resultatemcf.h"

#include <QJsonDocument>
#include <QtTest>

// The fiscal result taken from a confirmation reply.
class ResultatEmcf : public QObject
{
    Q_OBJECT

private slots:
    void compteur_data();
    void compteur();
    void resultat_data();
    void resultat();
};

void ResultatEmcf::compteur_data()
{
    QTest::addColumn<QString>("compteurs");
    QTest::addColumn<QString>("total");

    QTest::newRow("counter, total and type") << "82/87 FV"
                                             << "87";
    QTest::newRow("no space runs to the end") << "82/87"
                                              << "87";
    QTest::newRow("empty counters") << ""
                                    << "";
    QTest::newRow("no slash starts at the beginning") << "87 FV"
                                                      << "87";
    QTest::newRow("no slash and no space is the whole text") << "87"
                                                             << "87";
    QTest::newRow("space right after the slash gives nothing") << "82/ 87 FV"
                                                               << "";
    QTest::newRow("space before the slash is ignored") << "FV 82/87"
                                                       << "87";
    QTest::newRow("only the first slash counts") << "1/2/3 FA"
                                                 << "2/3";
    QTest::newRow("slash at the end gives nothing") << "82/"
                                                    << "";
    QTest::newRow("two spaces after the total") << "5/123  FV"
                                                << "123";
}

void ResultatEmcf::compteur()
{
    QFETCH(QString, compteurs);
    QFETCH(QString, total);
    QCOMPARE(compteurTotal(compteurs), total);
}

void ResultatEmcf::resultat_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<QStringList>("attendu");

    QTest::newRow("benin confirmation")
        << "Bénin"
        << QByteArray(
               R"({"qrCode":"F;ED04000001;ABCD;3201234567890;20261208100000","codeMECeFDGI":"ABCD-EFGH",
                         "codeSECeFDGI":"NIGER","nim":"ED04000001","counters":"82/87 FV",
                         "dateTime":"08/12/2026 10:00:00"})")
        << QStringList{"F;ED04000001;ABCD;3201234567890;20261208100000",
                       "87",
                       "ABCD-EFGH",
                       "ED04000001",
                       "82/87 FV",
                       "08/12/2026 10:00:00"};
    QTest::newRow("niger takes the SECeF code")
        << "Niger" << QByteArray(R"({"qrCode":"Q","codeMECeFDGI":"BENIN","codeSECeFDGI":"SECEF","nim":"NE01",
                         "counters":"3/4 FA","dateTime":"D"})")
        << QStringList{"Q", "4", "SECEF", "NE01", "3/4 FA", "D"};
    QTest::newRow("niger reply with only the MECeF code has no signature")
        << "Niger" << QByteArray(R"({"qrCode":"Q","codeMECeFDGI":"BENIN","nim":"NE01","counters":"1/1 FV"})")
        << QStringList{"Q", "1", "", "NE01", "1/1 FV", ""};
    QTest::newRow("values that are not texts are empty")
        << "Bénin"
        << QByteArray(R"({"qrCode":12,"codeMECeFDGI":null,"nim":["x"],"counters":5,"dateTime":{}})")
        << QStringList{"", "", "", "", "", ""};
}

void ResultatEmcf::resultat()
{
    QFETCH(QString, pays);
    QFETCH(QByteArray, reponse);
    QFETCH(QStringList, attendu);
    QCOMPARE(resultatConfirmation(QJsonDocument::fromJson(reponse).object(), pays).textes(), attendu);
}

QTEST_GUILESS_MAIN(ResultatEmcf)
#include "tst_resultatemcf.moc"
