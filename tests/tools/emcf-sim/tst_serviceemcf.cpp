#include "serviceemcf.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// The e-MCF test double's own logic: totals and breakdown, refusal codes, routes, pending invoices
// and their details, information requests, counters and the token check.
class ServiceEmcfTest : public QObject
{
    Q_OBJECT

private slots:
    void calcul_data();
    void calcul();
    void ventilation();
    void routes_data();
    void routes();
    void details_data();
    void details();
    void informations_data();
    void informations();
    void enAttente();
    void expiration();
    void cycleDeVie();
};

namespace {

RequeteHttp requete(const QByteArray &methode, const QByteArray &chemin, const QByteArray &corps = {},
                    const QByteArray &jeton = "jeton-de-test")
{
    RequeteHttp r;
    r.methode = methode;
    r.chemin = chemin;
    r.entetes.insert("authorization", "Bearer " + jeton);
    r.corps = corps;
    return r;
}

QJsonObject objet(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray texte(const QJsonObject &o)
{
    return QJsonDocument(o).toJson();
}

const QByteArray base = "/emcf/api/invoice";

// A valid Bénin sale whose items and levy the rows below modify.
QJsonObject venteBenin()
{
    return objet(R"({"ifu":"3201234567890","type":"FV",
        "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                 {"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
        "client":{"ifu":""},"operator":{"name":"Awa"},"payment":[{"name":"ESPECES","amount":736}]})");
}

QJsonObject avecArticle(const QByteArray &article)
{
    QJsonObject f = venteBenin();
    f.insert("items", QJsonArray{objet(article)});
    return f;
}

} // namespace

