#include "web/clientemcf.h"

#include <QtTest>

#include <sstream>

// The three reply handlers of the e-MCF client, chained through one liaison that records every
// request and answers with scripted bodies instead of reaching a server.
class EchangeEmcf : public QObject
{
    Q_OBJECT

private slots:
    void chaine_data();
    void chaine();
    void limiteAvecConnexionOuverteAvant_data();
    void limiteAvecConnexionOuverteAvant();
};

namespace {

const QByteArray silence = "<silence>";

// Answers the n-th request with the n-th scripted body, after the n-th delay when one is given,
// and records every request. A connection opened ahead is ready `connexionMs` after its opening:
// no reply comes before.
class LiaisonScriptee : public QObject, public LiaisonHttp
{
public:
    LiaisonScriptee(QList<QByteArray> reponses, QList<int> delais = {}, int connexionMs = 0)
        : m_reponses(reponses), m_delais(delais), m_connexionMs(connexionMs)
    {
        m_reponse.setSingleShot(true);
        m_reponse.setTimerType(Qt::PreciseTimer);
    }
    QList<RequeteEmcf> requetes;
    int connexions = 0;
    int abandons = 0;

    void ouvrir() override
    {
        ++connexions;
        m_ouverture.start();
    }
    void envoyer(const RequeteEmcf &requete, Fin fin) override
    {
        requetes.append(requete);
        const QByteArray corps = m_reponses.value(requetes.size() - 1, silence);
        if (corps == silence)
            return;
        int apresMs = m_delais.value(requetes.size() - 1, 0);
        if (m_ouverture.isValid())
            apresMs += qMax<qint64>(0, m_connexionMs - m_ouverture.elapsed());
        m_reponse.disconnect();
        connect(&m_reponse, &QTimer::timeout, this, [fin, corps] { fin(ReponseEmcf(corps)); });
        m_reponse.start(apresMs);
    }
    void abandonner() override
    {
        ++abandons;
        m_reponse.stop();
    }
    void fermer() override { m_reponse.stop(); }

private:
    QList<QByteArray> m_reponses;
    QList<int> m_delais;
    int m_connexionMs;
    QElapsedTimer m_ouverture;
    QTimer m_reponse;
};

// Records what the client announces, in order ("soumise u-1" for a state with a uid).
class JournalNote : public JournalCertification
{
public:
    QStringList etats;
    bool annoncer(const QString &, EtatCertification etat, const QString &uid) override
    {
        etats << (uid.isEmpty() ? nomEtat(etat) : nomEtat(etat) + " " + uid);
        return true;
    }
    void regler(const LigneJournal &, const std::optional<ResultatFiscal> &) override {}
    void bloquer(const LigneJournal &) override {}
};

const QByteArray etatPret = R"({"status":true,"ifu":"3201234567890"})";
const QByteArray enregistre = R"({"uid":"u-1","total":1002})";
const QByteArray enregistreLoin = R"({"uid":"u-1","total":1500})";
const QByteArray confirme =
    R"({"qrCode":"F;ED1;SIG;IFU;20261208100000","codeMECeFDGI":"ABCD-EFGH","nim":"ED1",)"
    R"("counters":"82/87 FV","dateTime":"08/12/2026 10:00:00"})";
const QByteArray annule = R"({"dateTime":"08/12/2026 10:00:00"})";
const QString adresse = "https://emcf.test/emcf/api/invoice";

ParametresMoteur parametresEssai()
{
    ParametresMoteur parametres;
    parametres.pays = "Bénin";
    parametres.jeton = "jeton-été";
    return parametres;
}

ReglagesEmcf reglagesEssai(int delaiMs)
{
    ReglagesEmcf reglages;
    reglages.adresse = adresse;
    reglages.delaiMs = delaiMs;
    return reglages;
}

// Quantities 2, 1 and 1 (allowance 2), invoice total 1000.
Invoice factureEssai()
{
    Invoice facture;
    facture.reference = "F1";
    facture.typeFacture = "FV";
    facture.totalFacture = 1000;
    for (const char *quantite : {"2", "1", "1"}) {
        InvoiceItem article;
        article.designation = "Article";
        article.quantite = quantite;
        article.prixHT = "200";
        article.tva = "0";
        article.prixTTC = "250";
        article.groupeTaxe = "A";
        facture.articles.append(article);
    }
    return facture;
}

} // namespace

