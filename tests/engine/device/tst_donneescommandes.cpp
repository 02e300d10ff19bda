#include <device/donneescommandes.h>

#include <QTest>

// Data texts of every device command in both layouts, and how replies are judged.
class TestDonneesCommandes : public QObject
{
    Q_OBJECT

private slots:
    void articles_data();
    void articles();
    void factures_data();
    void factures();
    void autresCommandes_data();
    void autresCommandes();
    void montantArrondi_data();
    void montantArrondi();
    void etatMachine_data();
    void etatMachine();
    void sousTotal_data();
    void sousTotal();
    void fermeture_data();
    void fermeture();
};

namespace {

EtatAppareil appareil(const QString &pays)
{
    EtatAppareil a;
    a.codePays = pays;
    if (pays == QStringLiteral("BJ")) {
        a.identifiantMCF = QStringLiteral("EM01");
        a.tauxGroupes = {{"A", "0"}, {"B", "18"}, {"C", "0"}, {"D", "18"}};
    } else {
        a.identifiantMCF = QStringLiteral("NE01");
        a.tauxGroupes = {{"A", "0"}, {"B", "19"}, {"C", "5"}};
    }
    return a;
}

InvoiceItem article(const QString &groupe, const QString &designation, const QString &quantite,
                    const QString &prixHT, const QString &tva, const QString &prixTTC,
                    const QString &complement = QString(), const QString &taxeHT = QString(),
                    const QString &taxe = QString())
{
    InvoiceItem a;
    a.groupeTaxe = groupe;
    a.designation = designation;
    a.quantite = quantite;
    a.prixHT = prixHT;
    a.tva = tva;
    a.prixTTC = prixTTC;
    a.complementArticle = complement;
    a.taxeSpecifiqueHT = taxeHT;
    a.taxeSpecifique = taxe;
    return a;
}

EnteteFacture entete(const QString &type, const QString &originale, const QString &code,
                     const QString &nomClient = QStringLiteral("Kofi"))
{
    return {QStringLiteral("F-1"),
            type,
            originale,
            QStringLiteral("3209"),
            nomClient,
            code,
            QStringLiteral("Awa"),
            QStringLiteral("7")};
}

} // namespace

void TestDonneesCommandes::articles_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("modePrix");
    QTest::addColumn<InvoiceItem>("article");
    QTest::addColumn<QString>("attendu");

    const QString bj = QStringLiteral("BJ");
    const QString ne = QStringLiteral("NE");
    const QString nom70 = QString(60, QLatin1Char('n')) + QStringLiteral("0123456789");

    QTest::newRow("benin item with its own group")
        << bj << QString() << article("D", "Pain complet", "2", "100", "36", "118") << "Pain complet\tD118*2";
    QTest::newRow("benin empty group and tva 0 gives A")
        << bj << QString() << article("", "Eau", "1", "500", "0", "500") << "Eau\tA500*1";
    QTest::newRow("benin empty group and empty tva gives A")
        << bj << QString() << article("", "Eau", "1", "500", "", "500") << "Eau\tA500*1";
    QTest::newRow("benin empty group and tva 150 gives B")
        << bj << QString() << article("", "Jus", "1", "850", "150", "1000") << "Jus\tB1000*1";
    QTest::newRow("benin tva 1 800 with the French group separator gives B")
        << bj << QString() << article("", "Four", "1", "10000", entierFrancais(1800), "11800")
        << "Four\tB11800*1";
    QTest::newRow("benin name cut to 64 characters")
        << bj << QString() << article("B", nom70, "1", "1", "0", "1") << nom70.left(64) + "\tB1*1";
    QTest::newRow("benin specific tax 0 adds nothing")
        << bj << QString() << article("B", "Vin", "1", "100", "18", "118", "", "0", "0") << "Vin\tB118*1";
    QTest::newRow("benin specific tax 250 adds ;250,")
        << bj << QString() << article("B", "Vin", "1", "100", "18", "118", "", "212", "250")
        << "Vin\tB118*1;250,";
    QTest::newRow("benin price rounded half away from zero, quantity as written")
        << bj << QString() << article("B", "Sel", "1.50", "99", "18", "117.5") << "Sel\tB118*1.50";
    QTest::newRow("benin free text escaped")
        << bj << QString() << article("B", "Pain, l'ami & co", "1", "1", "0", "1")
        << "Pain^x2c; l ami ^amp; co\tB1*1";

    QTest::newRow("niger TTC prices")
        << ne << "TTC" << article("B", "Pain", "2", "100", "36", "118") << "Pain\tB19%236\t118*2";
    QTest::newRow("niger TTC line amount holds the specific tax")
        << ne << "TTC" << article("B", "Vin", "2", "100", "36", "118", "", "", "10") << "Vin\tB19%246\t118*2";
    QTest::newRow("niger HT prices") << ne << "HT" << article("B", "Pain", "2", "100", "36", "118")
                                     << "Pain\tB19%200\t100*2";
    QTest::newRow("niger empty price basis means HT")
        << ne << QString() << article("C", "Riz", "3", "99.5", "0", "104") << "Riz\tC5%299\t100*3";
    QTest::newRow("niger group without a reported rate")
        << ne << "HT" << article("Z", "Riz", "1", "10", "0", "10") << "Riz\tZ%10\t10*1";
    QTest::newRow("niger empty group with VAT gives B")
        << ne << "TTC" << article("", "Jus", "1", "850", "150", "1000") << "Jus\tB19%1000\t1000*1";
    QTest::newRow("niger specific tax without VAT adds ;T complement, amount")
        << ne << "HT" << article("B", "Vin", "2", "100", "36", "118", "Bouteille, 75cl", "50", "59")
        << "Vin\tB19%250\t100*2;TBouteille^x2c; 75cl,50";
    QTest::newRow("niger TTC with specific tax without VAT")
        << ne << "TTC" << article("B", "Vin", "1", "100", "18", "118", "Bouteille", "50", "59")
        << "Vin\tB19%177\t118*1;TBouteille,50";
}