void ServiceEmcfTest::calcul_data()
{
    QTest::addColumn<bool>("niger");
    QTest::addColumn<QJsonObject>("facture");
    QTest::addColumn<double>("total");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("refus");

    QTest::newRow("benin sale without levy") << false << venteBenin() << 736.0 << 0 << "";
    QJsonObject aib5 = venteBenin();
    aib5.insert("aib", "B");
    // 5 % of the tax-exclusive amounts 200 + 500.
    QTest::newRow("benin AIB B on tax-exclusive amounts") << false << aib5 << 771.0 << 0 << "";
    QJsonObject aib1 = venteBenin();
    aib1.insert("aib", "A");
    QTest::newRow("benin AIB A is 1 %") << false << aib1 << 743.0 << 0 << "";
    QTest::newRow("benin specific tax is added")
        << false
        << avecArticle(R"({"name":"Eau","price":"500","quantity":"1","taxGroup":"A","taxSpecific":"20"})")
        << 520.0 << 0 << "";
    QTest::newRow("price, quantity and specific tax as JSON numbers")
        << false
        << avecArticle(R"({"name":"Eau","price":500,"quantity":1.5,"taxGroup":"A","taxSpecific":20})")
        << 770.0 << 0 << "";
    QTest::newRow("numeric texts with spaces")
        << false << avecArticle(R"({"name":"Eau","price":" 500 ","quantity":"2","taxGroup":"A"})") << 1000.0
        << 0 << "";

    QJsonObject niger = objet(R"({"nif":"3201234567890","type":"FV","isf":"Orvane","mode":"ht","rn":"N1",
        "items":[{"name":"Pain","price":"100","quantity":"2","taxGroup":"B","taxSpecificAmount":"5"}],
        "client":{"nif":""},"operator":{"name":"Ali"},"payment":[{"name":"ESPECES","amount":1}],"isb":"B"})");
    // 2 x 100 at 19 % is 238, plus 5 of specific tax; ISB B is 5 % of 243.
    QTest::newRow("niger tax-exclusive prices and ISB") << true << niger << 255.15 << 0 << "";
    niger.insert("mode", "ttc");
    QTest::newRow("niger tax-inclusive prices") << true << niger << 215.25 << 0 << "";
    // The levy groups the engine's codes are sent as (common/reglesmcf.h): ISB A is 2 % of 205.
    QJsonObject isbA = niger;
    isbA.insert("isb", "A");
    QTest::newRow("niger ISB A is 2 %") << true << isbA << 209.1 << 0 << "";
    isbA.insert("isb", "AIB1");
    QTest::newRow("niger has no levy AIB1: code 6")
        << true << isbA << 0.0 << 6 << "Code de prelevement invalide";
    QJsonObject nigerD = niger;
    nigerD.insert("mode", "ht");
    nigerD.remove("isb");
    nigerD.insert("items",
                  QJsonArray{objet(R"({"name":"Lait","price":"100","quantity":"2","taxGroup":"D"})")});
    // Group D is taxed at 5 % in Niger, as our invoices print it: 2 x 100 plus 10.
    QTest::newRow("niger group D at 5 %") << true << nigerD << 210.0 << 0 << "";
    QJsonObject nigerSansNif = nigerD;
    nigerSansNif.insert("client", objet(R"({"name":"Ali"})"));
    QTest::newRow("niger client without its nif is accepted") << true << nigerSansNif << 210.0 << 0 << "";

    auto refusee = [](const char *cle, const QJsonValue &valeur) {
        QJsonObject f = venteBenin();
        if (valeur.isUndefined())
            f.remove(cle);
        else
            f.insert(cle, valeur);
        return f;
    };
    QTest::newRow("wrong seller") << false << refusee("ifu", "999") << 0.0 << 99
                                  << "Numero fiscal du vendeur incorrect";
    QTest::newRow("null seller") << false << refusee("ifu", QJsonValue::Null) << 0.0 << 99
                                 << "Numero fiscal du vendeur incorrect";
    QTest::newRow("unknown type is code 3")
        << false << refusee("type", "XX") << 0.0 << 3 << "Type de facture inconnu";
    QTest::newRow("advance type FT is accepted") << false << refusee("type", "FT") << 736.0 << 0 << "";
    QTest::newRow("no client is accepted")
        << false << refusee("client", QJsonValue::Undefined) << 736.0 << 0 << "";
    QTest::newRow("null client is accepted")
        << false << refusee("client", QJsonValue::Null) << 736.0 << 0 << "";
    QTest::newRow("client as a text is refused")
        << false << refusee("client", "Kofi") << 0.0 << 99 << "Client invalide";
    QTest::newRow("client without its tax number is accepted")
        << false << refusee("client", objet(R"({"name":"Kofi","contact":"97000000","address":"Cotonou"})"))
        << 736.0 << 0 << "";
    QTest::newRow("empty client is accepted") << false << refusee("client", QJsonObject()) << 736.0 << 0 << "";
    QTest::newRow("client tax number as a JSON number is refused")
        << false << refusee("client", objet(R"({"ifu":3209876543210})")) << 0.0 << 99 << "Client invalide";
    QTest::newRow("client name as a JSON array is refused")
        << false << refusee("client", objet(R"({"name":["Kofi"]})")) << 0.0 << 99 << "Client invalide";
    QTest::newRow("no payment is accepted")
        << false << refusee("payment", QJsonValue::Undefined) << 736.0 << 0 << "";
    QTest::newRow("null payment is accepted")
        << false << refusee("payment", QJsonValue::Null) << 736.0 << 0 << "";
    QTest::newRow("empty payment list is code 7")
        << false << refusee("payment", QJsonArray()) << 0.0 << 7 << "Liste des paiements vide ou invalide";
    QTest::newRow("payment as an object is code 7")
        << false << refusee("payment", objet(R"({"name":"ESPECES","amount":736})")) << 0.0 << 7
        << "Liste des paiements vide ou invalide";
    QTest::newRow("no items is code 8")
        << false << refusee("items", QJsonArray()) << 0.0 << 8 << "Facture sans article";
    QTest::newRow("price that is not a number")
        << false << avecArticle(R"({"name":"P","price":"1x","quantity":"1","taxGroup":"B"})") << 0.0 << 99
        << "Article invalide";
    QTest::newRow("price as a JSON boolean")
        << false << avecArticle(R"({"name":"P","price":true,"quantity":"1","taxGroup":"B"})") << 0.0 << 99
        << "Article invalide";
    QTest::newRow("unknown tax group is code 9")
        << false << avecArticle(R"({"name":"P","price":"1","quantity":"1","taxGroup":"Z"})") << 0.0 << 9
        << "Groupe de taxe invalide";
    QTest::newRow("unknown payment name is code 7")
        << false << refusee("payment", QJsonArray{objet(R"({"name":"TROC","amount":1})")}) << 0.0 << 7
        << "Paiement invalide";
    QTest::newRow("payment amount as text is code 7")
        << false << refusee("payment", QJsonArray{objet(R"({"name":"ESPECES","amount":"1"})")}) << 0.0 << 7
        << "Paiement invalide";
    QTest::newRow("unknown levy code is code 6")
        << false << refusee("aib", "C") << 0.0 << 6 << "Code de prelevement invalide";
    QTest::newRow("refund without reference is code 4")
        << false << refusee("type", "FA") << 0.0 << 4 << "Reference de la facture d'origine absente";
    QJsonObject courte = refusee("type", "FA");
    courte.insert("reference", "ABCD");
    QTest::newRow("refund reference not 24 characters is code 5")
        << false << courte << 0.0 << 5 << "La reference de la facture d'origine doit avoir 24 caracteres";
    QJsonObject inconnue = refusee("type", "EA");
    inconnue.insert("reference", "ABCDEFGHIJKLMNOPQRSTUVWX");
    QTest::newRow("refund of an unknown invoice is code 11")
        << false << inconnue << 0.0 << 11 << "Facture d'origine introuvable";
}

