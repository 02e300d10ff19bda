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
    void decouperReponse_data();
    void decouperReponse();
    void reponseCoupee_data();
    void reponseCoupee();
    void tamponPlein_data();
    void tamponPlein();
};

using Nature = DecoupageReponse::Nature;
Q_DECLARE_METATYPE(DecoupageReponse::Nature)

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

// Requests below are SEQ 0x20, CMD 0xC0.
void TestTrameMCF::decouperReponse_data()
{
    QTest::addColumn<QByteArray>("recu");
    QTest::addColumn<Nature>("nature");
    QTest::addColumn<int>("octets");
    QTest::addColumn<QByteArray>("trame");

    const QByteArray t = trameReponse(0xC0, "1,FV");
    const int n = t.size();
    QTest::newRow("nothing yet") << QByteArray() << Nature::Incomplet << 0 << QByteArray();
    QTest::newRow("complete reply") << t << Nature::Reponse << n << t;
    QTest::newRow("reply without data, LEN 0x2B")
        << trameReponse(0xC0, "") << Nature::Reponse << 17 << trameReponse(0xC0, "");
    QTest::newRow("trailing SYN after the reply") << t + octets("16") << Nature::Reponse << n << t;
    QTest::newRow("trailing bytes after the reply") << t + octets("41 01 2F") << Nature::Reponse << n << t;
    QTest::newRow("SYN alone") << octets("16") << Nature::Syn << 1 << QByteArray();
    QTest::newRow("SYN ahead of a reply in the same read")
        << octets("16") + t << Nature::Syn << 1 << QByteArray();
    QTest::newRow("NAK alone") << octets("15") << Nature::Nak << 1 << QByteArray();
    QTest::newRow("NAK after nothing else in the read")
        << octets("15 16") << Nature::Nak << 1 << QByteArray();
    QTest::newRow("SYN inside the reply data") << trameReponse(0xC0, "1\x16"
                                                                     "2")
                                               << Nature::Reponse << n - 1
                                               << trameReponse(0xC0, "1\x16"
                                                                     "2");
    QTest::newRow("SYN slipped between the reply's bytes")
        << t.left(6) + octets("16") + t.mid(6) << Nature::Reponse << n + 1 << t;
    QTest::newRow("lone 0x01") << octets("01") << Nature::Incomplet << 0 << QByteArray();
    QTest::newRow("start of a reply") << t.left(9) << Nature::Incomplet << 0 << QByteArray();
    QTest::newRow("garbage before 0x01 is dropped up to it")
        << octets("41 42 03") + t << Nature::Rejet << 3 << QByteArray();
    QTest::newRow("garbage up to a SYN") << octets("41 16") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("garbage up to a NAK") << octets("03 15") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("lone end byte") << octets("03") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("wrong SEQ: the whole frame is dropped")
        << trameReponse(0xC0, "1,FV", 0x21) << Nature::Rejet << n << QByteArray();
    QTest::newRow("wrong CMD: the whole frame is dropped")
        << trameReponse(0x31, "1,FV") + t << Nature::Rejet << n << QByteArray();
    QTest::newRow("LEN of 0x2B or less: 0x2A is no frame")
        << octets("01 2A 20 C0 41 42 43 44 45 46 47 05 30 30 30 30 03") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("LEN of 0x2B or less: 0x20 is no frame")
        << octets("01 20 20 C0 05 30 30 30 30 03") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("0x05 not at its place")
        << QByteArray(t).replace(n - 6, 1, "A") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("0x03 not at its place")
        << QByteArray(t).replace(n - 1, 1, "A") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("check byte outside 0x30-0x3F")
        << QByteArray(t).replace(n - 3, 1, "@") << Nature::Rejet << 1 << QByteArray();
    QTest::newRow("wrong check sum is not examined")
        << QByteArray(t).replace(n - 3, 1, "?") << Nature::Reponse << n
        << QByteArray(t).replace(n - 3, 1, "?");
    QTest::newRow("stray 0x01 with a long LEN before a complete reply")
        << octets("01 FF") + t << Nature::Rejet << 2 << QByteArray();
    QTest::newRow("stray 0x01 with a long LEN before part of a reply")
        << octets("01 FF") + t.left(10) << Nature::Incomplet << 0 << QByteArray();
}