void EchangeEmcf::chaine_data()
{
    QTest::addColumn<QList<QByteArray>>("reponses"); // status, submission, decision, cancellation
    QTest::addColumn<QStringList>("requetes");
    QTest::addColumn<QString>("console");
    QTest::addColumn<int>("tailleResultat");
    // Journal states announced, in order, with the uid when one is written. The submission is
    // announced before the status request, while the connection is set up; the uid goes with the
    // confirmation about to be sent in one commit, alone ("soumise") before a cancellation.
    QTest::addColumn<QStringList>("etats");

    const QString pret = "\nLe serveur est pret pour la facturation\n\nEnregistrement de la facture\n";
    QTest::newRow("confirmed sale")
        << QList<QByteArray>{etatPret, enregistre, confirme}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\n" +
               QString(confirme) + "\nQR: ABCD-EFGH\nValidation reussie.\n\n"
        << 6 << QStringList{"soumission envoyee", "confirmation envoyee u-1"};
    QTest::newRow("total outside the allowance is cancelled")
        << QList<QByteArray>{etatPret, enregistreLoin, annule}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/cancel"}
        << QString(etatPret) + pret + QString(enregistreLoin) +
               "\nEnregistrement reussi\n\nDifference facture: 500\nTotal facture inacceptable: 1500\n\n"
               "\nAnnulation de la facture\n" +
               QString(annule) + "\nAnnulation reussie.\n\n"
        << 0 << QStringList{"soumission envoyee", "soumise u-1", "abandonnee"};
    QTest::newRow("rejected token ends after the status request")
        << QList<QByteArray>{R"({"status":401,"title":"Jeton invalide"})", enregistre, confirme}
        << QStringList{"GET " + adresse}
        << R"({"status":401,"title":"Jeton invalide"})"
           "\nLe serveur a retourne: 401 Jeton invalide\n"
        << 0 << QStringList{"soumission envoyee", "abandonnee"};
    QTest::newRow("refused submission ends without a decision")
        << QList<QByteArray>{etatPret, R"({"errorCode":"3"})", confirme}
        << QStringList{"GET " + adresse, "POST " + adresse}
        << QString(etatPret) + pret + R"({"errorCode":"3"})" + "Echec enregistrement\nErreur 3\n"
        << 0 << QStringList{"soumission envoyee", "abandonnee"};
    QTest::newRow("status reply that never comes")
        << QList<QByteArray>{silence, etatPret, confirme} << QStringList{"GET " + adresse}
        << "Reponse invalide\nCause: delai de 300 ms depasse.\n"
        << 0 << QStringList{"soumission envoyee", "abandonnee"};
    QTest::newRow("submission reply that never comes")
        << QList<QByteArray>{etatPret, silence, confirme} << QStringList{"GET " + adresse, "POST " + adresse}
        << QString(etatPret) + pret + "Echec enregistrement\nCause: delai de 300 ms depasse.\n"
        << 0 << QStringList{"soumission envoyee"};
    // A confirmation that fails gives the pending invoice up, unless the service holds nothing
    // under its uid (code 20).
    QTest::newRow("confirmation reply that never comes, then a cancellation")
        << QList<QByteArray>{etatPret, enregistre, silence, annule}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm",
                       "PUT " + adresse + "/u-1/cancel"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\nEchec confirmation\nCause: delai de 300 ms depasse.\n"
               "Abandon: annulation de la facture en attente u-1\n" +
               QString(annule) + "\nAnnulation reussie.\n\n"
        << 0 << QStringList{"soumission envoyee", "confirmation envoyee u-1", "abandonnee"};
    QTest::newRow("confirmation refused for an unknown uid is not a cancellation")
        << QList<QByteArray>{etatPret, enregistre, R"({"errorCode":"20","errorDesc":"inconnu"})", annule}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\n" +
               R"({"errorCode":"20","errorDesc":"inconnu"})" + "Echec confirmation\nErreur 20: inconnu\n"
        << 0 << QStringList{"soumission envoyee", "confirmation envoyee u-1"};
    QTest::newRow("confirmation without qrCode, cancellation refused too")
        << QList<QByteArray>{etatPret, enregistre, annule, R"({"errorCode":"99"})"}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm",
                       "PUT " + adresse + "/u-1/cancel"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\n" +
               QString(annule) + "Echec confirmation\nAbandon: annulation de la facture en attente u-1\n" +
               R"({"errorCode":"99"})" + "Echec confirmation\nErreur 99\n"
        << 0 << QStringList{"soumission envoyee", "confirmation envoyee u-1"};
}