void ServiceEmcfTest::calcul()
{
    QFETCH(bool, niger);
    QFETCH(QJsonObject, facture);
    QFETCH(double, total);
    QFETCH(int, code);
    QFETCH(QString, refus);
    for (const bool http400 : {false, true}) {
        OptionsService options;
        options.niger = niger;
        options.refusHttp400 = http400;
        ServiceEmcf service(options);
        const ServiceEmcf::Calcul calcul = service.calculer(facture);
        QCOMPARE(calcul.refus, refus);
        QCOMPARE(calcul.codeRefus, code);
        const ReponseService r = service.traiter(requete("POST", base, texte(facture)));
        const QJsonObject corps = objet(r.corps);
        if (refus.isEmpty()) {
            QCOMPARE(calcul.total, total);
            QCOMPARE(r.statut, 200);
            QCOMPARE(corps.value("total").toDouble(), total);
            QVERIFY(corps.contains("uid"));
        } else {
            // Refused like the service: HTTP 200 with the code, or 400 in the old style; never a uid.
            QCOMPARE(r.statut, http400 ? 400 : 200);
            QCOMPARE(corps.value("errorCode").toString(), QString::number(code));
            QCOMPARE(corps.value("errorDesc").toString(), refus);
            QVERIFY(!corps.contains("uid"));
        }
    }
}

void ServiceEmcfTest::ventilation()
{
    ServiceEmcf service({});
    QJsonObject f = objet(R"({"ifu":"3201234567890","type":"FV","aib":"A",
        "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                 {"name":"Vin","price":"590","quantity":"1","taxGroup":"D","taxSpecific":"10"},
                 {"name":"Eau","price":"500","quantity":"1","taxGroup":"A"},
                 {"name":"Riz","price":"300","quantity":"1","taxGroup":"E"}],
        "client":{"ifu":""},"operator":{"name":"Awa"},"payment":[{"name":"ESPECES","amount":1}]})");
    const QJsonObject r = objet(service.traiter(requete("POST", base, texte(f))).corps);
    // B: 236 inclusive is 200 + 36 VAT; D: 590 is 500 + 90; AIB A: 1 % of 200 + 500 + 10 + 500 + 300.
    const QJsonObject attendu = objet(R"({"ta":0,"tb":18,"tc":0,"td":18,
        "taa":500,"tab":236,"tac":0,"tad":590,"tae":300,"taf":0,
        "hab":200,"vab":36,"had":500,"vad":90,"ts":10,"aib":15.1,"total":1651.1})");
    for (auto it = attendu.begin(); it != attendu.end(); ++it)
        QVERIFY2(r.value(it.key()) == it.value(), qPrintable(it.key() + ": " + QJsonDocument(r).toJson()));
}

