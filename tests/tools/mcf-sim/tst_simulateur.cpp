#include <appareilsim.h>
#include <protocolesim.h>
#include <simulateur.h>

#include <device/trame.h>

#include <QRegularExpression>
#include <QTest>

namespace {

// What the simulator writes, write by write.
class TransportEnregistre : public TransportSim
{
public:
    QList<QByteArray> ecrits;
    QByteArray lire(int) override { return QByteArray(); }
    bool ecrire(const QByteArray &octets) override
    {
        ecrits << octets;
        return true;
    }
};

ConfigurationSim configuration(const QString &pays, double ecart = 0)
{
    ConfigurationSim c;
    c.pays = pays;
    c.nim = QStringLiteral("SIM01");
    c.ifu = QStringLiteral("3200");
    c.ecartSousTotal = ecart;
    c.horloge = [] { return QDateTime(QDate(2026, 12, 8), QTime(10, 11, 12)); };
    return c;
}

QString reponse(AppareilSim &a, int commande, const QString &donnees = QString())
{
    return a.traiter(commande, donnees).value_or(QStringLiteral("NAK"));
}

int nombreChamps(const QString &r)
{
    return r.split(QLatin1Char(',')).size();
}

QByteArray requete(int commande, const QString &donnees, int sequence = 0x1F)
{
    return *construireTrame(commande, donnees, sequence);
}

} // namespace

// The device simulator: its frame handling matches the engine's, its device keeps to the reply
// field counts the engine relies on, and its fault options act on the commands they name.
class TestSimulateurMCF : public QObject
{
    Q_OBJECT

private slots:
    void extraireRequete_data();
    void extraireRequete();
    void trameReponseLueParLeMoteur();
    void factureComplete_data();
    void factureComplete();
    void refus_data();
    void refus();
    void compteursEntreFactures();
    void lireRegle_data();
    void lireRegle();
    void injections();
    void lirePause_data();
    void lirePause();
    void clotures_data();
    void clotures();
    void reponsePerdue_data();
    void reponsePerdue();
    void retenueParCode_data();
    void retenueParCode();
};

void TestSimulateurMCF::extraireRequete_data()
{
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("valide");
    QTest::addColumn<int>("commande");
    QTest::addColumn<QByteArray>("donnees");

    const QByteArray t = requete(0x36, QStringLiteral("A,caf\u00e9"));
    QByteArray checkFaux = t;
    checkFaux[checkFaux.size() - 2] = char(checkFaux.at(checkFaux.size() - 2) + 1);
    QByteArray finFausse = t;
    finFausse[finFausse.size() - 1] = 0x04;

    QTest::newRow("engine frame") << t << true << true << 0x36 << QByteArray("A,caf\xE9");
    QTest::newRow("noise before the start byte is skipped")
        << QByteArray("\x16xx") + t << true << true << 0x36 << QByteArray("A,caf\xE9");
    QTest::newRow("incomplete frame waits") << t.chopped(1) << false << false << 0 << QByteArray();
    QTest::newRow("wrong check byte") << checkFaux << true << false << 0x36 << QByteArray("A,caf\xE9");
    QTest::newRow("wrong end byte") << finFausse << true << false << 0x36 << QByteArray("A,caf\xE9");
    QTest::newRow("LEN too small for any frame")
        << QByteArray::fromHex("0110203305") << true << false << 0 << QByteArray();
}

void TestSimulateurMCF::extraireRequete()
{
    QFETCH(QByteArray, octets);
    QFETCH(bool, complete);
    QFETCH(bool, valide);
    QFETCH(int, commande);
    QFETCH(QByteArray, donnees);

    QByteArray tampon = octets;
    const std::optional<RequeteSim> r = ::extraireRequete(tampon);
    QCOMPARE(r.has_value(), complete);
    if (!r)
        return;
    QCOMPARE(r->valide, valide);
    if (commande != 0) {
        QCOMPARE(int(r->commande), commande);
        QCOMPARE(r->donnees, donnees);
    }
}

void TestSimulateurMCF::trameReponseLueParLeMoteur()
{
    const QByteArray t = trameReponseSim(0x21, 0xC0, "1,FV");
    QCOMPARE(quint8(t.at(1)), quint8(4 + 0x2B));
    QCOMPARE(t.back(), char(0x03));
    QCOMPARE(donneesReponse(t), QStringLiteral("1,FV"));
    QCOMPARE(donneesReponse(trameReponseSim(0x21, 0x35, QByteArray())), QString());
}

