#include "empreintesoumission.h"

#include <QJsonDocument>
#include <QtTest>

Q_DECLARE_METATYPE(ReponseEmcf)

// Finding a submission whose reply was lost: the fingerprint of the body sent against that of the
// details the service keeps, and the reading of the status list and of a pending invoice's details.
class EmpreinteSoumission : public QObject
{
    Q_OBJECT

private slots:
    void empreinte_data();
    void empreinte();
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

ReponseEmcf echouee(ReponseEmcf::Echec echec)
{
    ReponseEmcf r;
    r.echec = echec;
    return r;
}

ReponseEmcf statutHttp(int statut, const QByteArray &corps)
{
    ReponseEmcf r(corps);
    r.statutHttp = statut;
    return r;
}

} // namespace

void EmpreinteSoumission::empreinte_data()
{
    QTest::addColumn<QJsonObject>("rendu");
    QTest::addColumn<bool>("memeFacture");

    // What the service may give back of the same invoice.
    QTest::newRow("as submitted") << objet(soumis) << true;
    QTest::newRow("keys in another order, numbers as JSON numbers")
        << objet(R"({"aib":"B","payment":[{"amount":986.0,"name":"ESPECES"}],"operator":{"name":"Awa","id":7},
            "client":{"address":"Cotonou","contact":"97000000 ","name":"Kofi","ifu":"123"},
            "items":[{"taxGroup":"B","quantity":2,"price":118,"name":"Pain"},
                     {"taxGroup":"A","quantity":1.50,"price":"500.0","name":"Eau"}],"type":"FV"})")
        << true;
    QTest::newRow("keys the service adds, seller's number left out")
        << objet(R"({"uid":"u-1","total":986,"ta":0,"dateTime":"08/12/2026 10:00:00","type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B","amount":236},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A","amount":750}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
        << true;
    QTest::newRow("empty texts and nulls for what was not sent")
        << objet(R"({"type":"FV","reference":"","isb":null,"cmta":"",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B","taxSpecific":null},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A","taxSpecificAmount":""}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
        << true;

    // Another invoice, however close.
    QTest::newRow("another quantity") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"3","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                      << false;
    QTest::newRow("items in another order") << objet(R"({"type":"FV",
            "items":[{"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"},
                     {"name":"Pain","price":"118","quantity":"2","taxGroup":"B"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                            << false;
    QTest::newRow("another operator") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"8","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                      << false;
    QTest::newRow("no client") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                               << false;
    QTest::newRow("paid another way") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"MOBILEMONEY","amount":986}],"aib":"B"})")
                                      << false;
    QTest::newRow("another levy code") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"A"})")
                                       << false;
    QTest::newRow("a refund of the same items") << objet(R"({"type":"FA","reference":"ABCDEFGHIJKLMNOPQRSTUVWX",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                                << false;
    QTest::newRow("a name in other letters") << objet(R"({"type":"FV",
            "items":[{"name":"pain","price":"118","quantity":"2","taxGroup":"B"},
                     {"name":"Eau","price":"500","quantity":"1.5","taxGroup":"A"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                             << false;
    QTest::newRow("one item less") << objet(R"({"type":"FV",
            "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"}],
            "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
            "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":986}],"aib":"B"})")
                                   << false;
}

void EmpreinteSoumission::empreinte()
{
    QFETCH(QJsonObject, rendu);
    QFETCH(bool, memeFacture);
    QVERIFY(!rendu.isEmpty());
    const QString envoyee = empreinteSoumission(objet(soumis));
    QCOMPARE(envoyee.size(), 32);
    QCOMPARE(empreinteSoumission(rendu) == envoyee, memeFacture);
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
        << statutHttp(500, R"({"status":true,"pendingRequestsList":[{"uid":"u-1"}]})") << false
        << QStringList{};
    QTest::newRow("no reply") << echouee(ReponseEmcf::Echec::Delai) << false << QStringList{};
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
    QTest::newRow("HTTP 404") << statutHttp(404, soumis) << false;
    QTest::newRow("no reply") << echouee(ReponseEmcf::Echec::Reseau) << false;
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