void ServiceEmcfTest::routes_data()
{
    QTest::addColumn<QByteArray>("methode");
    QTest::addColumn<QByteArray>("chemin");
    QTest::addColumn<int>("statut");
    QTest::addColumn<QString>("cle");

    QTest::newRow("status") << QByteArray("GET") << base << 200 << "status";
    QTest::newRow("status with a trailing slash") << QByteArray("GET") << base + "/" << 200 << "status";
    QTest::newRow("submission with a trailing slash") << QByteArray("POST") << base + "/" << 200 << "uid";
    QTest::newRow("details of an unknown uid")
        << QByteArray("GET") << base + "/inconnu" << 200 << "errorCode";
    QTest::newRow("confirmation of an unknown uid")
        << QByteArray("PUT") << base + "/inconnu/confirm" << 200 << "errorCode";
    QTest::newRow("cancellation of an unknown uid with a trailing slash")
        << QByteArray("PUT") << base + "/inconnu/cancel/" << 200 << "errorCode";
    // The service knows the actions confirm and cancel only.
    QTest::newRow("action annuler is no resource")
        << QByteArray("PUT") << base + "/inconnu/annuler" << 404 << "title";
    QTest::newRow("other path") << QByteArray("GET") << QByteArray("/autre") << 404 << "title";
    QTest::newRow("deeper path") << QByteArray("PUT") << base + "/u/confirm/x" << 404 << "title";
    QTest::newRow("wrong method") << QByteArray("DELETE") << base << 405 << "title";
}

void ServiceEmcfTest::routes()
{
    QFETCH(QByteArray, methode);
    QFETCH(QByteArray, chemin);
    QFETCH(int, statut);
    QFETCH(QString, cle);
    ServiceEmcf service({});
    const ReponseService r = service.traiter(requete(methode, chemin, texte(venteBenin())));
    QCOMPARE(r.statut, statut);
    const QJsonObject corps = objet(r.corps);
    QVERIFY2(corps.contains(cle), r.corps.constData());
    if (cle == "errorCode")
        QCOMPARE(corps.value("errorCode").toString(), QString("20"));
}

void ServiceEmcfTest::details_data()
{
    QTest::addColumn<bool>("niger");
    QTest::addColumn<QJsonObject>("facture");
    QTest::addColumn<QByteArray>("suite"); // what follows the uid in the details request
    QTest::addColumn<QByteArray>("avant"); // "confirm" or "cancel" sent before the details, if any

    QTest::newRow("benin sale as submitted") << false << venteBenin() << QByteArray() << QByteArray();
    QTest::newRow("details with a trailing slash")
        << false << venteBenin() << QByteArray("/") << QByteArray();
    QJsonObject nombres = avecArticle(R"({"name":"Eau","price":500,"quantity":1.5,"taxGroup":"A"})");
    nombres.insert("aib", "A");
    QTest::newRow("numbers and texts kept as sent") << false << nombres << QByteArray() << QByteArray();
    QJsonObject nue = venteBenin();
    nue.remove("client");
    nue.remove("payment");
    QTest::newRow("sale without client nor payment") << false << nue << QByteArray() << QByteArray();
    QTest::newRow("niger sale with its comments")
        << true << objet(R"({"nif":"3201234567890","type":"FV","isf":"Orvane","mode":"ttc","rn":"N1",
            "cmta":"Merci","items":[{"name":"Pain","price":"119","quantity":"1","taxGroup":"B"}],
            "client":{"nif":""},"operator":{"id":"3","name":"Ali"},
            "payment":[{"name":"MOBILEMONEY","amount":119}]})")
        << QByteArray() << QByteArray();
    QTest::newRow("confirmed invoice is code 20")
        << false << venteBenin() << QByteArray() << QByteArray("confirm");
    QTest::newRow("cancelled invoice is code 20")
        << false << venteBenin() << QByteArray() << QByteArray("cancel");
}