void TestSimulateurMCF::factureComplete_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("facture");
    QTest::addColumn<QStringList>("articles");
    QTest::addColumn<double>("ecart");
    QTest::addColumn<QString>("sousTotal");

    QTest::newRow("benin with withholding B")
        << "BJ"
        << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi,B"
        << QStringList{"Pain complet\tB118*2", "Croissant\tB295*3", "Eau minerale 1^x2c;5L\tA500*1"} << 0.0
        << "1693.5";
    QTest::newRow("benin specific tax")
        << "BJ"
        << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi" << QStringList{"Vin\tB118*1;250,"} << 0.0 << "368";
    QTest::newRow("benin refund") << "BJ"
                                  << "7,Awa,SIM01,0,18,0,18,FA,SIM01-4,3209,Kofi"
                                  << QStringList{"Pain\tB118*2"} << 0.0 << "236";
    QTest::newRow("niger TTC") << "NE"
                               << "7,Awa,SIM01,FV,TTC,Orvane,F-1"
                               << QStringList{"Pain\tB19%236\t118*2", "Vin\tB19%177\t118*1;TBouteille,50"}
                               << 0.0 << "413";
    // The price basis "HT": the amounts come without VAT, the device adds each group's rate.
    const QStringList sansTva{"Pain\tB19%20000\t10000*2", "Lait\tD5%10000\t10000*1", "Eau\tA0%3000\t3000*1"};
    QTest::newRow("niger HT, ISB B") << "NE"
                                     << "7,Awa,SIM01,FV,HT,Orvane,F-1,B" << sansTva << 0.0 << "39165";
    QTest::newRow("niger empty price basis is HT")
        << "NE"
        << "7,Awa,SIM01,FV,,Orvane,F-1" << sansTva << 0.0 << "37300";
    QTest::newRow("niger HT refund") << "NE"
                                     << "7,Awa,SIM01,FA,SIM01-3,HT,Orvane,AV-2" << sansTva << 0.0 << "37300";
    QTest::newRow("niger HT specific tax taxed with its line")
        << "NE"
        << "7,Awa,SIM01,FV,HT,Orvane,F-1" << QStringList{"Vin\tB19%1100\t1000*1;TBouteille,100"} << 0.0
        << "1309";
    QTest::newRow("subtotal off by an amount")
        << "BJ"
        << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi" << QStringList{"Pain\tB118*2"} << 12.5 << "248.5";
}

void TestSimulateurMCF::factureComplete()
{
    QFETCH(QString, pays);
    QFETCH(QString, facture);
    QFETCH(QStringList, articles);
    QFETCH(double, ecart);
    QFETCH(QString, sousTotal);

    AppareilSim a(configuration(pays, ecart));
    const bool niger = pays == QStringLiteral("NE");
    QCOMPARE(nombreChamps(reponse(a, 0xC1)), niger ? 29 : 10);
    if (niger)
        QCOMPARE(nombreChamps(reponse(a, 0xC3, QStringLiteral("3209,Kofi,Cotonou,97,"))), 1);
    QCOMPARE(nombreChamps(reponse(a, 0xC0, facture)), niger ? 7 : 2);
    for (const QString &article : articles)
        QCOMPARE(nombreChamps(reponse(a, 0x31, article)), niger ? 5 : 4);
    const QStringList st = reponse(a, 0x33).split(QLatin1Char(','));
    QVERIFY(st.size() >= 9);
    QCOMPARE(st.at(0), sousTotal);
    QVERIFY(reponse(a, 0x35, QStringLiteral("E") + sousTotal) != QStringLiteral("NAK"));
    const QStringList f = reponse(a, 0x38).split(QLatin1Char(','));
    QCOMPARE(f.size(), 7);
    QCOMPARE(f.at(3), QStringLiteral("20261208101112"));
    QCOMPARE(f.at(4), QStringLiteral("SIM01"));
    QCOMPARE(f.at(6).size(), 24);
    QVERIFY(!a.factureOuverte());
}

