#include "fluxscripte.h"

#include <device/trame.h>

#include <QTest>

// Frame bytes, escaping and reply decoding of the device link.
class TestTrameMCF : public QObject
{
    Q_OBJECT

private slots:
    void construireTrame_data();
    void construireTrame();
    void tailleLimite_data();
    void tailleLimite();
    void echapperTexte_data();
    void echapperTexte();
    void donneesReponse_data();
    void donneesReponse();
};

void TestTrameMCF::construireTrame_data()
{
    QTest::addColumn<int>("sequenceAvant");
    QTest::addColumn<int>("commande");
    QTest::addColumn<QString>("donnees");
    QTest::addColumn<QByteArray>("attendue");
    QTest::addColumn<int>("sequenceApres");

    QTest::newRow("first frame of a run, subtotal")
        << 0x1F << 0x33 << QString() << octets("01 24 20 33 05 30 30 37 3C 03") << 0x20;
    QTest::newRow("seq wraps after 0xFF")
        << 0xFF << 0xC1 << QString() << octets("01 24 20 C1 05 30 31 30 3A 03") << 0x20;
    QTest::newRow("seq 0xFE gives 0xFF")
        << 0xFE << 0xC1 << QString() << octets("01 24 FF C1 05 30 31 3E 39 03") << 0xFF;
    QTest::newRow("two data bytes") << 0x20 << 0x31 << QStringLiteral("AB")
                                    << octets("01 26 21 31 41 42 05 30 31 30 30 03") << 0x21;
    QTest::newRow("latin-1 character is one byte")
        << 0x1F << 0x36 << QStringLiteral("é") << octets("01 25 20 36 E9 05 30 31 36 39 03") << 0x20;
    QTest::newRow("capital OE ligature is dropped, LEN counts the rest")
        << 0x1F << 0x31 << QStringLiteral("\u0152uf") << octets("01 26 20 31 75 66 05 30 31 35 37 03")
        << 0x20;
    QTest::newRow("small oe ligature stays, sent as ?")
        << 0x1F << 0x31 << QStringLiteral("\u0153uf") << octets("01 27 20 31 3F 75 66 05 30 31 39 37 03")
        << 0x20;
    QTest::newRow("character beyond latin-1 sent as ?")
        << 0x1F << 0x31 << QStringLiteral("\u20AC") << octets("01 25 20 31 3F 05 30 30 3B 3A 03") << 0x20;
}

void TestTrameMCF::construireTrame()
{
    QFETCH(int, sequenceAvant);
    QFETCH(int, commande);
    QFETCH(QString, donnees);
    QFETCH(QByteArray, attendue);
    QFETCH(int, sequenceApres);

    int sequence = sequenceAvant;
    const std::optional<QByteArray> t = ::construireTrame(commande, donnees, sequence);
    QVERIFY(t.has_value());
    QCOMPARE(enHexadecimal(*t), enHexadecimal(attendue));
    QCOMPARE(sequence, sequenceApres);
}

void TestTrameMCF::tailleLimite_data()
{
    QTest::addColumn<QString>("donnees");
    QTest::addColumn<bool>("envoyable");

    QTest::newRow("219 characters fill LEN 0xFF") << QString(219, QLatin1Char('x')) << true;
    QTest::newRow("220 characters do not fit") << QString(220, QLatin1Char('x')) << false;
    QTest::newRow("220 characters of which one dropped ligature fit")
        << QString(219, QLatin1Char('x')) + QChar(0x0152) << true;
}

void TestTrameMCF::tailleLimite()
{
    QFETCH(QString, donnees);
    QFETCH(bool, envoyable);

    int sequence = 0x40;
    const std::optional<QByteArray> t = ::construireTrame(0x31, donnees, sequence);
    QCOMPARE(t.has_value(), envoyable);
    if (envoyable) {
        QCOMPARE(quint8(t->at(1)), quint8(0xFF));
        QCOMPARE(t->size(), 219 + 10);
        QCOMPARE(t->back(), char(0x03));
        QCOMPARE(sequence, 0x41);
    } else {
        // Nothing is sent, so no sequence number is used up.
        QCOMPARE(sequence, 0x40);
    }
}

void TestTrameMCF::echapperTexte_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("apostrophe, comma and markup")
        << QStringLiteral("l'eau, 5<6 & 7>2") << QStringLiteral("l eau^x2c; 5^lt;6 ^amp; 7^gt;2");
    QTest::newRow("line breaks") << QStringLiteral("a\r\nb") << QStringLiteral("a^xd;^xa;b");
    QTest::newRow("caret is not escaped") << QStringLiteral("^x2c;") << QStringLiteral("^x2c;");
    QTest::newRow("every occurrence") << QStringLiteral(",,&&") << QStringLiteral("^x2c;^x2c;^amp;^amp;");
    QTest::newRow("plain text unchanged") << QStringLiteral("Pain complet") << QStringLiteral("Pain complet");
}

void TestTrameMCF::echapperTexte()
{
    QFETCH(QString, texte);
    QFETCH(QString, attendu);
    QCOMPARE(::echapperTexte(texte), attendu);
}

void TestTrameMCF::donneesReponse_data()
{
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<QString>("attendues");

    QTest::newRow("reply with data") << trameReponse(0xC0, "1,FV") << QStringLiteral("1,FV");
    QTest::newRow("latin-1 data") << trameReponse(0x31, "caf\xE9") << QStringLiteral("café");
    QTest::newRow("LEN 0x2B: no data") << trameReponse(0x35, "") << QString();
    QTest::newRow("LEN below 0x2B: no data")
        << octets("01 20 20 35 41 42 43 44 45 46 47 48 05 30 30 30 30 03") << QString();
    QTest::newRow("LEN beyond the bytes received stops at the last byte")
        << octets("01 FF 20 35 41 42 43") << QStringLiteral("ABC");
    QTest::newRow("a lone end byte") << octets("03") << QString();
    QTest::newRow("nothing") << QByteArray() << QString();
}

void TestTrameMCF::donneesReponse()
{
    QFETCH(QByteArray, reponse);
    QFETCH(QString, attendues);
    QCOMPARE(::donneesReponse(reponse), attendues);
}

QTEST_APPLESS_MAIN(TestTrameMCF)
#include "tst_tramemcf.moc"