void ServiceEmcfTest::details()
{
    QFETCH(bool, niger);
    QFETCH(QJsonObject, facture);
    QFETCH(QByteArray, suite);
    QFETCH(QByteArray, avant);
    OptionsService options;
    options.niger = niger;
    const QByteArray chemin = niger ? "/api/invoice" : base;
    options.chemin = QString::fromUtf8(chemin);
    ServiceEmcf service(options);
    // Another pending invoice beside it: the details are those of the uid asked for.
    QJsonObject autre = facture;
    autre.insert("type", "EV");
    const ReponseService autreSoumise = service.traiter(requete("POST", chemin, texte(autre)));
    QVERIFY2(objet(autreSoumise.corps).contains("uid"), autreSoumise.corps.constData());
    const QJsonObject soumise = objet(service.traiter(requete("POST", chemin, texte(facture))).corps);
    const QByteArray uid = soumise.value("uid").toString().toUtf8();
    QVERIFY2(!uid.isEmpty(), qPrintable(QJsonDocument(soumise).toJson()));
    if (!avant.isEmpty())
        QCOMPARE(service.traiter(requete("PUT", chemin + "/" + uid + "/" + avant)).statut, 200);

    const ReponseService r = service.traiter(requete("GET", chemin + "/" + uid + suite));
    QCOMPARE(r.statut, 200);
    if (avant.isEmpty()) {
        // The invoice as it was submitted, nothing the service computed added.
        QCOMPARE(objet(r.corps), facture);
    } else {
        QCOMPARE(objet(r.corps).value("errorCode").toString(), QString("20"));
        QVERIFY(!objet(r.corps).contains("items"));
    }
}

void ServiceEmcfTest::informations_data()
{
    QTest::addColumn<bool>("niger");
    QTest::addColumn<QString>("cheminFactures"); // empty: the country's default
    QTest::addColumn<bool>("etatSansStatus");
    QTest::addColumn<QByteArray>("methode");
    QTest::addColumn<QByteArray>("chemin");
    QTest::addColumn<QByteArray>("jeton");
    QTest::addColumn<int>("statut");
    QTest::addColumn<QByteArray>("attendu");

    const QByteArray jeton = "jeton-de-test";
    const QByteArray typesFacture = R"([{"type":"FV","description":"Facture de vente"},
        {"type":"FA","description":"Facture d'avoir"},
        {"type":"EV","description":"Facture de vente a l'exportation"},
        {"type":"EA","description":"Facture d'avoir a l'exportation"},
        {"type":"FT","description":"Facture d'acompte"},
        {"type":"ET","description":"Facture d'acompte a l'exportation"}])";
    const QByteArray introuvable = R"({"status":404,"title":"Ressource introuvable"})";

    QTest::newRow("benin tax groups")
        << false << QString() << false << QByteArray("GET") << QByteArray("/emcf/api/info/taxGroups") << jeton
        << 200 << QByteArray(R"({"a":0,"b":18,"c":0,"d":18,"e":0,"f":0,"aibA":1,"aibB":5})");
    QTest::newRow("niger tax groups")
        << true << QString() << false << QByteArray("GET") << QByteArray("/api/info/taxGroups") << jeton
        << 200 << QByteArray(R"({"a":0,"b":19,"c":0,"d":5,"e":0,"f":0,"isbA":2,"isbB":5})");
    QTest::newRow("benin invoice types")
        << false << QString() << false << QByteArray("GET") << QByteArray("/emcf/api/info/invoiceTypes")
        << jeton << 200 << typesFacture;
    QTest::newRow("niger payment types with a trailing slash")
        << true << QString() << false << QByteArray("GET") << QByteArray("/api/info/paymentTypes/") << jeton
        << 200 << QByteArray(R"([{"type":"ESPECES","description":"Especes"},
            {"type":"VIREMENT","description":"Virement"},
            {"type":"CARTEBANCAIRE","description":"Carte bancaire"},
            {"type":"MOBILEMONEY","description":"Mobile money"},
            {"type":"CHEQUES","description":"Cheques"},{"type":"CREDIT","description":"Credit"},
            {"type":"AUTRE","description":"Autre"}])");
    // The information status: the service and the seller's e-MCF units, no pending invoices.
    const QByteArray unites = R"("emcfList":[{"nim":"ED04000001","status":"active",
        "shopName":"Boutique de test","address1":"%1","address2":"","address3":"",
        "contact1":"","contact2":"","contact3":""}])";
    const QByteArray etatBenin = R"({"status":true,"version":"1.0","ifu":"3201234567890",
        "nim":"ED04000001","tokenValid":"2027-12-08T10:00:00","serverDateTime":"2026-12-08T10:00:00",)" +
                                 QByteArray(unites).replace("%1", "Cotonou") + "}";
    QTest::newRow("benin status lists the e-MCF units")
        << false << QString() << false << QByteArray("GET") << QByteArray("/emcf/api/info/status") << jeton
        << 200 << etatBenin;
    QTest::newRow("niger status names the seller by nif")
        << true << QString() << false << QByteArray("GET") << QByteArray("/api/info/status") << jeton << 200
        << QByteArray(R"({"status":true,"version":"1.0","nif":"3201234567890",
            "nim":"ED04000001","tokenValid":"2027-12-08T10:00:00","serverDateTime":"2026-12-08T10:00:00",)" +
                      QByteArray(unites).replace("%1", "Niamey") + "}");
    QTest::newRow("status fault of the engine's step leaves the information alone")
        << false << QString() << true << QByteArray("GET") << QByteArray("/emcf/api/info/status") << jeton
        << 200 << etatBenin;
    QTest::newRow("test server path has its own information path")
        << false << QString("/sygmef-emcf/api/invoice") << false << QByteArray("GET")
        << QByteArray("/sygmef-emcf/api/info/invoiceTypes") << jeton << 200 << typesFacture;
    QTest::newRow("information of another path is 404")
        << false << QString("/sygmef-emcf/api/invoice") << false << QByteArray("GET")
        << QByteArray("/emcf/api/info/invoiceTypes") << jeton << 404 << introuvable;
    QTest::newRow("niger path on benin is 404")
        << false << QString() << false << QByteArray("GET") << QByteArray("/api/info/status") << jeton << 404
        << introuvable;
    QTest::newRow("unknown information is 404")
        << false << QString() << false << QByteArray("GET") << QByteArray("/emcf/api/info/taxes") << jeton
        << 404 << introuvable;
    QTest::newRow("information root is 404") << false << QString() << false << QByteArray("GET")
                                             << QByteArray("/emcf/api/info/") << jeton << 404 << introuvable;
    QTest::newRow("POST on information is 405")
        << false << QString() << false << QByteArray("POST") << QByteArray("/emcf/api/info/taxGroups")
        << jeton << 405 << QByteArray(R"({"status":405,"title":"Methode non permise"})");
    QTest::newRow("wrong token on information is 401")
        << false << QString() << false << QByteArray("GET") << QByteArray("/emcf/api/info/paymentTypes")
        << QByteArray("autre") << 401 << QByteArray(R"({"status":401,"title":"Jeton invalide ou expire"})");
}

