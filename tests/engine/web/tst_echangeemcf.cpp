#include "mcf.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <sstream>

// The three reply handlers of the engine object, chained through network managers that record
// every request and answer with scripted bodies instead of reaching a server.
class EchangeEmcf : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void chaine_data();
    void chaine();
};

namespace {

const QByteArray silence = "<silence>";

// A finished (or never finishing) reply with a fixed body.
class ReponseScriptee : public QNetworkReply
{
public:
    ReponseScriptee(QNetworkAccessManager::Operation operation, const QNetworkRequest &requete,
                    const QByteArray &corps, QObject *parent)
        : QNetworkReply(parent), m_corps(corps == silence ? QByteArray() : corps)
    {
        setOperation(operation);
        setRequest(requete);
        setUrl(requete.url());
        open(QIODevice::ReadOnly);
        if (corps != silence)
            QTimer::singleShot(0, this, [this] { terminer(NoError); });
    }

    void abort() override
    {
        if (!isFinished())
            terminer(OperationCanceledError);
    }
    qint64 bytesAvailable() const override
    {
        return m_corps.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *donnees, qint64 taille) override
    {
        const qint64 n = qMin(taille, m_corps.size() - m_position);
        memcpy(donnees, m_corps.constData() + m_position, n);
        m_position += n;
        return n;
    }

private:
    void terminer(NetworkError erreur)
    {
        if (erreur != NoError)
            setError(erreur, QStringLiteral("aborted"));
        setFinished(true);
        emit finished();
    }

    QByteArray m_corps;
    qint64 m_position = 0;
};

struct RequeteEnregistree
{
    QString methode;
    QString url;
    QByteArray autorisation;
    QString typeContenu;
    QByteArray corps;
};

class GestionnaireScripte : public QNetworkAccessManager
{
public:
    GestionnaireScripte(QByteArray reponse, QObject *parent)
        : QNetworkAccessManager(parent), m_reponse(reponse)
    {
    }
    QList<RequeteEnregistree> requetes;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &requete, QIODevice *donnees) override
    {
        static const QMap<Operation, QString> noms = {
            {GetOperation, "GET"}, {PostOperation, "POST"}, {PutOperation, "PUT"}};
        requetes.append({noms.value(op, "AUTRE"), requete.url().toString(QUrl::FullyEncoded),
                         requete.rawHeader("Authorization"),
                         requete.header(QNetworkRequest::ContentTypeHeader).toString(),
                         donnees ? donnees->readAll() : QByteArray()});
        return new ReponseScriptee(op, requete, m_reponse, this);
    }

private:
    QByteArray m_reponse;
};

const QByteArray etatPret = R"({"status":true,"ifu":"3201234567890"})";
const QByteArray enregistre = R"({"uid":"u-1","total":1002})";
const QByteArray enregistreLoin = R"({"uid":"u-1","total":1500})";
const QByteArray confirme =
    R"({"qrCode":"F;ED1;SIG;IFU;20261208100000","codeMECeFDGI":"ABCD-EFGH","nim":"ED1",)"
    R"("counters":"82/87 FV","dateTime":"08/12/2026 10:00:00"})";
const QByteArray annule = R"({"dateTime":"08/12/2026 10:00:00"})";
const QString adresse = "https://emcf.test/emcf/api/invoice";

} // namespace

void EchangeEmcf::init()
{
    qunsetenv("ORVANE_EMCF_URL");
    qunsetenv("ORVANE_EMCF_CA");
    qunsetenv("ORVANE_EMCF_TIMEOUT_MS");
}

void EchangeEmcf::chaine_data()
{
    QTest::addColumn<QList<QByteArray>>("reponses"); // status, submission, decision
    QTest::addColumn<QStringList>("requetes");
    QTest::addColumn<QString>("console");
    QTest::addColumn<int>("tailleResultat");

    const QString pret = "\nLe serveur est pret pour la facturation\n\nEnregistrement de la facture\n";
    QTest::newRow("confirmed sale")
        << QList<QByteArray>{etatPret, enregistre, confirme}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\n" +
               QString(confirme) + "\nQR: ABCD-EFGH\nValidation reussie.\n\n"
        << 6;
    QTest::newRow("total outside the allowance is cancelled")
        << QList<QByteArray>{etatPret, enregistreLoin, annule}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/cancel"}
        << QString(etatPret) + pret + QString(enregistreLoin) +
               "\nEnregistrement reussi\n\nDifference facture: 500\nTotal facture inacceptable: 1500\n\n"
               "\nAnnulation de la facture\n" +
               QString(annule) + "\nAnnulation reussie.\n\n"
        << 0;
    QTest::newRow("rejected token ends after the status request")
        << QList<QByteArray>{R"({"status":401,"title":"Jeton invalide"})", enregistre, confirme}
        << QStringList{"GET " + adresse}
        << R"({"status":401,"title":"Jeton invalide"})"
           "\nLe serveur a retourne: 401 Jeton invalide\n"
        << 0;
    QTest::newRow("refused submission ends without a decision")
        << QList<QByteArray>{etatPret, R"({"errorCode":"3"})", confirme}
        << QStringList{"GET " + adresse, "POST " + adresse}
        << QString(etatPret) + pret + R"({"errorCode":"3"})" + "Echec enregistrement\n"
        << 0;
    QTest::newRow("status reply that never comes") << QList<QByteArray>{silence, etatPret, confirme}
                                                   << QStringList{"GET " + adresse} << "Reponse invalide\n"
                                                   << 0;
    QTest::newRow("submission reply that never comes")
        << QList<QByteArray>{etatPret, silence, confirme} << QStringList{"GET " + adresse, "POST " + adresse}
        << QString(etatPret) + pret + "Echec enregistrement\n"
        << 0;
    QTest::newRow("decision reply that never comes")
        << QList<QByteArray>{etatPret, enregistre, silence}
        << QStringList{"GET " + adresse, "POST " + adresse, "PUT " + adresse + "/u-1/confirm"}
        << QString(etatPret) + pret + QString(enregistre) +
               "\nEnregistrement reussi\n\nDifference facture: 2\nTotal facture acceptable: 1002\n\n"
               "\nValidation de la facture\nEchec confirmation\n"
        << 0;
}

