#include "serviceemcf.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// The e-MCF test double's own logic: totals, refusals, counters and the token check.
class ServiceEmcfTest : public QObject
{
    Q_OBJECT

private slots:
    void calcul_data();
    void calcul();
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

// A valid Bénin sale whose items and levy the rows below modify.
QJsonObject venteBenin()
{
    return objet(R"({"ifu":"3201234567890","type":"FV",
        "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                 {"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
        "client":{"ifu":""},"operator":{"name":"Awa"},"payment":[{"name":"ESPECES","amount":736}]})");
}

} // namespace

void ServiceEmcfTest::calcul_data()
{
    QTest::addColumn<bool>("niger");
    QTest::addColumn<QJsonObject>("facture");
    QTest::addColumn<double>("total");
    QTest::addColumn<QString>("refus");

    QTest::newRow("benin sale without levy") << false << venteBenin() << 736.0 << "";
    QJsonObject aib5 = venteBenin();
    aib5.insert("aib", "B");
    // 5 % of the tax-exclusive amounts 200 + 500.
    QTest::newRow("benin AIB B on tax-exclusive amounts") << false << aib5 << 771.0 << "";
    QJsonObject aib1 = venteBenin();
    aib1.insert("aib", "A");
    QTest::newRow("benin AIB A is 1 %") << false << aib1 << 743.0 << "";
    QJsonObject specifique = venteBenin();
    QJsonArray articles = specifique.value("items").toArray();
    QJsonObject eau = articles.at(1).toObject();
    eau.insert("taxSpecific", "20");
    articles.replace(1, eau);
    specifique.insert("items", articles);
    QTest::newRow("benin specific tax is added") << false << specifique << 756.0 << "";

    QJsonObject niger = objet(R"({"nif":"3201234567890","type":"FV","isf":"Orvane","mode":"ht","rn":"N1",
        "items":[{"name":"Pain","price":"100","quantity":"2","taxGroup":"B","taxSpecificAmount":"5"}],
        "client":{"nif":""},"operator":{"name":"Ali"},"payment":[{"name":"ESPECES","amount":1}],"isb":"B"})");
    // 2 x 100 at 19 % is 238, plus 5 of specific tax; ISB B is 5 % of 243.
    QTest::newRow("niger tax-exclusive prices and ISB") << true << niger << 255.15 << "";
    niger.insert("mode", "ttc");
    QTest::newRow("niger tax-inclusive prices") << true << niger << 215.25 << "";

    auto refusee = [](const char *cle, const QJsonValue &valeur) {
        QJsonObject f = venteBenin();
        if (valeur.isUndefined())
            f.remove(cle);
        else
            f.insert(cle, valeur);
        return f;
    };
    QTest::newRow("wrong seller") << false << refusee("ifu", "999") << 0.0
                                  << "Numero fiscal du vendeur incorrect";
    QTest::newRow("null seller") << false << refusee("ifu", QJsonValue::Null) << 0.0
                                 << "Numero fiscal du vendeur incorrect";
    QTest::newRow("unknown type") << false << refusee("type", "XX") << 0.0 << "Type de facture inconnu";
    QTest::newRow("no items") << false << refusee("items", QJsonArray()) << 0.0 << "Facture sans article";
    QTest::newRow("price as a number")
        << false
        << refusee("items", QJsonArray{objet(R"({"name":"P","price":118,"quantity":"1","taxGroup":"B"})")})
        << 0.0 << "Article invalide";
    QTest::newRow("unknown tax group")
        << false
        << refusee("items", QJsonArray{objet(R"({"name":"P","price":"1","quantity":"1","taxGroup":"Z"})")})
        << 0.0 << "Groupe de taxe invalide";
    QTest::newRow("unknown payment name")
        << false << refusee("payment", QJsonArray{objet(R"({"name":"TROC","amount":1})")}) << 0.0
        << "Paiement invalide";
    QTest::newRow("payment amount as text")
        << false << refusee("payment", QJsonArray{objet(R"({"name":"ESPECES","amount":"1"})")}) << 0.0
        << "Paiement invalide";
    QTest::newRow("unknown levy code")
        << false << refusee("aib", "C") << 0.0 << "Code de prelevement invalide";
    QTest::newRow("refund of an unknown invoice")
        << false << refusee("type", "FA") << 0.0 << "Facture d'origine introuvable";
}

void ServiceEmcfTest::calcul()
{
    QFETCH(bool, niger);
    QFETCH(QJsonObject, facture);
    QFETCH(double, total);
    QFETCH(QString, refus);
    OptionsService options;
    options.niger = niger;
    ServiceEmcf service(options);
    const ServiceEmcf::Calcul calcul = service.calculer(facture);
    QCOMPARE(calcul.refus, refus);
    if (refus.isEmpty()) {
        QCOMPARE(calcul.total, total);
    } else {
        // A refused invoice gets an error report without "uid".
        const ReponseService r =
            service.traiter(requete("POST", "/emcf/api/invoice", QJsonDocument(facture).toJson()));
        QCOMPARE(r.statut, 400);
        QVERIFY(!objet(r.corps).contains("uid"));
    }
}

void ServiceEmcfTest::cycleDeVie()
{
    OptionsService options;
    options.compteurInitial = 80;
    options.dateFixe = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
    ServiceEmcf service(options);
    const QByteArray base = "/emcf/api/invoice";

    auto soumettre = [&](const QJsonObject &facture) {
        const ReponseService r = service.traiter(requete("POST", base, QJsonDocument(facture).toJson()));
        return objet(r.corps);
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
    // Confirmed once only.
    QCOMPARE(service.traiter(requete("PUT", base + "/" + uid1 + "/confirm")).statut, 404);

    // A cancelled invoice is no longer pending and takes no counter.
    const QByteArray uid2 = soumettre(venteBenin()).value("uid").toString().toUtf8();
    const ReponseService annulation = service.traiter(requete("PUT", base + "/" + uid2 + "/cancel"));
    QCOMPARE(annulation.statut, 200);
    QVERIFY(!objet(annulation.corps).contains("qrCode"));
    QCOMPARE(service.traiter(requete("PUT", base + "/" + uid2 + "/confirm")).statut, 404);

    // The refund names the first sale by its code without dashes; counters run on per type.
    QJsonObject avoir = venteBenin();
    avoir.insert("type", "FA");
    avoir.insert("reference", QString(code).remove('-'));
    const QByteArray uid3 = soumettre(avoir).value("uid").toString().toUtf8();
    QVERIFY(!uid3.isEmpty());
    QCOMPARE(objet(service.traiter(requete("PUT", base + "/" + uid3 + "/confirm")).corps)
                 .value("counters")
                 .toString(),
             QString("81/82 FA"));
    avoir.insert("reference", code);
    QVERIFY(!soumettre(avoir).contains("uid"));

    // The token is checked on every request.
    const ReponseService refus = service.traiter(requete("GET", base, {}, "autre"));
    QCOMPARE(refus.statut, 401);
    QCOMPARE(objet(refus.corps).value("status").toInt(), 401);
    QVERIFY(!objet(refus.corps).value("title").toString().isEmpty());
}

QTEST_GUILESS_MAIN(ServiceEmcfTest)
#include "tst_serviceemcf.moc"
