#include "fluxscripte.h"

#include <device/liaisonmcf.h>
#include <device/trame.h>

#include <QTest>

#include <sstream>

using Morceaux = QList<QByteArray>;

// The exchange loop of the device link against a scripted byte stream: how reads are collected,
// SYN, NAK, lone bytes and silence.
class TestEchangeMCF : public QObject
{
    Q_OBJECT

private slots:
    void lectures_data();
    void lectures();
    void appareilSansFin_data();
    void appareilSansFin();
    void trameEcriteEtSequence();
    void octetsEnRetardIgnores();
    void donneesTropLongues();
};

void TestEchangeMCF::lectures_data()
{
    QTest::addColumn<Morceaux>("morceaux");
    QTest::addColumn<QString>("reponse");
    QTest::addColumn<bool>("recue");
    QTest::addColumn<QString>("journal");

    const QByteArray t = trameReponse(0xC0, "1,FV");
    const QString valide = QStringLiteral("Donnees: x\nReponse: 1,FV\n");

    QTest::newRow("reply in one read") << Morceaux{t} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("reply split in three reads")
        << Morceaux{t.left(3), t.mid(3, 5), t.mid(8)} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("a read of only 0x03 ends the reply")
        << Morceaux{t.chopped(1), octets("03")} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("lone SYN restarts the wait and is not stored")
        << Morceaux{octets("16"), octets("16"), t} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("lone SYN between two parts of the reply")
        << Morceaux{t.left(6), octets("16"), t.mid(6)} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("SYN ahead of the reply in the same read")
        << Morceaux{octets("16 16") + t} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("only SYN bytes in one read, then the reply")
        << Morceaux{octets("16 16 16"), t} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("SYN inside the reply is stored as data") << Morceaux{trameReponse(0xC0, "1\x16"
                                                                                           "2")}
                                                            << QStringLiteral("1\x16"
                                                                              "2")
                                                            << true
                                                            << QStringLiteral("Donnees: x\nReponse: 1\x16"
                                                                              "2\n");
    QTest::newRow("lone 0x01 starts a reply read a byte at a time")
        << Morceaux{octets("01"), t.mid(1, 1), t.mid(2)} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("NAK") << Morceaux{octets("15")} << QString() << false
                         << QStringLiteral("Donnees: x\nNAK recu: Commande incorrecte.\n\n\n");
    QTest::newRow("SYN then NAK in one read")
        << Morceaux{octets("16 15")} << QString() << false
        << QStringLiteral("Donnees: x\nNAK recu: Commande incorrecte.\n\n\n");
    // Bytes outside a frame are dropped: said once, then the reply is still awaited.
    QTest::newRow("lone unexpected byte, then silence")
        << Morceaux{octets("41")} << QString() << false
        << QStringLiteral("Donnees: x\nMessage non compris: 0x41\nAucune reponse.\n\n");
    QTest::newRow("lone unexpected control byte, then silence")
        << Morceaux{octets("06")} << QString() << false
        << QStringLiteral("Donnees: x\nMessage non compris: 0x06\nAucune reponse.\n\n");
    QTest::newRow("unexpected bytes before the reply in the same read")
        << Morceaux{octets("41 42") + t} << QStringLiteral("1,FV") << true
        << QStringLiteral("Donnees: x\nMessage non compris: 0x41 0x42\nReponse: 1,FV\n");
    QTest::newRow("unexpected byte in its own read before the reply")
        << Morceaux{octets("41"), t} << QStringLiteral("1,FV") << true
        << QStringLiteral("Donnees: x\nMessage non compris: 0x41\nReponse: 1,FV\n");
    QTest::newRow("stray start byte whose LEN promises more, then the reply")
        << Morceaux{octets("01 FF"), t} << QStringLiteral("1,FV") << true
        << QStringLiteral("Donnees: x\nMessage non compris: 0x01 0xFF\nReponse: 1,FV\n");
    QTest::newRow("trailing SYN after the reply in the same read")
        << Morceaux{t + octets("16")} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("trailing bytes after the reply in the same read")
        << Morceaux{t + octets("16 15 01 41")} << QStringLiteral("1,FV") << true << valide;
    QTest::newRow("reply of another sequence number is not this reply")
        << Morceaux{trameReponse(0xC0, "1,FV", 0x21)} << QString() << false
        << QStringLiteral("Donnees: x\nMessage non compris: 0x01 0x2F 0x21 0xC0 0x31 0x2C 0x46 0x56 ..."
                          "\nAucune reponse.\n\n");
    QTest::newRow("reply to another command, then this one")
        << Morceaux{trameReponse(0x33, "9"), t} << QStringLiteral("1,FV") << true
        << QStringLiteral("Donnees: x\nMessage non compris: 0x01 0x2C 0x20 0x33 0x39 0x41 0x42 0x43 ..."
                          "\nReponse: 1,FV\n");
    QTest::newRow("no answer") << Morceaux{} << QString() << false
                               << QStringLiteral("Donnees: x\nAucune reponse.\n\n");
    QTest::newRow("SYN then silence")
        << Morceaux{octets("16")} << QString() << false << QStringLiteral("Donnees: x\nAucune reponse.\n\n");
    QTest::newRow("reply cut off before its end")
        << Morceaux{t.left(10)} << QString() << false << QStringLiteral("Donnees: x\nAucune reponse.\n\n");
    QTest::newRow("a lone 0x03 is no reply")
        << Morceaux{octets("03")} << QString() << false
        << QStringLiteral("Donnees: x\nMessage non compris: 0x03\nAucune reponse.\n\n");
    QTest::newRow("LEN of 0x2B gives no data")
        << Morceaux{trameReponse(0xC0, "")} << QString() << true << QStringLiteral("Donnees: x\nReponse: \n");
    QTest::newRow("LEN below 0x2B is no reply frame")
        << Morceaux{octets("01 2A 20 C0 41 42 43 44 45 46 47 05 30 30 30 30 03")} << QString() << false
        << QStringLiteral("Donnees: x\nMessage non compris: 0x01\nAucune reponse.\n\n");
}

