#include "empreintesoumission.h"
#include "reponsesemcf.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// Finding a submission whose reply was lost: the fingerprint of the body sent against that of the
// details the service keeps, and the reading of the status list and of a pending invoice's details.
class EmpreinteSoumission : public QObject
{
    Q_OBJECT

private slots:
    void memeFacture_data();
    void memeFacture();
    void autreFacture_data();
    void autreFacture();
    void uids_data();
    void uids();
    void details_data();
    void details();
};

namespace {

QJsonObject objet(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

// A submission as the engine sends it: numbers as texts, the seller's number first.
const char *soumis = R"({"ifu":"3201234567890","type":"FV",
    "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
             {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
    "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
    "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})";

// `facture` with the value at `chemin` ("items/0/quantity", "client") replaced, or removed when
// `valeur` is undefined.
QJsonObject modifiee(QJsonObject facture, const QStringList &chemin, const QJsonValue &valeur)
{
    if (chemin.size() == 1) {
        if (valeur.isUndefined())
            facture.remove(chemin.first());
        else
            facture.insert(chemin.first(), valeur);
        return facture;
    }
    QJsonArray liste = facture.value(chemin.at(0)).toArray();
    const int i = chemin.at(1).toInt();
    liste.replace(i, modifiee(liste.at(i).toObject(), chemin.mid(2), valeur));
    facture.insert(chemin.at(0), liste);
    return facture;
}

} // namespace

void EmpreinteSoumission::memeFacture_data()
{
    QTest::addColumn<QJsonObject>("rendu");

    // What the service may give back of the same invoice.
    QTest::newRow("as submitted") << objet(soumis);
    QTest::newRow("keys in another order, numbers as JSON numbers")
        << objet(R"({"aib":"B","payment":[{"amount":986.0,"name":"ESPECES"}],"operator":{"name":"Awa","id":7},
            "client":{"address":"Cotonou","contact":"97000000 ","name":"Kofi","ifu":"123"},
            "items":[{"taxGroup":"B","quantity":2,"price":118,"name":"Pain"},
                     {"taxGroup":"A","quantity":1.50,"price":"500.0","name":"Eau"}],"type":"FV"})");
    QJsonObject ajouts = modifiee(objet(soumis), {"ifu"}, QJsonValue::Undefined);
    for (const char *cle : {"uid", "total", "ta", "dateTime"})
        ajouts.insert(cle, 986);
    ajouts = modifiee(modifiee(ajouts, {"items", "0", "amount"}, 236), {"items", "1", "amount"}, 750);
    QTest::newRow("keys the service adds, seller's number left out") << ajouts;
    QJsonObject vides = objet(soumis);
    vides.insert("reference", "");
    vides.insert("isb", QJsonValue::Null);
    vides.insert("cmta", "");
    vides = modifiee(vides, {"items", "0", "taxSpecific"}, QJsonValue::Null);
    vides = modifiee(vides, {"items", "1", "taxSpecificAmount"}, "");
    QTest::newRow("empty texts and nulls for what was not sent") << vides;
}

void EmpreinteSoumission::memeFacture()
{
    QFETCH(QJsonObject, rendu);
    const QString envoyee = empreinteSoumission(objet(soumis));
    QCOMPARE(envoyee.size(), 32);
    QCOMPARE(empreinteSoumission(rendu), envoyee);
}

void EmpreinteSoumission::autreFacture_data()
{
    QTest::addColumn<QStringList>("chemin");
    QTest::addColumn<QJsonValue>("valeur");

    const QJsonArray articles = objet(soumis).value("items").toArray();
    QTest::newRow("another quantity") << QStringList{"items", "0", "quantity"} << QJsonValue("3");
    QTest::newRow("items in another order") << QStringList{"items"} << QJsonValue(QJsonArray{articles[1], articles[0]});
    QTest::newRow("one item less") << QStringList{"items"} << QJsonValue(QJsonArray{articles[0]});
    QTest::newRow("a name in other letters") << QStringList{"items", "0", "name"} << QJsonValue("pain");
    QTest::newRow("another operator") << QStringList{"operator"} << QJsonValue(objet(R"({"id":"8","name":"Awa"})"));
    QTest::newRow("no client") << QStringList{"client"} << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("paid another way") << QStringList{"payment", "0", "name"} << QJsonValue("MOBILEMONEY");
    QTest::newRow("another levy code") << QStringList{"aib"} << QJsonValue("A");
    QTest::newRow("a refund of the same items") << QStringList{"type"} << QJsonValue("FA");
    QTest::newRow("a comment") << QStringList{"cmta"} << QJsonValue("Merci");
}

void EmpreinteSoumission::autreFacture()
{
    QFETCH(QStringList, chemin);
    QFETCH(QJsonValue, valeur);
    const QJsonObject autre = modifiee(objet(soumis), chemin, valeur);
    QVERIFY(autre != objet(soumis));
    QVERIFY(empreinteSoumission(autre) != empreinteSoumission(objet(soumis)));
}

void EmpreinteSoumission::uids_data()
{
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<bool>("lisible");
    QTest::addColumn<QStringList>("attendus");

    QTest::newRow("two pending") << ReponseEmcf(R"({"status":true,"pendingRequestsCount":2,
        "pendingRequestsList":[{"date":"x","uid":"u-1"},{"uid":"u-2"}]})")
                                 << true << QStringList{"u-1", "u-2"};
    QTest::newRow("none pending") << ReponseEmcf(R"({"status":true,"pendingRequestsList":[]})") << true
                                  << QStringList{};
    QTest::newRow("no list at all") << ReponseEmcf(R"({"status":true})") << true << QStringList{};
    QTest::newRow("entries without uid are passed over")
        << ReponseEmcf(R"({"status":true,"pendingRequestsList":[{"date":"x"},{"uid":""},{"uid":"u-3"},7]})")
        << true << QStringList{"u-3"};
    QTest::newRow("service not ready") << ReponseEmcf(R"({"status":false,"pendingRequestsList":[]})") << false
                                       << QStringList{};
    QTest::newRow("not JSON") << ReponseEmcf("<html>") << false << QStringList{};
    QTest::newRow("an array") << ReponseEmcf(R"([{"uid":"u-1"}])") << false << QStringList{};
    QTest::newRow("HTTP 500 with a status body")
        << http(500, R"({"status":true,"pendingRequestsList":[{"uid":"u-1"}]})") << false
        << QStringList{};
    QTest::newRow("no reply") << echec(ReponseEmcf::Echec::Delai) << false << QStringList{};
}