void ServiceEmcfTest::informations()
{
    QFETCH(bool, niger);
    QFETCH(QString, cheminFactures);
    QFETCH(bool, etatSansStatus);
    QFETCH(QByteArray, methode);
    QFETCH(QByteArray, chemin);
    QFETCH(QByteArray, jeton);
    QFETCH(int, statut);
    QFETCH(QByteArray, attendu);
    OptionsService options;
    options.niger = niger;
    if (!cheminFactures.isEmpty())
        options.chemin = cheminFactures;
    else if (niger)
        options.chemin = "/api/invoice";
    options.etatSansStatus = etatSansStatus;
    options.dateFixe = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
    ServiceEmcf service(options);
    const ReponseService r = service.traiter(requete(methode, chemin, {}, jeton));
    QCOMPARE(r.statut, statut);
    QJsonParseError erreur;
    const QJsonDocument attenduJson = QJsonDocument::fromJson(attendu, &erreur);
    QCOMPARE(erreur.error, QJsonParseError::NoError);
    QCOMPARE(QJsonDocument::fromJson(r.corps), attenduJson);
}

void ServiceEmcfTest::enAttente()
{
    OptionsService options;
    options.dateFixe = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
    ServiceEmcf service(options);
    const QJsonObject vide = objet(service.traiter(requete("GET", base)).corps);
    QCOMPARE(vide.value("status"), QJsonValue(true));
    QCOMPARE(vide.value("tokenValid").toString(), QString("2027-12-08T10:00:00"));
    QCOMPARE(vide.value("pendingRequestsList").toArray(), QJsonArray());

    QStringList uids;
    QList<QJsonObject> factures;
    for (int i = 0; i < ServiceEmcf::maximumEnAttente; ++i) {
        QJsonObject f = venteBenin();
        f.insert("operator", QJsonObject{{"name", QString("Awa %1").arg(i)}});
        factures << f;
        const QJsonObject r = objet(service.traiter(requete("POST", base, texte(f))).corps);
        uids << r.value("uid").toString();
    }
    // Each pending invoice's details are that invoice as submitted.
    for (int i = 0; i < uids.size(); ++i)
        QCOMPARE(objet(service.traiter(requete("GET", base + "/" + uids.at(i).toUtf8())).corps),
                 factures.at(i));
    // The eleventh pending invoice is refused with code 1.
    const ReponseService onzieme = service.traiter(requete("POST", base, texte(venteBenin())));
    QCOMPARE(onzieme.statut, 200);
    QCOMPARE(objet(onzieme.corps).value("errorCode").toString(), QString("1"));
    QCOMPARE(objet(onzieme.corps).value("errorDesc").toString(), QString("Trop de factures en attente"));
    QVERIFY(!objet(onzieme.corps).contains("uid"));
    // The information status tells the same state of the service, without the pending invoices
    // that the status request lists, and with the e-MCF units.
    QJsonObject etat = objet(service.traiter(requete("GET", base)).corps);
    QCOMPARE(etat.value("pendingRequestsCount").toInt(), ServiceEmcf::maximumEnAttente);
    QJsonObject information = objet(service.traiter(requete("GET", "/emcf/api/info/status")).corps);
    QCOMPARE(information.take("emcfList").toArray().size(), 1);
    etat.remove("pendingRequestsCount");
    etat.remove("pendingRequestsList");
    QCOMPARE(information, etat);

    QCOMPARE(service.traiter(requete("PUT", base + "/" + uids.at(3).toUtf8() + "/cancel")).statut, 200);
    const QJsonArray liste =
        objet(service.traiter(requete("GET", base)).corps).value("pendingRequestsList").toArray();
    QCOMPARE(liste.size(), ServiceEmcf::maximumEnAttente - 1);
    QStringList restants;
    for (const QJsonValue &v : liste) {
        restants << v.toObject().value("uid").toString();
        QCOMPARE(v.toObject().value("date").toString(), QString("2026-12-08T10:00:00"));
    }
    uids.removeAt(3);
    QCOMPARE(restants, uids);
    QVERIFY(service.traiter(requete("POST", base, texte(venteBenin()))).corps.contains("\"uid\""));
}