void TestDonneesCommandes::articles()
{
    QFETCH(QString, pays);
    QFETCH(QString, modePrix);
    QFETCH(InvoiceItem, article);
    QFETCH(QString, attendu);

    const QString donnees = pays == QStringLiteral("BJ")
                                ? donneesArticleBenin(article)
                                : donneesArticleNiger(article, appareil(pays), modePrix);
    QCOMPARE(donnees, attendu);
}

void TestDonneesCommandes::factures_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<EnteteFacture>("entete");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("benin sale: no empty field for the original")
        << "BJ" << entete("FV", "", "") << "7,Awa,EM01,0,18,0,18,FV,3209,Kofi";
    QTest::newRow("benin refund adds the original after the type")
        << "BJ" << entete("FA", "EM01-12", "") << "7,Awa,EM01,0,18,0,18,FA,EM01-12,3209,Kofi";
    QTest::newRow("benin withholding code last")
        << "BJ" << entete("FV", "", "AIB5") << "7,Awa,EM01,0,18,0,18,FV,3209,Kofi,AIB5";
    QTest::newRow("benin refund with withholding code")
        << "BJ" << entete("FA", "-", "B") << "7,Awa,EM01,0,18,0,18,FA,-,3209,Kofi,B";
    QTest::newRow("benin client name escaped") << "BJ" << entete("FV", "", "", "Kofi, Fils & Cie")
                                               << "7,Awa,EM01,0,18,0,18,FV,3209,Kofi^x2c; Fils ^amp; Cie";
    QTest::newRow("niger sale") << "NE" << entete("FV", "", "") << "7,Awa,NE01,FV,TTC,ISF-9,F-1";
    QTest::newRow("niger refund with withholding code")
        << "NE" << entete("FA", "NE01-3", "B") << "7,Awa,NE01,FA,NE01-3,TTC,ISF-9,F-1,B";
}

void TestDonneesCommandes::factures()
{
    QFETCH(QString, pays);
    QFETCH(EnteteFacture, entete);
    QFETCH(QString, attendu);

    const QString donnees =
        pays == QStringLiteral("BJ")
            ? donneesFactureBenin(entete, appareil(pays))
            : donneesFactureNiger(entete, appareil(pays), QStringLiteral("TTC"), QStringLiteral("ISF-9"));
    QCOMPARE(donnees, attendu);
}