void TestSimulateurMCF::refus_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QStringList>("avant"); // commands sent first, "C0=data"
    QTest::addColumn<int>("commande");
    QTest::addColumn<QString>("donnees");

    const QString bj = QStringLiteral("C0=7,Awa,SIM01,0,18,0,18,FV,3209,Kofi");
    QTest::newRow("benin has no client command") << "BJ" << QStringList{} << 0xC3 << "1,2,3,4,5";
    QTest::newRow("benin has no comment command") << "BJ" << QStringList{bj} << 0x36 << "A,Merci";
    QTest::newRow("invoice for another device")
        << "BJ" << QStringList{} << 0xC0 << "7,Awa,AUTRE,0,18,0,18,FV,3209,Kofi";
    QTest::newRow("unknown invoice type")
        << "BJ" << QStringList{} << 0xC0 << "7,Awa,SIM01,0,18,0,18,XX,3209,Kofi";
    QTest::newRow("refund without its original")
        << "NE" << QStringList{} << 0xC0 << "7,Awa,SIM01,FA,TTC,Orvane";
    QTest::newRow("item without an open invoice") << "BJ" << QStringList{} << 0x31 << "Pain\tB118*2";
    QTest::newRow("item of an unknown group") << "BJ" << QStringList{bj} << 0x31 << "Pain\tE118*2";
    QTest::newRow("item without quantity") << "BJ" << QStringList{bj} << 0x31 << "Pain\tB118";
    QTest::newRow("second invoice while one is open")
        << "BJ" << QStringList{bj} << 0xC0 << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi";
    QTest::newRow("close without an open invoice") << "BJ" << QStringList{} << 0x38 << "";
    QTest::newRow("payment with an unknown code") << "BJ" << QStringList{bj} << 0x35 << "X100";
    QTest::newRow("unknown command") << "BJ" << QStringList{} << 0x99 << "";
}

void TestSimulateurMCF::refus()
{
    QFETCH(QString, pays);
    QFETCH(QStringList, avant);
    QFETCH(int, commande);
    QFETCH(QString, donnees);

    AppareilSim a(configuration(pays));
    reponse(a, 0xC1);
    for (const QString &c : avant)
        QVERIFY(a.traiter(c.section('=', 0, 0).toInt(nullptr, 16), c.section('=', 1)).has_value());
    QVERIFY(!a.traiter(commande, donnees).has_value());
}

void TestSimulateurMCF::compteursEntreFactures()
{
    AppareilSim a(configuration(QStringLiteral("BJ")));
    const QString entete = QStringLiteral("7,Awa,SIM01,0,18,0,18,FV,3209,Kofi");
    // Paid: validated, counters 1/1.
    reponse(a, 0xC0, entete);
    reponse(a, 0x31, QStringLiteral("Pain\tB100*1"));
    reponse(a, 0x35, QStringLiteral("E100"));
    QCOMPARE(reponse(a, 0x38).section(',', 0, 2), QStringLiteral("1,1,FV"));
    // Not paid: cancelled, six fields, counters unchanged.
    reponse(a, 0xC0, entete);
    reponse(a, 0x31, QStringLiteral("Pain\tB100*1"));
    const QString annulee = reponse(a, 0x38);
    QCOMPARE(nombreChamps(annulee), 6);
    // Paid short of the total: cancelled too.
    reponse(a, 0xC0, entete);
    reponse(a, 0x31, QStringLiteral("Pain\tB100*1"));
    reponse(a, 0x35, QStringLiteral("E99"));
    QCOMPARE(nombreChamps(reponse(a, 0x38)), 6);
    // A refund counts on its own type, the total counter goes on.
    reponse(a, 0xC0, QStringLiteral("7,Awa,SIM01,0,18,0,18,FA,SIM01-1,3209,Kofi"));
    reponse(a, 0x31, QStringLiteral("Pain\tB100*1"));
    reponse(a, 0x35, QStringLiteral("A100"));
    QCOMPARE(reponse(a, 0x38).section(',', 0, 2), QStringLiteral("1,2,FA"));
    QCOMPARE(a.compteurTotal(), 2);
    QCOMPARE(reponse(a, 0xC1).section(',', 3, 3), QStringLiteral("2"));
}

void TestSimulateurMCF::lireRegle_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("commande"); // -1: unreadable
    QTest::addColumn<int>("occurrence");

    QTest::newRow("code with prefix") << "0xC1" << 0xC1 << 0;
    QTest::newRow("code without prefix") << "31" << 0x31 << 0;
    QTest::newRow("n-th request") << "0x31:2" << 0x31 << 2;
    QTest::newRow("not hexadecimal") << "zz" << -1 << 0;
    QTest::newRow("occurrence 0") << "31:0" << -1 << 0;
    QTest::newRow("beyond a byte") << "100" << -1 << 0;
}

