#include "transportemcf.h"

#include <QSslConfiguration>
#include <QtTest>

// The authorities the e-MCF requests trust: the system's, or exactly those of the file given.
class TransportEmcfTest : public QObject
{
    Q_OBJECT

private slots:
    void autorites_data()
    {
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<int>("autorites");
        QTest::newRow("no file: the system's, loaded on demand") << QString() << 0;
        QTest::newRow("unreadable file: the system's") << QStringLiteral("/nonexistent/ca.pem") << 0;
        QTest::newRow("a file: its authority alone")
            << QStringLiteral(ORVANE_TEST_DATA_DIR "/web/autorite-test.pem") << 1;
    }

    void autorites()
    {
        QFETCH(QString, fichier);
        QFETCH(int, autorites);
        const QList<QSslCertificate> lues = autoritesEmcf(fichier);
        QCOMPARE(lues.size(), autorites);
        const QSslConfiguration tls = configurationTls(lues);
        // The connection speaks HTTP/1.1 only, and says so to the server.
        QCOMPARE(tls.allowedNextProtocols(), QList<QByteArray>{QSslConfiguration::NextProtocolHttp1_1});
        if (autorites == 0) {
            QCOMPARE(tls.caCertificates(), QSslConfiguration::defaultConfiguration().caCertificates());
            return;
        }
        QCOMPARE(tls.caCertificates(), lues);
    }
};

QTEST_GUILESS_MAIN(TransportEmcfTest)
#include "tst_transportemcf.moc"