void TestDonneesCommandes::autresCommandes_data()
{
    QTest::addColumn<QString>("donnees");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("client: five escaped fields")
        << donneesClient("3209", "Kofi, Fils", "Lot 12 <A>", "97", "")
        << "3209,Kofi^x2c; Fils,Lot 12 ^lt;A^gt;,97,";
    QTest::newRow("comment kind and text") << donneesCommentaire("A", "l'eau, bon") << "A,l eau^x2c; bon";
    QTest::newRow("payment code and amount without separator")
        << donneesConfirmation("E", "1693.5") << "E1693.5";
    QTest::newRow("payment: each known code kept")
        << QStringList{codePaiementMCF("V"), codePaiementMCF("C"), codePaiementMCF("M"),
                       codePaiementMCF("D"), codePaiementMCF("E"), codePaiementMCF("A")}
               .join(",")
        << "V,C,M,D,E,A";
    QTest::newRow("payment: credit sent as A") << donneesConfirmation("CR", "100") << "A100";
    QTest::newRow("payment: lower case sent as A") << donneesConfirmation("e", "100") << "A100";
    QTest::newRow("payment: empty code sent as A") << donneesConfirmation("", "5") << "A5";
}

void TestDonneesCommandes::autresCommandes()
{
    QFETCH(QString, donnees);
    QFETCH(QString, attendu);
    QCOMPARE(donnees, attendu);
}

void TestDonneesCommandes::montantArrondi_data()
{
    QTest::addColumn<double>("valeur");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("half rounds up") << 2.5 << "3";
    QTest::newRow("negative half rounds away from zero") << -2.5 << "-3";
    QTest::newRow("below half rounds down") << 117.49 << "117";
    QTest::newRow("small negative gives 0, not -0") << -0.4 << "0";
    QTest::newRow("large amount without grouping") << 12345678.0 << "12345678";
}

void TestDonneesCommandes::montantArrondi()
{
    QFETCH(double, valeur);
    QFETCH(QString, attendu);
    QCOMPARE(::montantArrondi(valeur), attendu);
}

void TestDonneesCommandes::etatMachine_data()
{
    QTest::addColumn<QString>("reponse");
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("identifiant");
    QTest::addColumn<QString>("taux");

    QTest::newRow("benin: 10 fields, rates in fields 6 to 9") << "0,EM01,ifu,3,4,5,0,18,1,2"
                                                              << "BJ"
                                                              << "EM01"
                                                              << "A=0 B=18 C=1 D=2";
    QStringList niger;
    for (int i = 0; i < 29; ++i)
        niger << QString::number(i);
    niger[1] = QStringLiteral("NE01");
    QTest::newRow("niger: 29 fields, rates in fields 9 to 24")
        << niger.join(",") << "NE"
        << "NE01"
        << "A=9 B=10 C=11 D=12 E=13 F=14 G=15 H=16 I=17 J=18 K=19 L=20 M=21 N=22 O=23 P=24";
    QTest::newRow("9 fields: not recognised")
        << "0,EM01,2,3,4,5,6,7,8" << QString() << QString() << QString();
    QTest::newRow("11 fields: not recognised")
        << "0,EM01,2,3,4,5,6,7,8,9,10" << QString() << QString() << QString();
    QTest::newRow("no reply") << QString() << QString() << QString() << QString();
}

void TestDonneesCommandes::etatMachine()
{
    QFETCH(QString, reponse);
    QFETCH(QString, pays);
    QFETCH(QString, identifiant);
    QFETCH(QString, taux);

    const std::optional<EtatAppareil> etat = lireEtatMachine(champsReponse(reponse));
    QCOMPARE(etat.has_value(), !pays.isEmpty());
    if (!etat)
        return;
    QCOMPARE(etat->codePays, pays);
    QCOMPARE(etat->identifiantMCF, identifiant);
    QStringList lus;
    for (auto it = etat->tauxGroupes.cbegin(); it != etat->tauxGroupes.cend(); ++it)
        lus << it.key() + QLatin1Char('=') + it.value();
    QCOMPARE(lus.join(' '), taux);
}