void TestTrameMCF::decouperReponse()
{
    QFETCH(QByteArray, recu);
    QFETCH(Nature, nature);
    QFETCH(int, octets);
    QFETCH(QByteArray, trame);

    const DecoupageReponse d = ::decouperReponse(recu, 0x20, 0xC0);
    QCOMPARE(d.nature, nature);
    QCOMPARE(d.octets, qsizetype(octets));
    QCOMPARE(enHexadecimal(d.trame), enHexadecimal(trame));
}

void TestTrameMCF::reponseCoupee_data()
{
    QTest::addColumn<QByteArray>("avant");
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<QByteArray>("apres");

    QTest::newRow("reply with data") << QByteArray() << trameReponse(0xC0, "1,FV") << QByteArray();
    QTest::newRow("longest reply") << QByteArray() << trameReponse(0xC0, QByteArray(0xFF - 0x2B, 'x'))
                                   << QByteArray();
    QTest::newRow("reply without data") << QByteArray() << trameReponse(0xC0, "") << QByteArray();
    QTest::newRow("garbage before, trailing SYN after")
        << octets("41 03 42") << trameReponse(0xC0, "0,EM01") << octets("16");
    QTest::newRow("SYN and another command's reply before, bytes after")
        << octets("16 16") + trameReponse(0x33, "9") << trameReponse(0xC0, "1,FV") << octets("01 2F 20");
}

// Fed as the device's bytes trickle in, cut at every possible position: the reply is found whole,
// and only once every one of its bytes has arrived.
void TestTrameMCF::reponseCoupee()
{
    QFETCH(QByteArray, avant);
    QFETCH(QByteArray, reponse);
    QFETCH(QByteArray, apres);

    const QByteArray tout = avant + reponse + apres;
    for (qsizetype coupe = 0; coupe <= tout.size(); ++coupe) {
        QByteArray tampon;
        QByteArray trouvee;
        qsizetype recus = 0;
        qsizetype recusALaReponse = -1;
        for (const QByteArray &lecture : {tout.left(coupe), tout.mid(coupe)}) {
            tampon += lecture;
            recus += lecture.size();
            for (;;) {
                const DecoupageReponse d = ::decouperReponse(tampon, 0x20, 0xC0);
                if (d.nature == Nature::Incomplet)
                    break;
                if (d.nature == Nature::Reponse && trouvee.isEmpty()) {
                    trouvee = d.trame;
                    recusALaReponse = recus;
                }
                QVERIFY(d.octets > 0);
                tampon.remove(0, d.octets);
            }
        }
        const QByteArray cas = "cut at " + QByteArray::number(coupe);
        QVERIFY2(trouvee == reponse, cas.constData());
        QVERIFY2(recusALaReponse >= avant.size() + reponse.size(), cas.constData());
    }
}

void TestTrameMCF::tamponPlein_data()
{
    QTest::addColumn<QByteArray>("recu");

    QTest::newRow("ordinary bytes") << QByteArray(trame::reponseMax, 'A');
    QTest::newRow("a start byte and the longest LEN, then garbage")
        << octets("01 FF") + QByteArray(trame::reponseMax, 'A');
    QTest::newRow("a start byte and the longest LEN, then SYN bytes")
        << octets("01 FF") + QByteArray(trame::reponseMax, 0x16);
    QTest::newRow("start bytes only") << QByteArray(trame::reponseMax, 0x01);
    QTest::newRow("start and LEN pairs") << octets("01 FF").repeated(trame::reponseMax / 2 + 1);
}

// A buffer fed without end: once it holds one maximal frame, a decision is always possible, so
// the reader never needs to keep more.
void TestTrameMCF::tamponPlein()
{
    QFETCH(QByteArray, recu);
    const DecoupageReponse d = ::decouperReponse(recu, 0x20, 0xC0);
    QVERIFY(d.nature != Nature::Incomplet);
    QVERIFY(d.octets > 0);
}

QTEST_APPLESS_MAIN(TestTrameMCF)
#include "tst_tramemcf.moc"