void TestSimulateurMCF::lireRegle()
{
    QFETCH(QString, texte);
    QFETCH(int, commande);
    QFETCH(int, occurrence);

    const std::optional<RegleSim> r = ::lireRegle(texte);
    QCOMPARE(r.has_value(), commande >= 0);
    if (r) {
        QCOMPARE(r->commande, commande);
        QCOMPARE(r->occurrence, occurrence);
    }
}

void TestSimulateurMCF::injections()
{
    AppareilSim a(configuration(QStringLiteral("BJ")));
    TransportEnregistre transport;
    OptionsSim options;
    options.nak = {{0x31, 2}};
    options.sansReponse = {{0x33, 0}};
    options.syn = 2;
    options.morceaux = 3;
    options.pauseMs = 0;
    QStringList journal;
    Simulateur s(transport, a, options, [&](const QString &l) { journal << l; });

    int sequence = 0x1F;
    auto envoyer = [&](int commande, const QString &donnees) {
        transport.ecrits.clear();
        s.recevoir(*construireTrame(commande, donnees, sequence));
        return transport.ecrits;
    };

    const QList<QByteArray> etat = envoyer(0xC1, QString());
    QCOMPARE(etat.size(), 5); // two SYN, then the reply in three pieces
    QCOMPARE(etat.at(0), QByteArray(1, 0x16));
    QCOMPARE(etat.at(1), QByteArray(1, 0x16));
    QCOMPARE(donneesReponse(etat.at(2) + etat.at(3) + etat.at(4)).split(',').size(), 10);
    envoyer(0xC0, QStringLiteral("7,Awa,SIM01,0,18,0,18,FV,3209,Kofi"));
    QCOMPARE(envoyer(0x31, QStringLiteral("Pain\tB100*1")).size(), 5);
    QCOMPARE(envoyer(0x31, QStringLiteral("Pain\tB100*1")), QList<QByteArray>{QByteArray(1, 0x15)});
    QCOMPARE(envoyer(0x31, QStringLiteral("Pain\tB100*1")).size(), 5);
    QVERIFY(envoyer(0x33, QString()).isEmpty());

    // A corrupt frame is refused, and so is one left unfinished.
    transport.ecrits.clear();
    QByteArray corrompue = *construireTrame(0xC1, QString(), sequence);
    corrompue[corrompue.size() - 2] = char(corrompue.at(corrompue.size() - 2) ^ 0x01);
    s.recevoir(corrompue);
    QCOMPARE(transport.ecrits, QList<QByteArray>{QByteArray(1, 0x15)});
    transport.ecrits.clear();
    s.recevoir(corrompue.left(4));
    s.silence();
    QCOMPARE(transport.ecrits, QList<QByteArray>{QByteArray(1, 0x15)});
    QVERIFY(journal.size() > 10);
    QVERIFY(journal.first().startsWith(QStringLiteral("recu   01 24 20 C1 05 30 31 30 3A 03")));
}

void TestSimulateurMCF::lirePause_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("commande"); // -1: unreadable
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("ms");

    QTest::newRow("every close") << "38:500" << 0x38 << 0 << 500;
    QTest::newRow("second item") << "0x31:2:300" << 0x31 << 2 << 300;
    QTest::newRow("no pause given") << "38" << -1 << 0 << 0;
    QTest::newRow("negative pause") << "38:-5" << -1 << 0 << 0;
    QTest::newRow("pause not a number") << "38:2:x" << -1 << 0 << 0;
}

void TestSimulateurMCF::lirePause()
{
    QFETCH(QString, texte);
    QFETCH(int, commande);
    QFETCH(int, occurrence);
    QFETCH(int, ms);

    const std::optional<PauseSim> p = ::lirePause(texte);
    QCOMPARE(p.has_value(), commande >= 0);
    if (p) {
        QCOMPARE(p->regle.commande, commande);
        QCOMPARE(p->regle.occurrence, occurrence);
        QCOMPARE(p->ms, ms);
    }
}