void TestEchangeMCF::lectures()
{
    QFETCH(Morceaux, morceaux);
    QFETCH(QString, reponse);
    QFETCH(bool, recue);
    QFETCH(QString, journal);

    FluxScripte flux;
    flux.repondre = [&](const FluxScripte::Requete &) { return morceaux; };
    std::ostringstream console;
    LiaisonMCF liaison(flux, console, 10);

    QCOMPARE(liaison.envoyerCommande(0xC0, QStringLiteral("x")), reponse);
    QCOMPARE(liaison.reponseRecue(), recue);
    QCOMPARE(QString::fromStdString(console.str()), journal);
    // Only a wait that went by without a byte means the device is gone; a NAK is an answer.
    QCOMPARE(liaison.appareilMuet(), journal.endsWith(QStringLiteral("Aucune reponse.\n\n")));
    QCOMPARE(flux.requetes.size(), 1);
}

void TestEchangeMCF::appareilSansFin_data()
{
    QTest::addColumn<QByteArray>("morceau");
    QTest::addColumn<QString>("journal");

    const QString limite = QStringLiteral("Aucune reponse complete dans le delai: echange abandonne.\n\n");
    QTest::newRow("SYN forever") << octets("16") << QStringLiteral("Donnees: x\n") + limite;
    QTest::newRow("ordinary bytes forever")
        << QByteArray(4096, 'A')
        << QStringLiteral("Donnees: x\nMessage non compris: 0x41 0x41 0x41 0x41 0x41 0x41 0x41 0x41 ...\n") +
               limite;
    QTest::newRow("start bytes with the longest LEN forever")
        << octets("01 FF 01 FF 01 FF") << QStringLiteral("Donnees: x\nMessage non compris: 0x01\n") + limite;
    QTest::newRow("another command's replies forever")
        << trameReponse(0x33, "1,FV")
        << QStringLiteral("Donnees: x\nMessage non compris: 0x01 0x2F 0x20 0x33 0x31 0x2C 0x46 0x56 ...\n") +
               limite;
}

void TestEchangeMCF::appareilSansFin()
{
    QFETCH(QByteArray, morceau);
    QFETCH(QString, journal);

    FluxScripte flux;
    flux.sansFin = [&] { return morceau; };
    std::ostringstream console;
    LiaisonMCF liaison(flux, console, 20);

    QCOMPARE(liaison.envoyerCommande(0xC0, QStringLiteral("x")), QString());
    QCOMPARE(liaison.issue(), IssueEchange::DelaiDepasse);
    QVERIFY(liaison.appareilMuet());
    QCOMPARE(QString::fromStdString(console.str()), journal);
    QVERIFY2(liaison.tamponReponse().size() <= LiaisonMCF::tamponMax,
             QByteArray::number(liaison.tamponReponse().size()));
}

void TestEchangeMCF::trameEcriteEtSequence()
{
    FluxScripte flux;
    flux.repondre = [](const FluxScripte::Requete &r) {
        return Morceaux{trameReponse(r.commande, "ok", r.sequence)};
    };
    std::ostringstream console;
    LiaisonMCF liaison(flux, console, 10);

    liaison.envoyerCommande(0x33, QString());
    liaison.envoyerCommande(0x36, QStringLiteral("A,l'eau"));
    QCOMPARE(flux.requetes.size(), 2);
    QCOMPARE(enHexadecimal(flux.requetes.at(0).trame), QStringLiteral("01 24 20 33 05 30 30 37 3C 03"));
    // The second frame carries the next sequence number and the data as given.
    QCOMPARE(quint8(flux.requetes.at(1).trame.at(2)), quint8(0x21));
    QCOMPARE(flux.requetes.at(1).donnees, QByteArray("A,l'eau"));
    QCOMPARE(liaison.numeroSequence(), 0x21);
    // The buffer holds the last reply until the next frame is written.
    QCOMPARE(liaison.tamponReponse(), trameReponse(0x36, "ok", 0x21));
}

void TestEchangeMCF::octetsEnRetardIgnores()
{
    // A reply that came after its wait ran out must not be read as the next command's reply.
    FluxScripte flux;
    int appel = 0;
    flux.repondre = [&](const FluxScripte::Requete &) {
        return ++appel == 1 ? Morceaux{} : Morceaux{trameReponse(0x38, "second", 0x21)};
    };
    std::ostringstream console;
    LiaisonMCF liaison(flux, console, 10);

    QCOMPARE(liaison.envoyerCommande(0x33, QString()), QString());
    flux.restes << trameReponse(0x33, "retard"); // the late reply reaches the port
    QCOMPARE(liaison.envoyerCommande(0x38, QString()), QStringLiteral("second"));
}

void TestEchangeMCF::donneesTropLongues()
{
    FluxScripte flux;
    std::ostringstream console;
    LiaisonMCF liaison(flux, console, 10);

    const QString donnees(230, QLatin1Char('x'));
    QCOMPARE(liaison.envoyerCommande(0x31, donnees), QString());
    QVERIFY(flux.requetes.isEmpty());
    QCOMPARE(QString::fromStdString(console.str()),
             QStringLiteral("Donnees: ") + donnees +
                 QStringLiteral("\nDonnees trop longues pour une trame: 230 caracteres pour 219 au plus.\n"));
    QCOMPARE(liaison.numeroSequence(), 0x1F);
}

QTEST_APPLESS_MAIN(TestEchangeMCF)
#include "tst_echangemcf.moc"
