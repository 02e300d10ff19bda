#include "transportemcf.h"

#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QtTest>

// The authorities the e-MCF requests trust: an extra file adds to the system's, never replaces them.
class TransportEmcfTest : public QObject
{
    Q_OBJECT

private slots:
    void autorites_data()
    {
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<int>("supplementaires");
        QTest::newRow("no file: the default configuration") << QString() << 0;
        QTest::newRow("unreadable file adds nothing") << QStringLiteral("/nonexistent/ca.pem") << 0;
        QTest::newRow("one extra authority beside the system's")
            << QStringLiteral(ORVANE_TEST_DATA_DIR "/web/autorite-test.pem") << 1;
    }

    void autorites()
    {
        QFETCH(QString, fichier);
        QFETCH(int, supplementaires);
        const TransportEmcf transport = transportEmcf(fichier, 1234);
        QCOMPARE(transport.delaiMs, 1234);
        QCOMPARE(transport.autoritesSupplementaires.size(), supplementaires);
        const QNetworkRequest requete = requeteEmcf(QUrl("https://emcf.test/api/invoice"), "j", transport);
        const QList<QSslCertificate> systeme = QSslConfiguration::systemCaCertificates();
        if (supplementaires == 0) {
            // Untouched: the system's roots stay loaded on demand.
            QCOMPARE(requete.sslConfiguration().caCertificates(),
                     QSslConfiguration::defaultConfiguration().caCertificates());
            return;
        }
        QVERIFY2(!systeme.isEmpty(), "this machine has no system authorities to check against");
        const QList<QSslCertificate> confiance = requete.sslConfiguration().caCertificates();
        QCOMPARE(confiance.size(), systeme.size() + supplementaires);
        QVERIFY(confiance.contains(transport.autoritesSupplementaires.first()));
        QVERIFY(confiance.contains(systeme.first()));
    }
};

QTEST_GUILESS_MAIN(TransportEmcfTest)
#include "tst_transportemcf.moc"