void TestSimulateurMCF::clotures_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("facture");
    QTest::addColumn<QString>("paiement"); // empty: not paid
    QTest::addColumn<QString>("ligne");    // logged at close

    QTest::newRow("benin validated, named by its first item")
        << "BJ"
        << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi"
        << "E236"
        << "facture validee 1/1 FV reference \"\" article \"FAC-9, pain\"";
    QTest::newRow("benin unpaid, cancelled")
        << "BJ"
        << "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi"
        << ""
        << "facture annulee 0/0 FV reference \"\" article \"FAC-9, pain\"";
    QTest::newRow("niger refund, named by its reference")
        << "NE"
        << "7,Awa,SIM01,FA,SIM01-3,TTC,Orvane,AV-2"
        << "E236"
        << "facture validee 1/1 FA reference \"AV-2\" article \"FAC-9, pain\"";
}

void TestSimulateurMCF::clotures()
{
    QFETCH(QString, pays);
    QFETCH(QString, facture);
    QFETCH(QString, paiement);
    QFETCH(QString, ligne);

    AppareilSim a(configuration(pays));
    TransportEnregistre transport;
    OptionsSim options;
    options.pauses = {{{0x38, 0}, 1}};
    QStringList journal;
    Simulateur s(transport, a, options, [&](const QString &l) { journal << l; });
    int sequence = 0x1F;
    auto envoyer = [&](int commande, const QString &donnees) {
        s.recevoir(*construireTrame(commande, donnees, sequence));
    };
    const bool niger = pays == QStringLiteral("NE");
    envoyer(0xC0, facture);
    envoyer(0x31, niger ? QStringLiteral("FAC-9^x2c; pain\tB19%236\t118*2")
                        : QStringLiteral("FAC-9^x2c; pain\tB118*2"));
    envoyer(0x31, niger ? QStringLiteral("Eau\tA0%0\t0*1") : QStringLiteral("Eau\tA0*1"));
    // A second invoice is refused while this one is open, and says why.
    envoyer(0xC0, facture);
    QVERIFY(journal.last().endsWith(QStringLiteral("(une facture est deja ouverte)")));
    if (!paiement.isEmpty())
        envoyer(0x35, paiement);
    envoyer(0x38, QString());
    const QStringList clotures = journal.filter(QRegularExpression(QStringLiteral("^facture ")));
    QCOMPARE(clotures, QStringList{ligne});
    QVERIFY(journal.contains(QStringLiteral("pause de 1 ms avant la reponse a 0x38 n°1")));
}