void EmpreinteSoumission::uids()
{
    QFETCH(ReponseEmcf, reponse);
    QFETCH(bool, lisible);
    QFETCH(QStringList, attendus);
    const std::optional<QStringList> lus = uidsEnAttente(reponse);
    QCOMPARE(lus.has_value(), lisible);
    if (lus)
        QCOMPARE(*lus, attendus);
}

void EmpreinteSoumission::details_data()
{
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<bool>("enAttente");

    QTest::newRow("the invoice as submitted") << ReponseEmcf(soumis) << true;
    QTest::newRow("the totals the service computed") << ReponseEmcf(R"({"ta":0,"total":986})") << true;
    QTest::newRow("not pending: the service's error")
        << ReponseEmcf(R"({"errorCode":"20","errorDesc":"Facture en attente introuvable","items":[]})") << false;
    QTest::newRow("an empty object") << ReponseEmcf("{}") << false;
    QTest::newRow("items that are not a list") << ReponseEmcf(R"({"items":"Pain"})") << false;
    QTest::newRow("HTTP 404") << http(404, soumis) << false;
    QTest::newRow("no reply") << echec(ReponseEmcf::Echec::Reseau) << false;
}

void EmpreinteSoumission::details()
{
    QFETCH(ReponseEmcf, reponse);
    QFETCH(bool, enAttente);
    const std::optional<QJsonObject> lus = detailsEnAttente(reponse);
    QCOMPARE(lus.has_value(), enAttente);
    if (lus)
        QCOMPARE(*lus, QJsonDocument::fromJson(reponse.corps).object());
}

QTEST_APPLESS_MAIN(EmpreinteSoumission)
#include "tst_empreintesoumission.moc"
