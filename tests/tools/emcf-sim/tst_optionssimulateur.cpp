#include "optionssimulateur.h"

#include <QtTest>

// The command line of orvane-emcf-sim: country spellings, steps of the faults, refusal style.
class OptionsSimulateurTest : public QObject
{
    Q_OBJECT

private slots:
    void lecture_data();
    void lecture();
};

void OptionsSimulateurTest::lecture_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valide");
    QTest::addColumn<bool>("niger");
    QTest::addColumn<QString>("chemin");

    const QStringList tls = {"--certificat", "c.pem", "--cle", "c.key"};
    QTest::newRow("default country is Bénin") << tls << true << false << "/emcf/api/invoice";
    QTest::newRow("BJ") << tls + QStringList{"--pays", "BJ"} << true << false << "/emcf/api/invoice";
    QTest::newRow("Bénin") << tls + QStringList{"--pays", "Bénin"} << true << false << "/emcf/api/invoice";
    QTest::newRow("NE") << tls + QStringList{"--pays", "NE"} << true << true << "/api/invoice";
    QTest::newRow("Niger") << tls + QStringList{"--pays", "Niger"} << true << true << "/api/invoice";
    QTest::newRow("unknown country") << tls + QStringList{"--pays", "FR"} << false << false << "";
    QTest::newRow("lower-case code") << tls + QStringList{"--pays", "ne"} << false << false << "";
    QTest::newRow("unknown step") << tls + QStringList{"--silence", "paiement"} << false << false << "";
    QTest::newRow("status value that is not JSON")
        << tls + QStringList{"--etat-status", "1e19x"} << false << false << "";
    QTest::newRow("negative expiry") << tls + QStringList{"--expiration-ms", "-1"} << false << false << "";
    QTest::newRow("no certificate") << QStringList{"--cle", "c.key"} << false << false << "";
}

void OptionsSimulateurTest::lecture()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valide);
    QFETCH(bool, niger);
    QFETCH(QString, chemin);
    QString erreur;
    bool aide = true;
    const auto options = lireOptions(QStringList{"orvane-emcf-sim"} + arguments, erreur, aide);
    QCOMPARE(options.has_value(), valide);
    QVERIFY(!aide);
    if (!valide) {
        QVERIFY(!erreur.isEmpty());
        return;
    }
    QCOMPARE(options->service.niger, niger);
    QCOMPARE(options->service.chemin, chemin);
    QCOMPARE(options->service.expirationMs, 120000);
    QVERIFY(!options->service.refusHttp400);
}

QTEST_GUILESS_MAIN(OptionsSimulateurTest)
#include "tst_optionssimulateur.moc"