void TestSimulateurMCF::reponsePerdue_data()
{
    QTest::addColumn<QStringList>("sansReponse"); // rules as given on the command line
    QTest::addColumn<QStringList>("perdues");
    QTest::addColumn<QStringList>("requetes"); // "C0=data", in order
    QTest::addColumn<QStringList>("reponses"); // per request: "-" nothing written, "NAK", or the reply data
    QTest::addColumn<bool>("ouverte");
    QTest::addColumn<int>("compteurTotal");
    QTest::addColumn<QStringList>("lignes"); // closes, lost replies, silences and NAKs logged

    const QString nouvelle = QStringLiteral("C0=7,Awa,SIM01,0,18,0,18,FV,3209,Kofi");
    const QString pain = QStringLiteral("31=Pain\tB100*1");
    const QString paye = QStringLiteral("35=E100");
    const QString fermer = QStringLiteral("38=");
    const QString etat = QStringLiteral("C1=");
    const QString validee1 = QStringLiteral("^1,1,FV,20261208101112,SIM01,3200,[A-Z2-7]{24}$");
    const QString validee2 = QStringLiteral("^2,2,FV,20261208101112,SIM01,3200,[A-Z2-7]{24}$");
    const QString ligneValidee1 = QStringLiteral("facture validee 1/1 FV reference \"\" article \"Pain\"");
    const QString ligneValidee2 = QStringLiteral("facture validee 2/2 FV reference \"\" article \"Pain\"");
    const QStringList payee{nouvelle, pain, paye, fermer};
    const QStringList reponsesPayee{"^1,FV$", "^1,B,100,100$", "^100,0$"};

    QTest::newRow("close reply lost validates a paid invoice")
        << QStringList{} << QStringList{"38"} << payee << reponsesPayee + QStringList{"-"} << false << 1
        << QStringList{ligneValidee1, QStringLiteral("reponse perdue sur 0x38 n°1")};
    QTest::newRow("close reply lost cancels an unpaid invoice")
        << QStringList{} << QStringList{"0x38"} << QStringList{nouvelle, pain, fermer}
        << QStringList{"^1,FV$", "^1,B,100,100$", "-"} << false << 0
        << QStringList{QStringLiteral("facture annulee 0/0 FV reference \"\" article \"Pain\""),
                       QStringLiteral("reponse perdue sur 0x38 n°1")};
    QTest::newRow("close reply lost on the second close only")
        << QStringList{} << QStringList{"38:2"} << payee + payee
        << reponsesPayee + QStringList{validee1, "^2,FV$", "^1,B,100,100$", "^100,0$", "-"} << false << 2
        << QStringList{ligneValidee1, ligneValidee2, QStringLiteral("reponse perdue sur 0x38 n°2")};
    QTest::newRow("a later new invoice is accepted after a lost close reply")
        << QStringList{} << QStringList{"38:1"} << payee + QStringList{etat} + payee
        << reponsesPayee + QStringList{"-",       "^0,SIM01,3200,1,1,20261208101112,0,18,0,18$",
                                       "^2,FV$",  "^1,B,100,100$",
                                       "^100,0$", validee2}
        << false << 2
        << QStringList{ligneValidee1, QStringLiteral("reponse perdue sur 0x38 n°1"), ligneValidee2};
    QTest::newRow("close retried after a lost reply is refused: nothing left open")
        << QStringList{} << QStringList{"38:1"} << payee + QStringList{fermer}
        << reponsesPayee + QStringList{"-", "NAK"} << false << 1
        << QStringList{ligneValidee1, QStringLiteral("reponse perdue sur 0x38 n°1"),
                       QStringLiteral("envoye 15  NAK: commande refusee 0x38 n°2")};
    QTest::newRow("item reply lost, the item still counts")
        << QStringList{} << QStringList{"31:1"}
        << QStringList{nouvelle, pain, QStringLiteral("31=Lait\tB50*1"), QStringLiteral("33=")}
        << QStringList{"^1,FV$", "-", "^2,B,50,150$", "^150,"} << true << 0
        << QStringList{QStringLiteral("reponse perdue sur 0x31 n°1")};
    QTest::newRow("refused close with its reply lost writes no NAK")
        << QStringList{} << QStringList{"38"} << QStringList{fermer} << QStringList{"-"} << false << 0
        << QStringList{QStringLiteral("reponse perdue sur 0x38 n°1 (commande refusee)")};
    // No answer at all: the close was never carried out.
    QTest::newRow("close never answered leaves the paid invoice open, a new invoice refused")
        << QStringList{"38:1"} << QStringList{} << payee + QStringList{etat, nouvelle}
        << reponsesPayee + QStringList{"-", "^1,SIM01,3200,0,0,20261208101112,0,18,0,18$", "NAK"} << true << 0
        << QStringList{QStringLiteral("silence sur 0x38 n°1"),
                       QStringLiteral("envoye 15  NAK: commande refusee 0xC0 n°2 (une facture est deja "
                                      "ouverte)")};
    QTest::newRow("close retried after no answer validates the invoice")
        << QStringList{"38:1"} << QStringList{} << payee + QStringList{fermer}
        << reponsesPayee + QStringList{"-", validee1} << false << 1
        << QStringList{QStringLiteral("silence sur 0x38 n°1"), ligneValidee1};
    QTest::newRow("no answer wins over a lost reply on the same close")
        << QStringList{"38"} << QStringList{"38"} << payee << reponsesPayee + QStringList{"-"} << true << 0
        << QStringList{QStringLiteral("silence sur 0x38 n°1")};
}

