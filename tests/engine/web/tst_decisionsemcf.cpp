#include "decisionsemcf.h"
#include "reponsesemcf.h"

#include <parametres.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// What each reply handler prints and does next, on good and bad replies.
class DecisionsEmcf : public QObject
{
    Q_OBJECT

private slots:
    void etatServeur_data();
    void etatServeur();
    void enregistrement_data();
    void enregistrement();
    void confirmation_data();
    void confirmation();
    void annulation_data();
    void annulation();
    void causes_data();
    void causes();
    void adresseDecision_data();
    void adresseDecision();
};

using Suite = DecisionEmcf::Suite;
using Echec = ReponseEmcf::Echec;
Q_DECLARE_METATYPE(DecisionEmcf::Suite)

void DecisionsEmcf::etatServeur_data()
{
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<QString>("console");
    QTest::addColumn<Suite>("suite");

    const QString pret = "\nLe serveur est pret pour la facturation\n\nEnregistrement de la facture\n";
    QTest::newRow("ready") << ReponseEmcf(R"({"status":true,"ifu":"3201234567890"})") << pret
                           << Suite::Soumettre;
    QTest::newRow("rejected token with an error report")
        << ReponseEmcf(R"({"status":401,"title":"Jeton invalide"})")
        << "\nLe serveur a retourne: 401 Jeton invalide\n"
        << Suite::Terminer;
    QTest::newRow("status 1 is not the value true")
        << ReponseEmcf(R"({"status":1,"title":"Pret?"})") << "\nLe serveur a retourne: 1 Pret?\n"
        << Suite::Terminer;
    QTest::newRow("status text true is not ready and prints 0")
        << ReponseEmcf(R"({"status":"true","title":"Texte"})") << "\nLe serveur a retourne: 0 Texte\n"
        << Suite::Terminer;
    QTest::newRow("status false without title prints nothing more")
        << ReponseEmcf(R"({"status":false})") << "" << Suite::Terminer;
    QTest::newRow("not JSON") << ReponseEmcf("<html>502</html>") << "Reponse invalide\n" << Suite::Terminer;
    QTest::newRow("empty body of a network failure") << ReponseEmcf() << "Reponse invalide\n"
                                                     << Suite::Terminer;
    QTest::newRow("time limit reached")
        << echec(Echec::Delai, 800) << "Reponse invalide\nCause: delai de 800 ms depasse.\n"
        << Suite::Terminer;
    QTest::newRow("wrong token answered 401 says so")
        << http(401, R"({"status":401,"title":"Jeton invalide"})")
        << "\nLe serveur a retourne: 401 Jeton invalide\nCause: jeton refuse (HTTP 401).\n"
        << Suite::Terminer;
    QTest::newRow("status beyond any integer prints 0")
        << ReponseEmcf(R"({"status":1e19,"title":"Trop"})") << "\nLe serveur a retourne: 0 Trop\n"
        << Suite::Terminer;
    QTest::newRow("negative status beyond any integer prints 0")
        << ReponseEmcf(R"({"status":-1e300,"title":"Trop"})") << "\nLe serveur a retourne: 0 Trop\n"
        << Suite::Terminer;
    QTest::newRow("largest status that an integer holds")
        << ReponseEmcf(R"({"status":-9223372036854775808,"title":"Min"})")
        << "\nLe serveur a retourne: -9223372036854775808 Min\n"
        << Suite::Terminer;
    QTest::newRow("JSON array") << ReponseEmcf(R"([{"status":true}])") << "Reponse invalide\n"
                                << Suite::Terminer;
    QTest::newRow("object without status")
        << ReponseEmcf(R"({"ifu":"1","title":"x"})") << "Reponse invalide\n"
        << Suite::Terminer;
}

void DecisionsEmcf::etatServeur()
{
    QFETCH(ReponseEmcf, reponse);
    QFETCH(QString, console);
    QFETCH(Suite, suite);

    Invoice facture;
    facture.typeFacture = "FV";
    ParametresMoteur parametres;
    const TablesReference tables = tablesReference(parametres.pays);
    const DecisionEmcf decision = decisionEtatServeur(reponse, {facture, parametres, tables});
    QCOMPARE(QString::fromStdString(decision.console), console);
    QCOMPARE(decision.suite, suite);
    if (suite == Suite::Soumettre) {
        // The body is the invoice, with the seller's number taken from this very reply.
        const QJsonObject corps = QJsonDocument::fromJson(decision.corps).object();
        QCOMPARE(corps.value("ifu").toString(), QString("3201234567890"));
        QCOMPARE(corps.value("type").toString(), QString("FV"));
        QVERIFY(decision.corps.contains("\n    ")); // sent indented
    } else {
        QVERIFY(decision.corps.isEmpty());
    }
}