void EchangeEmcf::chaine()
{
    QFETCH(QList<QByteArray>, reponses);
    QFETCH(QStringList, requetes);
    QFETCH(QString, console);
    QFETCH(int, tailleResultat);

    const int delaiMs = 300;
    qputenv("ORVANE_EMCF_TIMEOUT_MS", QByteArray::number(delaiMs));

    Execution execution;
    execution.parametres.pays = "Bénin";
    execution.parametres.jeton = "jeton-été";
    execution.parametres.adresseApi = adresse;
    execution.tables = tablesReference("Bénin");
    // Quantities 2, 1 and 1 (allowance 2), invoice total 1000.
    execution.facture.reference = "F1";
    execution.facture.typeFacture = "FV";
    execution.facture.totalFacture = 1000;
    for (const char *quantite : {"2", "1", "1"})
        execution.facture.articles.append({"Article", quantite, "200", "0", "250", "", "", "", "A"});

    std::ostringstream sortie;
    MCF mcf(QCoreApplication::instance(), execution, sortie);
    QObject proprietaire;
    auto *etat = new GestionnaireScripte(reponses.at(0), &proprietaire);
    auto *enregistrement = new GestionnaireScripte(reponses.at(1), &proprietaire);
    auto *confirmation = new GestionnaireScripte(reponses.at(2), &proprietaire);
    execution.reseau = {etat, enregistrement, confirmation};
    connect(etat, &QNetworkAccessManager::finished, &mcf, &MCF::traiterEtatServeur);
    connect(enregistrement, &QNetworkAccessManager::finished, &mcf, &MCF::traiterEnregistrement);
    connect(confirmation, &QNetworkAccessManager::finished, &mcf, &MCF::traiterConfirmation);

    // The handlers must end the loop themselves; the guard only stops a broken chain.
    bool garde = false;
    QTimer::singleShot(5000, this, [&garde] {
        garde = true;
        QCoreApplication::quit();
    });
    QElapsedTimer chrono;
    chrono.start();
    mcf.demanderEtatServeur();
    QCoreApplication::exec();
    QVERIFY2(!garde, "the exchange did not end the event loop");
    if (reponses.contains(silence))
        QVERIFY(chrono.elapsed() >= delaiMs - 20);

    QCOMPARE(QString::fromStdString(sortie.str()), console);
    QCOMPARE(mcf.resultatMCF.size(), tailleResultat);
    if (tailleResultat == 6)
        QCOMPARE(mcf.resultatMCF, (QStringList{"F;ED1;SIG;IFU;20261208100000", "87", "ABCD-EFGH", "ED1",
                                               "82/87 FV", "08/12/2026 10:00:00"}));

    // Each request went to the manager whose handler reads its reply, with the bearer token.
    QList<RequeteEnregistree> envoyees;
    for (GestionnaireScripte *g : {etat, enregistrement, confirmation}) {
        QVERIFY(g->requetes.size() <= 1);
        envoyees += g->requetes;
    }
    QStringList obtenues;
    for (const RequeteEnregistree &r : envoyees) {
        obtenues << r.methode + " " + r.url;
        QCOMPARE(r.autorisation, QString("Bearer jeton-été").toUtf8());
    }
    QCOMPARE(obtenues, requetes);
    QCOMPARE(etat->requetes.size(), 1);
    QCOMPARE(etat->requetes.first().methode, QString("GET"));
    if (!enregistrement->requetes.isEmpty()) {
        const RequeteEnregistree &post = enregistrement->requetes.first();
        QCOMPARE(post.typeContenu, QString("application/json"));
        const QJsonObject corps = QJsonDocument::fromJson(post.corps).object();
        QCOMPARE(corps.value("ifu").toString(), QString("3201234567890"));
        QCOMPARE(corps.value("items").toArray().size(), 3);
        QCOMPARE(execution.sommeQuantites, 4.0);
    }
    if (!confirmation->requetes.isEmpty()) {
        QVERIFY(confirmation->requetes.first().corps.isEmpty());
        QVERIFY(confirmation->requetes.first().typeContenu.isEmpty());
    }
}

QTEST_GUILESS_MAIN(EchangeEmcf)
#include "tst_echangeemcf.moc"