void TestSimulateurMCF::reponsePerdue()
{
    QFETCH(QStringList, sansReponse);
    QFETCH(QStringList, perdues);
    QFETCH(QStringList, requetes);
    QFETCH(QStringList, reponses);
    QFETCH(bool, ouverte);
    QFETCH(int, compteurTotal);
    QFETCH(QStringList, lignes);
    QCOMPARE(reponses.size(), requetes.size());

    AppareilSim a(configuration(QStringLiteral("BJ")));
    TransportEnregistre transport;
    OptionsSim options;
    options.pauseMs = 0;
    for (const QString &t : sansReponse) {
        const std::optional<RegleSim> r = ::lireRegle(t);
        QVERIFY(r);
        options.sansReponse << *r;
    }
    for (const QString &t : perdues) {
        const std::optional<RegleSim> r = ::lireRegle(t);
        QVERIFY(r);
        options.reponsePerdue << *r;
    }
    QStringList journal;
    Simulateur s(transport, a, options, [&](const QString &l) { journal << l; });

    int sequence = 0x1F;
    for (qsizetype i = 0; i < requetes.size(); ++i) {
        const int commande = requetes.at(i).section('=', 0, 0).toInt(nullptr, 16);
        const QString quoi = QStringLiteral("request %1: %2").arg(i + 1).arg(requetes.at(i));
        transport.ecrits.clear();
        s.recevoir(*construireTrame(commande, requetes.at(i).section('=', 1), sequence));
        const QString attendu = reponses.at(i);
        if (attendu == QStringLiteral("-")) {
            QVERIFY2(transport.ecrits.isEmpty(), qPrintable(quoi));
            continue;
        }
        QVERIFY2(transport.ecrits.size() == 1, qPrintable(quoi));
        const QByteArray ecrit = transport.ecrits.first();
        if (attendu == QStringLiteral("NAK")) {
            QCOMPARE(ecrit, QByteArray(1, 0x15));
            continue;
        }
        // Read as the engine reads it: the reply to this very request, sequence and command alike.
        const DecoupageReponse d = decouperReponse(ecrit, sequence, commande);
        QVERIFY2(d.nature == DecoupageReponse::Reponse, qPrintable(quoi));
        QCOMPARE(d.octets, ecrit.size());
        const QString donnees = donneesReponse(d.trame);
        QVERIFY2(QRegularExpression(attendu).match(donnees).hasMatch(), qPrintable(quoi + " -> " + donnees));
    }
    QCOMPARE(a.factureOuverte(), ouverte);
    QCOMPARE(a.compteurTotal(), compteurTotal);
    QCOMPARE(journal.filter(QRegularExpression(QStringLiteral("^(facture |reponse perdue |silence )|  NAK"))),
             lignes);
}

// Every withholding code the new invoice may carry, in both countries: AIB A 1 % and B 5 % in Bénin,
// ISB A 2 % and B 5 % in Niger, "AIB1" 1 % and "AIB5" 5 % in both, nothing for any other code (the
// engine's table, common/totaux.h).
void TestSimulateurMCF::retenueParCode_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("sousTotal");
    // Bénin: HT 25000, TTC 28600; Niger: TTC 28800.
    const QList<std::pair<QString, QString>> benin{{"", "28600"},  {"AIB1", "28850"}, {"AIB5", "29850"},
                                                   {"A", "28850"}, {"B", "29850"},    {"C", "28600"},
                                                   {"D", "28600"}};
    const QList<std::pair<QString, QString>> niger{{"", "28800"},  {"AIB1", "29088"}, {"AIB5", "30240"},
                                                   {"A", "29376"}, {"B", "30240"},    {"C", "28800"},
                                                   {"D", "28800"}};
    for (const auto &[code, total] : benin)
        QTest::addRow("benin %s", qPrintable(code.isEmpty() ? "none" : code)) << "BJ" << code << total;
    for (const auto &[code, total] : niger)
        QTest::addRow("niger %s", qPrintable(code.isEmpty() ? "none" : code)) << "NE" << code << total;
}

void TestSimulateurMCF::retenueParCode()
{
    QFETCH(QString, pays);
    QFETCH(QString, code);
    QFETCH(QString, sousTotal);
    AppareilSim a(configuration(pays));
    const bool niger = pays == QStringLiteral("NE");
    QCOMPARE(nombreChamps(reponse(a, 0xC1)), niger ? 29 : 10);
    const QString suite = code.isEmpty() ? QString() : QLatin1Char(',') + code;
    if (niger) {
        QCOMPARE(nombreChamps(reponse(a, 0xC0, "7,Awa,SIM01,FV,TTC,Orvane,F-1" + suite)), 7);
        QCOMPARE(nombreChamps(reponse(a, 0x31, "Pain\tB19%23800\t11900*2")), 5);
        QCOMPARE(nombreChamps(reponse(a, 0x31, "Eau\tA0%5000\t5000*1")), 5);
    } else {
        QCOMPARE(nombreChamps(reponse(a, 0xC0, "7,Awa,SIM01,0,18,0,18,FV,3209,Kofi" + suite)), 2);
        QCOMPARE(nombreChamps(reponse(a, 0x31, "Pain\tB11800*2")), 4);
        QCOMPARE(nombreChamps(reponse(a, 0x31, "Eau\tA5000*1")), 4);
    }
    QCOMPARE(reponse(a, 0x33).section(QLatin1Char(','), 0, 0), sousTotal);
}

QTEST_GUILESS_MAIN(TestSimulateurMCF)
#include "tst_simulateur.moc"