void DecisionsEmcf::enregistrement_data()
{
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QString>("console");
    QTest::addColumn<Suite>("suite");
    QTest::addColumn<QString>("uid");

    // Invoice total 1000; quantities 2, 1 and 1 unless a tolerance is set.
    QTest::newRow("2 above with 4 units is confirmed")
        << QByteArray(R"({"uid":"u-1","total":1002})") << 0.0
        << "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
           "\nValidation de la facture\n"
        << Suite::Confirmer << "u-1";
    QTest::newRow("2.5 above with 4 units is cancelled")
        << QByteArray(R"({"uid":"u-2","total":1002.5})") << 0.0
        << "\nEnregistrement reussi\n\nDifference facture: 2.5\nTotal facture inacceptable: 1002.5\n\n"
           "\nAnnulation de la facture\n"
        << Suite::Annuler << "u-2";
    QTest::newRow("equal totals print no difference")
        << QByteArray(R"({"uid":"u-3","total":1000})") << 0.0
        << "\nEnregistrement reussi\n\nTotal facture acceptable: 1000\n\n\nValidation de la facture\n"
        << Suite::Confirmer << "u-3";
    QTest::newRow("tolerance 5, 5 below is confirmed")
        << QByteArray(R"({"uid":"u-4","total":995})") << 5.0
        << "\nEnregistrement reussi\n\nDifference facture: -5\nTotal facture acceptable: 995\n\n"
           "\nValidation de la facture\n"
        << Suite::Confirmer << "u-4";
    QTest::newRow("missing total counts as 0 and is cancelled")
        << QByteArray(R"({"uid":"u-5"})") << 0.0
        << "\nEnregistrement reussi\n\nDifference facture: -1000\nTotal facture inacceptable: 0\n\n"
           "\nAnnulation de la facture\n"
        << Suite::Annuler << "u-5";
    QTest::newRow("total given as text counts as 0")
        << QByteArray(R"({"uid":"u-6","total":"1000"})") << 0.0
        << "\nEnregistrement reussi\n\nDifference facture: -1000\nTotal facture inacceptable: 0\n\n"
           "\nAnnulation de la facture\n"
        << Suite::Annuler << "u-6";
    QTest::newRow("numeric uid gives an empty uid")
        << QByteArray(R"({"uid":42,"total":1000})") << 0.0
        << "\nEnregistrement reussi\n\nTotal facture acceptable: 1000\n\n\nValidation de la facture\n"
        << Suite::Confirmer << "";
    QTest::newRow("not JSON") << QByteArray("Internal Server Error") << 0.0 << "Echec enregistrement\n"
                              << Suite::Terminer << "";
    QTest::newRow("empty body of a network failure") << QByteArray() << 0.0 << "Echec enregistrement\n"
                                                     << Suite::Terminer << "";
    QTest::newRow("refused invoice without uid shows the service's code")
        << QByteArray(R"({"errorCode":"6","errorDesc":"AIB invalide"})") << 0.0
        << "Echec enregistrement\nErreur 6: AIB invalide\n"
        << Suite::Terminer << "";
    QTest::newRow("numeric error code without description")
        << QByteArray(R"({"errorCode":99})") << 0.0 << "Echec enregistrement\nErreur 99\n"
        << Suite::Terminer << "";
    QTest::newRow("JSON array") << QByteArray(R"([{"uid":"u","total":1000}])") << 0.0
                                << "Echec enregistrement\n"
                                << Suite::Terminer << "";
}

void DecisionsEmcf::enregistrement()
{
    QFETCH(QByteArray, reponse);
    QFETCH(double, tolerance);
    QFETCH(QString, console);
    QFETCH(Suite, suite);
    QFETCH(QString, uid);

    const DecisionEmcf decision = decisionEnregistrement(reponse, 1000, tolerance, 4);
    QCOMPARE(QString::fromStdString(decision.console), console);
    QCOMPARE(decision.suite, suite);
    QCOMPARE(decision.uid, uid);
    QVERIFY(!decision.resultat);
}