void EchangeEmcf::chaine()
{
    QFETCH(QList<QByteArray>, reponses);
    QFETCH(QStringList, requetes);
    QFETCH(QString, console);
    QFETCH(int, tailleResultat);
    QFETCH(QStringList, etats);

    const int delaiMs = 300;
    const ParametresMoteur parametres = parametresEssai();
    const TablesReference tables = tablesReference("Bénin");
    const ReglagesEmcf reglages = reglagesEssai(delaiMs);
    const Invoice facture = factureEssai();

    std::ostringstream sortie;
    LiaisonScriptee liaison(reponses);
    ClientEmcf client(parametres, tables, reglages, sortie, &liaison);

    // The handlers must end the exchange themselves; the guard only reports a broken chain.
    QElapsedTimer chrono;
    chrono.start();
    JournalNote journal;
    const std::optional<ResultatFiscal> resultat = client.certifier(facture, journal);
    QVERIFY2(chrono.elapsed() < 5000, "the exchange did not end by itself");
    if (reponses.contains(silence))
        QVERIFY(chrono.elapsed() >= delaiMs - 20);

    QCOMPARE(QString::fromStdString(sortie.str()), console);
    // Each step was announced to the journal before it was sent.
    QCOMPARE(journal.etats, etats);
    const QStringList resultatMCF = resultat ? resultat->textes() : QStringList();
    QCOMPARE(resultatMCF.size(), tailleResultat);
    if (tailleResultat == 6)
        QCOMPARE(resultatMCF, (QStringList{"F;ED1;SIG;IFU;20261208100000", "87", "ABCD-EFGH", "ED1",
                                           "82/87 FV", "08/12/2026 10:00:00"}));

    // Every request went through the one liaison, in order, with the token; a request out of time
    // was dropped from it.
    QStringList obtenues;
    for (const RequeteEmcf &r : std::as_const(liaison.requetes)) {
        obtenues << QString::fromLatin1(r.methode) + " " + r.url.toString(QUrl::FullyEncoded);
        QCOMPARE(r.jeton, QString("jeton-été"));
    }
    QCOMPARE(obtenues, requetes);
    QCOMPARE(liaison.abandons, int(reponses.mid(0, requetes.size()).count(silence)));
    if (liaison.requetes.size() > 1) {
        const RequeteEmcf &post = liaison.requetes.at(1);
        QCOMPARE(post.typeContenu, QString("application/json"));
        const QJsonObject corps = QJsonDocument::fromJson(post.corps).object();
        QCOMPARE(corps.value("ifu").toString(), QString("3201234567890"));
        QCOMPARE(corps.value("items").toArray().size(), 3);
        QCOMPARE(client.sommeQuantites(), 4.0);
    }
    if (liaison.requetes.size() > 2) {
        QVERIFY(liaison.requetes.at(2).corps.isEmpty());
        QVERIFY(liaison.requetes.at(2).typeContenu.isEmpty());
    }
}

// The connection opened ahead and the first request share one time limit (300 ms here); every
// later request has a whole limit, however long the first ones took (settling invoices that a dead
// run left pending comes first).
void EchangeEmcf::limiteAvecConnexionOuverteAvant_data()
{
    QTest::addColumn<int>("connexionMs");
    QTest::addColumn<bool>("enSuspens");    // an invoice left pending is cancelled first
    QTest::addColumn<QList<int>>("delais"); // of each reply, in order
    QTest::addColumn<bool>("certifiee");

    QTest::newRow("connection and status within one limit") << 100 << false << QList<int>{100} << true;
    QTest::newRow("connection and status over one limit") << 150 << false << QList<int>{200} << false;
    QTest::newRow("status after a long settling has a whole limit")
        << 100 << true << QList<int>{150, 250} << true;
}

void EchangeEmcf::limiteAvecConnexionOuverteAvant()
{
    QFETCH(int, connexionMs);
    QFETCH(bool, enSuspens);
    QFETCH(QList<int>, delais);
    QFETCH(bool, certifiee);

    const ParametresMoteur parametres = parametresEssai();
    const TablesReference tables = tablesReference("Bénin");
    const ReglagesEmcf reglages = reglagesEssai(300);
    const Invoice facture = factureEssai();

    QList<QByteArray> reponses = {etatPret, enregistre, confirme};
    if (enSuspens)
        reponses.prepend(annule);
    std::ostringstream sortie;
    LiaisonScriptee liaison(reponses, delais, connexionMs);
    ClientEmcf client(parametres, tables, reglages, sortie, &liaison);
    QElapsedTimer chrono;
    chrono.start();
    client.preparer();
    QCOMPARE(liaison.connexions, 1);
    JournalNote journal;
    if (enSuspens) {
        LigneJournal laissee;
        laissee.reference = "F0";
        laissee.etat = EtatCertification::Soumise;
        laissee.uid = "u-0";
        client.regler({laissee}, facture, "empreinte", journal);
        QVERIFY(QString::fromStdString(sortie.str()).contains("Annulation reussie."));
    }
    const std::optional<ResultatFiscal> resultat = client.certifier(facture, journal);
    const QString console = QString::fromStdString(sortie.str());
    QVERIFY2(resultat.has_value() == certifiee, qPrintable(console));
    if (!certifiee) {
        QVERIFY2(console.endsWith("Reponse invalide\nCause: delai de 300 ms depasse.\n"),
                 qPrintable(console));
        // One limit from the opening of the connection, not one more for the request.
        QVERIFY2(chrono.elapsed() < 2 * 300, qPrintable(QString::number(chrono.elapsed())));
    }
}

QTEST_GUILESS_MAIN(EchangeEmcf)

#include "tst_clientemcf.moc"
