#include <device/portmcf.h>

#include <QTest>

Q_DECLARE_METATYPE(ChoixPort)

// Which serial port the device sequence opens.
class TestChoixPort : public QObject
{
    Q_OBJECT

private slots:
    void choisirPort_data();
    void choisirPort();
    void peripheriqueDirect_data();
    void peripheriqueDirect();
};

void TestChoixPort::choisirPort_data()
{
    QTest::addColumn<bool>("listeVide");
    QTest::addColumn<QString>("portMCF");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<ChoixPort>("attendu");

    QTest::newRow("no port listed, even with a port named") << true << "COM3" << false << ChoixPort::Aucun;
    QTest::newRow("no port listed and no port named") << true << "" << false << ChoixPort::Aucun;
    QTest::newRow("no port listed, but a device path") << true << "/dev/pts/3" << true << ChoixPort::Nomme;
    QTest::newRow("named port among the listed") << false << "COM3" << false << ChoixPort::Nomme;
    QTest::newRow("no port named: the first listed") << false << "" << false << ChoixPort::Premier;
}

void TestChoixPort::choisirPort()
{
    QFETCH(bool, listeVide);
    QFETCH(QString, portMCF);
    QFETCH(bool, direct);
    QFETCH(ChoixPort, attendu);
    QCOMPARE(::choisirPort(listeVide, portMCF, direct), attendu);
}

void TestChoixPort::peripheriqueDirect_data()
{
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<bool>("attendu");

#ifdef Q_OS_WIN
    QTest::newRow("never on Windows") << "COM3" << false;
#else
    QTest::newRow("absolute path of a character device") << "/dev/null" << true;
    QTest::newRow("relative path of a character device") << "dev/null" << false;
    QTest::newRow("a directory") << "/tmp" << false;
    QTest::newRow("a missing path") << "/dev/orvane-nothing-here" << false;
    QTest::newRow("a port name") << "ttyS0" << false;
    QTest::newRow("empty") << "" << false;
#endif
}

void TestChoixPort::peripheriqueDirect()
{
    QFETCH(QString, chemin);
    QFETCH(bool, attendu);
    QCOMPARE(estPeripheriqueDirect(chemin), attendu);
}

QTEST_APPLESS_MAIN(TestChoixPort)
#include "tst_portmcf.moc"