void DecisionsEmcf::confirmation_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<QString>("console");
    QTest::addColumn<Suite>("suite");
    QTest::addColumn<QStringList>("resultat");

    QTest::newRow("benin confirmation")
        << "Bénin"
        << ReponseEmcf(R"({"qrCode":"F;ED1;SIG;IFU;20261208100000","codeMECeFDGI":"ABCD-EFGH","nim":"ED1",
                         "counters":"82/87 FV","dateTime":"08/12/2026 10:00:00"})")
        << "\nQR: ABCD-EFGH\nValidation reussie.\n\n"
        << Suite::Terminer
        << QStringList{"F;ED1;SIG;IFU;20261208100000", "87", "ABCD-EFGH", "ED1", "82/87 FV",
                       "08/12/2026 10:00:00"};
    QTest::newRow("niger confirmation shows the SECeF code")
        << "Niger"
        << ReponseEmcf(R"({"qrCode":"Q","codeMECeFDGI":"M","codeSECeFDGI":"S","nim":"NE1","counters":"1/2 FV",
                         "dateTime":"D"})")
        << "\nQR: S\nValidation reussie.\n\n"
        << Suite::Terminer << QStringList{"Q", "2", "S", "NE1", "1/2 FV", "D"};
    QTest::newRow("confirmation with an empty qrCode still counts")
        << "Bénin" << ReponseEmcf(R"({"qrCode":""})") << "\nQR: \nValidation reussie.\n\n"
        << Suite::Terminer << QStringList{"", "", "", "", "", ""};
    // A failed confirmation is never reported as a cancellation; the pending invoice is given up
    // unless the service holds nothing under that uid (code 20).
    QTest::newRow("unknown or finalised uid is a failure with nothing to cancel")
        << "Bénin" << ReponseEmcf(R"({"errorCode":"20","errorDesc":"introuvable"})")
        << "Echec confirmation\nErreur 20: introuvable\n"
        << Suite::Terminer << QStringList{};
    QTest::newRow("other service error is a failure, then a cancellation")
        << "Bénin" << ReponseEmcf(R"({"errorCode":"99","errorDesc":"Erreur"})")
        << "Echec confirmation\nErreur 99: Erreur\n"
        << Suite::Annuler << QStringList{};
    QTest::newRow("reply without qrCode is a failure")
        << "Bénin" << ReponseEmcf(R"({"dateTime":"08/12/2026 10:00:00"})") << "Echec confirmation\n"
        << Suite::Annuler << QStringList{};
    QTest::newRow("qrCode under an HTTP error status is a failure")
        << "Bénin" << http(500, R"({"qrCode":"Q"})") << "Echec confirmation\nCause: statut HTTP 500.\n"
        << Suite::Annuler << QStringList{};
    QTest::newRow("not JSON") << "Bénin" << ReponseEmcf("<html/>") << "Echec confirmation\n"
                              << Suite::Annuler << QStringList{};
    QTest::newRow("time limit reached")
        << "Bénin" << echec(Echec::Delai, 300) << "Echec confirmation\nCause: delai de 300 ms depasse.\n"
        << Suite::Annuler << QStringList{};
    QTest::newRow("JSON array") << "Bénin" << ReponseEmcf(R"([{"qrCode":"Q"}])") << "Echec confirmation\n"
                                << Suite::Annuler << QStringList{};
}

void DecisionsEmcf::confirmation()
{
    QFETCH(QString, pays);
    QFETCH(ReponseEmcf, reponse);
    QFETCH(QString, console);
    QFETCH(Suite, suite);
    QFETCH(QStringList, resultat);

    const DecisionEmcf decision = decisionConfirmation(reponse, pays);
    QCOMPARE(QString::fromStdString(decision.console), console);
    QCOMPARE(decision.suite, suite);
    QCOMPARE(decision.resultat ? decision.resultat->textes() : QStringList(), resultat);
}

void DecisionsEmcf::annulation_data()
{
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<QString>("console");

    QTest::newRow("cancellation answer")
        << ReponseEmcf(R"({"dateTime":"08/12/2026 10:00:00"})") << "\nAnnulation reussie.\n\n";
    QTest::newRow("empty object") << ReponseEmcf("{}") << "\nAnnulation reussie.\n\n";
    QTest::newRow("error report is not a cancellation")
        << ReponseEmcf(R"({"errorCode":"20","errorDesc":"introuvable"})")
        << "Echec confirmation\nErreur 20: introuvable\n";
    QTest::newRow("HTTP error status") << http(404, "{}") << "Echec confirmation\nCause: statut HTTP 404.\n";
    QTest::newRow("not JSON") << ReponseEmcf("<html/>") << "Echec confirmation\n";
    QTest::newRow("connection refused")
        << echec(Echec::ConnexionRefusee) << "Echec confirmation\nCause: connexion refusee.\n";
}