void ServiceEmcfTest::expiration()
{
    qint64 horloge = 1000;
    OptionsService options;
    options.expirationMs = 120000;
    ServiceEmcf service(options, [&horloge] { return horloge; });
    const QByteArray uid1 = objet(service.traiter(requete("POST", base, texte(venteBenin()))).corps)
                                .value("uid")
                                .toString()
                                .toUtf8();
    horloge += 60000;
    const QByteArray uid2 = objet(service.traiter(requete("POST", base, texte(venteBenin()))).corps)
                                .value("uid")
                                .toString()
                                .toUtf8();
    horloge += 60000 - 1;
    QCOMPARE(objet(service.traiter(requete("GET", base)).corps).value("pendingRequestsList").toArray().size(),
             2);
    horloge += 1; // the first one is two minutes old
    const QJsonArray liste =
        objet(service.traiter(requete("GET", base)).corps).value("pendingRequestsList").toArray();
    QCOMPARE(liste.size(), 1);
    QCOMPARE(liste.at(0).toObject().value("uid").toString().toUtf8(), uid2);
    QCOMPARE(objet(service.traiter(requete("PUT", base + "/" + uid1 + "/confirm")).corps).value("errorCode"),
             QJsonValue("20"));
    QVERIFY(objet(service.traiter(requete("PUT", base + "/" + uid2 + "/confirm")).corps).contains("qrCode"));
}

