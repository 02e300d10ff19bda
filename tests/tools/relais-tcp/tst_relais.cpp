#include "relais.h"

#include <attente.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The benchmark's relay must deliver every byte, in order, one simulated round trip late: a TLS
// stream whose records arrive out of order is broken ("bad record mac").
class TestRelais : public QObject
{
    Q_OBJECT

private slots:
    void ordreEtDelai_data()
    {
        QTest::addColumn<int>("allerRetourMs");
        QTest::addColumn<int>("morceaux");
        QTest::newRow("no delay") << 0 << 200;
        QTest::newRow("40 ms, chunks written within the first round trip") << 40 << 200;
        QTest::newRow("7 ms, odd half") << 7 << 500;
    }

    void ordreEtDelai()
    {
        QFETCH(int, allerRetourMs);
        QFETCH(int, morceaux);
        // The target echoes every byte back.
        QTcpServer cible;
        QVERIFY(cible.listen(QHostAddress::LocalHost));
        QObject::connect(&cible, &QTcpServer::newConnection, &cible, [&cible] {
            QTcpSocket *s = cible.nextPendingConnection();
            QObject::connect(s, &QIODevice::readyRead, s, [s] { s->write(s->readAll()); });
        });
        Relais relais(QHostAddress::LocalHost, cible.serverPort(), allerRetourMs);
        QVERIFY(relais.ecouter(QHostAddress::LocalHost, 0));

        QTcpSocket client;
        client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QElapsedTimer chrono;
        chrono.start();
        client.connectToHost(QHostAddress::LocalHost, relais.port());
        QVERIFY(client.waitForConnected(attenteFauteMs));
        // Small chunks, each written and flushed on its own, faster than a millisecond apart.
        QByteArray attendu;
        for (int i = 0; i < morceaux; ++i) {
            const QByteArray morceau = QByteArray::number(i) + ';';
            attendu += morceau;
            client.write(morceau);
            client.flush();
            if (i % 50 == 0)
                QCoreApplication::processEvents();
        }
        QByteArray recu;
        qint64 premierOctetMs = -1;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     if (client.bytesAvailable() > 0 && premierOctetMs < 0)
                                         premierOctetMs = chrono.elapsed();
                                     recu += client.readAll();
                                     return recu.size() >= attendu.size();
                                 }()),
                                 attenteFauteMs);
        QCOMPARE(recu, attendu);
        // There and back through the relay: no sooner than two simulated round trips (the first
        // bytes also wait for the simulated TCP handshake).
        QVERIFY2(premierOctetMs >= 2 * allerRetourMs - 2, qPrintable(QString::number(premierOctetMs)));
    }
};

QTEST_GUILESS_MAIN(TestRelais)
#include "tst_relais.moc"