void DecisionsEmcf::annulation()
{
    QFETCH(ReponseEmcf, reponse);
    QFETCH(QString, console);
    const DecisionEmcf decision = decisionAnnulation(reponse);
    QCOMPARE(QString::fromStdString(decision.console), console);
    QCOMPARE(decision.suite, Suite::Terminer);
    QVERIFY(!decision.resultat);
}

void DecisionsEmcf::causes_data()
{
    QTest::addColumn<ReponseEmcf>("reponse");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("affiche");

    ReponseEmcf reseau = echec(Echec::Reseau);
    reseau.detail = "Remote host closed";
    ReponseEmcf longue = echec(Echec::TropLongue);
    QTest::newRow("time limit") << echec(Echec::Delai, 30000) << "Cause: delai de 30000 ms depasse.\n"
                                << "";
    QTest::newRow("connection refused") << echec(Echec::ConnexionRefusee) << "Cause: connexion refusee.\n"
                                        << "";
    QTest::newRow("host not found") << echec(Echec::ServeurIntrouvable) << "Cause: serveur introuvable.\n"
                                    << "";
    QTest::newRow("certificate refused")
        << echec(Echec::Certificat) << "Cause: certificat du serveur refuse.\n"
        << "";
    QTest::newRow("reply too long is never shown")
        << longue << "Cause: reponse de plus de 1048576 octets refusee, non affichee.\n"
        << "";
    ReponseEmcf proxy = echec(Echec::Proxy);
    proxy.detail = "Connection refused";
    QTest::newRow("proxy unreachable") << proxy << "Cause: proxy injoignable (Connection refused).\n" << "";
    QTest::newRow("proxy wants credentials")
        << echec(Echec::ProxyAuthentification)
        << "Cause: le proxy demande une authentification, qui n'est pas prise en charge.\n" << "";
    QTest::newRow("other network failure") << reseau << "Cause: erreur reseau (Remote host closed).\n"
                                           << "";
    QTest::newRow("token refused 403") << http(403, "{}") << "Cause: jeton refuse (HTTP 403).\n"
                                       << "{}";
    QTest::newRow("server error") << http(502, "<html/>") << "Cause: statut HTTP 502.\n"
                                  << "<html/>";
    QTest::newRow("plain success says nothing") << http(200, "{}") << ""
                                                << "{}";
}

void DecisionsEmcf::causes()
{
    QFETCH(ReponseEmcf, reponse);
    QFETCH(QString, cause);
    QFETCH(QString, affiche);
    QCOMPARE(QString::fromStdString(ligneCause(reponse)), cause);
    QCOMPARE(QString::fromStdString(texteReponse(reponse)), affiche);
}

void DecisionsEmcf::adresseDecision_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<bool>("confirmer");
    QTest::addColumn<QString>("url");

    const QString base = "https://sygmef.impots.bj/emcf/api/invoice";
    QTest::newRow("confirm") << "5e1f0c2a-6c1b-4a53-9d1e-0b8f3c1d2e4f" << true
                             << base + "/5e1f0c2a-6c1b-4a53-9d1e-0b8f3c1d2e4f/confirm";
    QTest::newRow("cancel") << "abc" << false << base + "/abc/cancel";
    QTest::newRow("empty uid leaves an empty segment") << "" << true << base + "//confirm";
    QTest::newRow("uid cannot leave its path segment")
        << "../x?y#z" << false << base + "/..%2Fx%3Fy%23z/cancel";
}

void DecisionsEmcf::adresseDecision()
{
    QFETCH(QString, uid);
    QFETCH(bool, confirmer);
    QFETCH(QString, url);
    const QUrl obtenue = urlDecision("https://sygmef.impots.bj/emcf/api/invoice", uid, confirmer);
    QVERIFY(obtenue.isValid());
    QCOMPARE(obtenue.toString(QUrl::FullyEncoded), url);
}

QTEST_GUILESS_MAIN(DecisionsEmcf)
#include "tst_decisionsemcf.moc"