void ServiceEmcfTest::cycleDeVie()
{
    OptionsService options;
    options.compteurInitial = 80;
    options.dateFixe = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
    ServiceEmcf service(options);

    auto soumettre = [&](const QJsonObject &facture) {
        return objet(service.traiter(requete("POST", base, texte(facture))).corps);
    };
    const QJsonObject premiere = soumettre(venteBenin());
    QCOMPARE(premiere.value("total").toDouble(), 736.0);
    const QByteArray uid1 = premiere.value("uid").toString().toUtf8();
    QVERIFY(!uid1.isEmpty());
    const QJsonObject confirmation =
        objet(service.traiter(requete("PUT", base + "/" + uid1 + "/confirm")).corps);
    QCOMPARE(confirmation.value("counters").toString(), QString("81/81 FV"));
    QCOMPARE(confirmation.value("dateTime").toString(), QString("08/12/2026 10:00:00"));
    const QString code = confirmation.value("codeMECeFDGI").toString();
    QVERIFY2(QRegularExpression("^([A-Z2-7]{4}-){5}[A-Z2-7]{4}$").match(code).hasMatch(), qPrintable(code));
    QCOMPARE(confirmation.value("qrCode").toString(),
             "F;ED04000001;" + QString(code).remove('-') + ";3201234567890;20261208100000");
    // Confirmed once only: the uid is finalised (code 20).
    const ReponseService encore = service.traiter(requete("PUT", base + "/" + uid1 + "/confirm"));
    QCOMPARE(encore.statut, 200);
    QCOMPARE(objet(encore.corps).value("errorCode").toString(), QString("20"));

    // A cancelled invoice is no longer pending and takes no counter.
    const QByteArray uid2 = soumettre(venteBenin()).value("uid").toString().toUtf8();
    const ReponseService annulation = service.traiter(requete("PUT", base + "/" + uid2 + "/cancel"));
    QCOMPARE(annulation.statut, 200);
    QVERIFY(!objet(annulation.corps).contains("qrCode"));
    QVERIFY(!objet(annulation.corps).contains("errorCode"));
    QCOMPARE(objet(service.traiter(requete("PUT", base + "/" + uid2 + "/confirm")).corps).value("errorCode"),
             QJsonValue("20"));

    // "annuler" is not an action of the service: the invoice stays pending, then cancel cancels it.
    const QByteArray uid4 = soumettre(venteBenin()).value("uid").toString().toUtf8();
    QCOMPARE(service.traiter(requete("PUT", base + "/" + uid4 + "/annuler")).statut, 404);
    const QJsonArray enAttente =
        objet(service.traiter(requete("GET", base)).corps).value("pendingRequestsList").toArray();
    QCOMPARE(enAttente.size(), 1);
    QCOMPARE(enAttente.at(0).toObject().value("uid").toString().toUtf8(), uid4);
    QVERIFY(objet(service.traiter(requete("PUT", base + "/" + uid4 + "/cancel")).corps).contains("dateTime"));

    // The refund names the first sale by its code without dashes; counters run on per type.
    QJsonObject avoir = venteBenin();
    avoir.insert("type", "FA");
    avoir.insert("reference", QString(code).remove('-'));
    // More than the original's 736 is refused (code 12).
    QJsonObject tropGrand = avoir;
    tropGrand.insert("aib", "A");
    const QJsonObject refusTropGrand = soumettre(tropGrand);
    QCOMPARE(refusTropGrand.value("errorCode").toString(), QString("12"));
    QVERIFY(!refusTropGrand.contains("uid"));
    const QByteArray uid3 = soumettre(avoir).value("uid").toString().toUtf8();
    QVERIFY(!uid3.isEmpty());
    QCOMPARE(objet(service.traiter(requete("PUT", base + "/" + uid3 + "/confirm")).corps)
                 .value("counters")
                 .toString(),
             QString("81/82 FA"));
    avoir.insert("reference", code);
    QCOMPARE(soumettre(avoir).value("errorCode").toString(), QString("5"));

    // The token is checked on every request.
    const ReponseService refus = service.traiter(requete("GET", base, {}, "autre"));
    QCOMPARE(refus.statut, 401);
    QCOMPARE(objet(refus.corps).value("status").toInt(), 401);
    QVERIFY(!objet(refus.corps).value("title").toString().isEmpty());
}

QTEST_GUILESS_MAIN(ServiceEmcfTest)
#include "tst_serviceemcf.moc"