void TestDonneesCommandes::sousTotal_data()
{
    QTest::addColumn<QString>("champ0");
    QTest::addColumn<int>("nombreChamps");
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("quantites");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<bool>("accepte");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("off by the sum of quantities (2 + 3): accepted")
        << "105" << 9 << 100.0 << 5.0 << 0.0 << true
        << QStringList{"Difference facture: 5", "Total facture acceptable: 105"};
    QTest::newRow("off by 5.5 with quantities 2 + 3: refused")
        << "105.5" << 9 << 100.0 << 5.0 << 0.0 << false
        << QStringList{"Difference facture: 5.5", "Total facture inacceptable: 105.5"};
    QTest::newRow("below the total within the quantities")
        << "95" << 12 << 100.0 << 5.0 << 0.0 << true
        << QStringList{"Difference facture: -5", "Total facture acceptable: 95"};
    QTest::newRow("equal totals: no difference line")
        << "100.00" << 9 << 100.0 << 5.0 << 0.0 << true << QStringList{"Total facture acceptable: 100.00"};
    QTest::newRow("tolerance replaces the quantities")
        << "100.75" << 9 << 100.0 << 5.0 << 0.5 << false
        << QStringList{"Difference facture: 0.75", "Total facture inacceptable: 100.75"};
    QTest::newRow("negative tolerance refuses even an equal total")
        << "100" << 9 << 100.0 << 5.0 << -1.0 << false << QStringList{"Total facture inacceptable: 100"};
    QTest::newRow("fewer than 9 fields: refused silently")
        << "100" << 8 << 100.0 << 5.0 << 0.0 << false << QStringList{};
    QTest::newRow("unreadable subtotal counts as 0")
        << "abc" << 9 << 3.0 << 5.0 << 0.0 << true
        << QStringList{"Difference facture: -3", "Total facture acceptable: abc"};
    QTest::newRow("large difference in exponent notation")
        << "1234667" << 9 << 100.0 << 0.0 << 2e6 << true
        << QStringList{"Difference facture: 1.23457e+06", "Total facture acceptable: 1234667"};
    QTest::newRow("negative quantities give a positive allowance")
        << "98" << 9 << 100.0 << -3.0 << 0.0 << true
        << QStringList{"Difference facture: -2", "Total facture acceptable: 98"};
}

void TestDonneesCommandes::sousTotal()
{
    QFETCH(QString, champ0);
    QFETCH(int, nombreChamps);
    QFETCH(double, total);
    QFETCH(double, quantites);
    QFETCH(double, tolerance);
    QFETCH(bool, accepte);
    QFETCH(QStringList, messages);

    QStringList champs{champ0};
    while (champs.size() < nombreChamps)
        champs << QStringLiteral("0");
    const EvaluationSousTotal e = evaluerSousTotal(champs, total, quantites, tolerance);
    QCOMPARE(e.accepte, accepte);
    QCOMPARE(e.messages, messages);
    if (!messages.isEmpty())
        QCOMPARE(e.sousTotal, champ0);
}

void TestDonneesCommandes::fermeture_data()
{
    QTest::addColumn<QString>("reponse");
    QTest::addColumn<int>("issue");
    QTest::addColumn<QStringList>("resultat");

    QTest::newRow("7 fields: validated")
        << "82,87,FV,20200109135542,EM01020304,1234567890123,DEMO5AB7CD9EF2GH4JK6LM8N"
        << int(Fermeture::Validee)
        << QStringList{"F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542",
                       "87",
                       "DEMO5AB7CD9EF2GH4JK6LM8N",
                       "EM01020304",
                       "82/87 FV",
                       "20200109135542"};
    QTest::newRow("6 fields: cancelled")
        << "82,87,FV,20200109135542,EM01020304,1234567890123" << int(Fermeture::Annulee) << QStringList{};
    QTest::newRow("8 fields: unexpected") << "1,2,3,4,5,6,7,8" << int(Fermeture::Inattendue) << QStringList{};
    QTest::newRow("no reply") << QString() << int(Fermeture::Inattendue) << QStringList{};
}

void TestDonneesCommandes::fermeture()
{
    QFETCH(QString, reponse);
    QFETCH(int, issue);
    QFETCH(QStringList, resultat);

    const Fermeture f = lireFermeture(champsReponse(reponse));
    QCOMPARE(int(f.issue), issue);
    QCOMPARE(f.resultat ? f.resultat->textes() : QStringList(), resultat);
}

QTEST_APPLESS_MAIN(TestDonneesCommandes)
#include "tst_donneescommandes.moc"
