#include "programmesuivi.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>


// End to end: the real orvane-engine certifies invoices with orvane-emcf-sim over HTTPS, trusting a
// throw-away certificate authority made with the openssl command for this test run.
class CertificationEnLigne : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void venteConfirmee_data();
    void venteConfirmee();
    void totalHorsTolerance();
    void echecs_data();
    void echecs();
    void certificatNonReconnu_data();
    void certificatNonReconnu();
    void reponseJamaisRecue_data();
    void reponseJamaisRecue();
    void avoirApresVente();
    void refusDuService_data();
    void refusDuService();
    void confirmationRefusee();
    void abandonApresDelai();
    void reponseTropLongue_data();
    void reponseTropLongue();
    void statutHorsLimites();
    void serveurAbsent();
    void moduleAbsent();
    void poigneeDeMainSansFin();
    void parProxy_data();
    void parProxy();
    void soumissionPerdueRetrouvee();

private:
    QString pki(const QString &nom) const { return m_pki.filePath(nom); }
    // The engine's environment that points it at the test double at `url`, trusting its authority.
    QMap<QString, QString> versDouble(const QString &url) const
    {
        return {{"ORVANE_EMCF_URL", url}, {"ORVANE_EMCF_CA", pki("ca.pem")}};
    }
    // The same, with `delaiMs` as the time limit of each request.
    QMap<QString, QString> versDouble(const QString &url, int delaiMs) const
    {
        QMap<QString, QString> environnement = versDouble(url);
        environnement.insert("ORVANE_EMCF_TIMEOUT_MS", QString::number(delaiMs));
        return environnement;
    }
    bool openssl(const QStringList &arguments);
    // Starts the test double and returns its invoice URL (its first output line).
    QString demarrerSimulateur(const QStringList &options, const QString &certificat = "serveur.pem",
                               const QString &cle = "serveur.key");
    // Stops the test double and returns its request lines ("METHOD path [body]").
    QStringList requetesSimulateur();
    // Sends one request to the test double as another client of the same account would, and returns
    // the JSON object it answered.
    QJsonObject demanderAuDouble(const QString &url, const QByteArray &methode, const QByteArray &corps = {});
    // Starts tinyproxy on a free port with `reglages` added to its configuration; returns the port.
    quint16 demarrerProxy(const QString &reglages);

    QTemporaryDir m_pki;
    // An address of this machine other than loopback, which Qt never sends through a proxy.
    QString m_adresseMachine;
    std::unique_ptr<QProcess> m_simulateur;
    std::unique_ptr<QProcess> m_proxy;
};

namespace {

const QString dateFixe = "2026-12-08T10:00:00";

// One installation of the engine: its own directory with app.xml, mcf.s3db and an invoice.
struct Installation
{
    QTemporaryDir dossier;
    QString sortie;
    qint64 dureeMs = 0;
    QStringList enveloppe; // a program the engine is run under, with its arguments

    QString chemin(const QString &nom) const { return dossier.filePath(nom); }

    bool preparer(const QString &attributs)
    {
        if (!dossier.isValid())
            return false;
        if (!installerMoteur(dossier.path()))
            return false;
        QFile app(chemin("app.xml"));
        if (!app.open(QIODevice::WriteOnly))
            return false;
        app.write(("<app " + attributs + "/>").toUtf8());
        return true;
    }

    // Runs the engine on `lignes`, with the e-MCF environment, and returns its exit code.
    int certifier(const QString &nom, const QStringList &lignes, const QMap<QString, QString> &environnement)
    {
        QFile entree(chemin(nom));
        if (!entree.open(QIODevice::WriteOnly))
            return -100;
        entree.write((lignes.join('\n') + '\n').toUtf8());
        entree.close();

        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Only what the test names reaches the engine: a proxy of the machine's own would change the path.
        for (const char *v : {"ORVANE_EMCF_URL", "ORVANE_EMCF_CA", "ORVANE_EMCF_TIMEOUT_MS", "http_proxy",
                              "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                              "NO_PROXY"})
            env.remove(v);
        for (auto it = environnement.begin(); it != environnement.end(); ++it)
            env.insert(it.key(), it.value());
        moteur.setProcessEnvironment(env);
        if (enveloppe.isEmpty()) {
            moteur.setProgram(chemin("orvane-engine"));
            moteur.setArguments({chemin(nom)});
        } else {
            moteur.setProgram(enveloppe.first());
            moteur.setArguments(enveloppe.mid(1) + QStringList{chemin("orvane-engine"), chemin(nom)});
        }
        moteur.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer chrono;
        chrono.start();
        moteur.start();
        if (!moteur.waitForFinished(attenteFauteMs)) {
            moteur.kill();
            moteur.waitForFinished();
            return -101;
        }
        dureeMs = chrono.elapsed();
        sortie = QString::fromUtf8(moteur.readAllStandardOutput());
        return moteur.exitStatus() == QProcess::NormalExit ? moteur.exitCode() : -102;
    }

    QStringList ligneResultat(const QString &nom) const
    {
        QFile f(chemin(nom + ".mcf"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\t');
    }

    // The journal state of `reference` in the register, empty when it has no row.
    QString etatJournal(const QString &reference) const
    {
        QString etat;
        const QString nom = QStringLiteral("journal-test");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", nom);
            db.setDatabaseName(chemin("mcf.s3db"));
            if (db.open()) {
                QSqlQuery q(db);
                q.prepare("select etat from certification where reference = ?");
                q.addBindValue(reference);
                if (q.exec() && q.next())
                    etat = q.value(0).toString();
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(nom);
        return etat;
    }

    // Every row of the register, columns in order from reference to mecef_date.
    QList<QStringList> registre() const
    {
        QList<QStringList> lignes;
        const QString nom = QStringLiteral("registre-test");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", nom);
            db.setDatabaseName(chemin("mcf.s3db"));
            if (db.open()) {
                QSqlQuery q(db);
                q.exec("select reference, qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date "
                       "from facture order by rowid");
                while (q.next()) {
                    QStringList l;
                    for (int i = 0; i < 7; ++i)
                        l << q.value(i).toString();
                    lignes << l;
                }
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(nom);
        return lignes;
    }
};

QString attributsApp(const QString &pays, const QString &jeton, const QString &autres = {})
{
    return QString("pays=\"%1\" modeMCF=\"Développement\" jeton=\"%2\" %3").arg(pays, jeton, autres);
}

// The JSON reply the test double logged for the first request whose line starts with `debut`.
QJsonObject corpsJournal(const QStringList &journal, const QString &debut)
{
    for (const QString &ligne : journal) {
        if (ligne.startsWith(debut)) {
            const qsizetype accolade = ligne.indexOf('{');
            return accolade < 0 ? QJsonObject()
                                : QJsonDocument::fromJson(ligne.mid(accolade).toUtf8()).object();
        }
    }
    return {};
}

QStringList methodes(const QStringList &journal)
{
    QStringList m;
    for (const QString &ligne : journal)
        if (ligne.startsWith("> "))
            m << ligne.mid(2).section(' ', 0, 0);
    return m;
}

const QStringList venteBenin = {"F1;FV;Awa;7;E;Kofi;123;Cotonou;97000000;;AIB5;;", "B;Pain;2;100;118;;;;",
                                "A;Eau;1;500;500;;;;"};

} // namespace

bool CertificationEnLigne::openssl(const QStringList &arguments)
{
    QProcess p;
    p.setWorkingDirectory(m_pki.path());
    p.start("openssl", arguments);
    if (!p.waitForFinished(attenteFauteMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "openssl" << arguments << p.readAllStandardError();
        return false;
    }
    return true;
}

void CertificationEnLigne::initTestCase()
{
    QVERIFY(m_pki.isValid());
    const QStringList cleEc = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QFile extensions(pki("serveur.ext"));
    QVERIFY(extensions.open(QIODevice::WriteOnly));
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) {
            m_adresseMachine = a.toString();
            break;
        }
    }
    const QByteArray autreAdresse = m_adresseMachine.isEmpty() ? QByteArray() : ",IP:" + m_adresseMachine.toLatin1();
    extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost" + autreAdresse +
                     "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    extensions.close();
    // Our authority, a server certificate it signs, and a self-signed server nobody trusts.
    QVERIFY(openssl(
        QStringList{"req", "-x509"} + cleEc +
        QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Orvane test CA"}));
    QVERIFY(openssl(QStringList{"req"} + cleEc +
                    QStringList{"-keyout", "serveur.key", "-out", "serveur.csr", "-subj", "/CN=127.0.0.1"}));
    QVERIFY(openssl({"x509", "-req", "-in", "serveur.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-out", "serveur.pem", "-days", "2", "-extfile", "serveur.ext"}));
    // A certificate of our own authority, for another host name than the one the engine reaches.
    QFile autreHote(pki("autrehote.ext"));
    QVERIFY(autreHote.open(QIODevice::WriteOnly));
    autreHote.write("subjectAltName=DNS:autre.test\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    autreHote.close();
    QVERIFY(openssl(QStringList{"req"} + cleEc +
                    QStringList{"-keyout", "autrehote.key", "-out", "autrehote.csr", "-subj", "/CN=autre.test"}));
    QVERIFY(openssl({"x509", "-req", "-in", "autrehote.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-out", "autrehote.pem", "-days", "2", "-extfile", "autrehote.ext"}));
    QVERIFY(openssl(QStringList{"req", "-x509"} + cleEc +
                    QStringList{"-keyout", "autre.key", "-out", "autre.pem", "-days", "2", "-subj",
                                "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"}));
}

void CertificationEnLigne::cleanup()
{
    if (m_proxy) {
        m_proxy->kill();
        m_proxy->waitForFinished();
        m_proxy.reset();
    }
    if (m_simulateur) {
        m_simulateur->kill();
        m_simulateur->waitForFinished();
        m_simulateur.reset();
    }
}

QString CertificationEnLigne::demarrerSimulateur(const QStringList &options, const QString &certificat,
                                                 const QString &cle)
{
    m_simulateur = std::make_unique<QProcess>();
    m_simulateur->setProgram(QStringLiteral(ORVANE_SIMULATEURS_DIR "/orvane-emcf-sim"));
    m_simulateur->setArguments(
        QStringList{"--certificat", pki(certificat), "--cle", pki(cle), "--date", dateFixe} + options);
    m_simulateur->start();
    QElapsedTimer chrono;
    chrono.start();
    while (!m_simulateur->canReadLine() && chrono.elapsed() < attenteFauteMs) {
        if (!m_simulateur->waitForReadyRead(attenteFauteMs - int(chrono.elapsed())))
            break;
    }
    if (!m_simulateur->canReadLine()) {
        qWarning() << m_simulateur->readAllStandardError();
        return {};
    }
    const QString premiere = QString::fromUtf8(m_simulateur->readLine()).trimmed();
    return premiere.section(' ', 1);
}

QStringList CertificationEnLigne::requetesSimulateur()
{
    // Each log line is flushed before the reply goes out, so after the engine has ended every line
    // of its requests is in the pipe: stopping the double and draining it gives the whole log.
    m_simulateur->kill();
    m_simulateur->waitForFinished();
    QStringList lignes =
        QString::fromUtf8(m_simulateur->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    m_simulateur.reset();
    return lignes;
}

QJsonObject CertificationEnLigne::demanderAuDouble(const QString &url, const QByteArray &methode,
                                                 const QByteArray &corps)
{
    QNetworkAccessManager reseau;
    reseau.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest requete{QUrl(url)};
    requete.setRawHeader("Authorization", "Bearer jeton-de-test");
    if (!corps.isEmpty())
        requete.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(pki("ca.pem"));
    requete.setSslConfiguration(tls);
    std::unique_ptr<QNetworkReply> reponse(reseau.sendCustomRequest(requete, methode, corps));
    QEventLoop boucle;
    connect(reponse.get(), &QNetworkReply::finished, &boucle, &QEventLoop::quit);
    QTimer::singleShot(attenteFauteMs, &boucle, &QEventLoop::quit);
    if (!reponse->isFinished())
        boucle.exec();
    return QJsonDocument::fromJson(reponse->readAll()).object();
}

quint16 CertificationEnLigne::demarrerProxy(const QString &reglages)
{
    // A free port: the one the system gives a listening socket, closed just before tinyproxy takes it.
    quint16 port = 0;
    {
        QTcpServer libre;
        if (!libre.listen(QHostAddress::LocalHost))
            return 0;
        port = libre.serverPort();
    }
    const QString configuration = pki(QStringLiteral("tinyproxy-%1.conf").arg(port));
    QFile fichier(configuration);
    if (!fichier.open(QIODevice::WriteOnly))
        return 0;
    fichier.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nLogLevel Connect\nMaxClients 10\n%2\n")
                      .arg(port)
                      .arg(reglages)
                      .toUtf8());
    fichier.close();
    m_proxy = std::make_unique<QProcess>();
    m_proxy->setProcessChannelMode(QProcess::MergedChannels);
    m_proxy->start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), configuration});
    if (!m_proxy->waitForStarted(attenteFauteMs))
        return 0;
    // Ready once it accepts connections.
    QElapsedTimer chrono;
    chrono.start();
    while (chrono.elapsed() < attenteFauteMs) {
        QTcpSocket essai;
        essai.connectToHost(QHostAddress::LocalHost, port);
        if (essai.waitForConnected(1000))
            return port;
        QThread::msleep(50);
    }
    return 0;
}

void CertificationEnLigne::venteConfirmee_data()
{
    QTest::addColumn<QStringList>("optionsSimulateur");
    QTest::addColumn<QString>("attributs");
    QTest::addColumn<QStringList>("facture");
    QTest::addColumn<QString>("cleCode");
    QTest::addColumn<QString>("corpsAttendu");

    QTest::newRow("benin sale") << QStringList{"--nim", "ED04000001", "--compteur", "81"}
                                << attributsApp("Bénin", "jeton-de-test") << venteBenin << "codeMECeFDGI"
                                << R"({"ifu":"3201234567890","type":"FV",
              "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                       {"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":"123","name":"Kofi","contact":"97000000 ","address":"Cotonou"},
              "operator":{"id":"7","name":"Awa"},"payment":[{"name":"ESPECES","amount":771}],"aib":"B"})";
    QTest::newRow("niger sale with tax-exclusive prices")
        << QStringList{"--pays",  "Niger",       "--nim",     "NE01000007",
                       "--jeton", "jeton-niger", "--vendeur", "NE1234"}
        << attributsApp("Niger", "jeton-niger", "modePrix=\"HT\" isf=\"CAISSE-1\"")
        << QStringList{"N1;FV;Ali;3;M;;;;;;B;;", "B;Pain;2;100;119;;;;", "#;A;Merci"} << "codeSECeFDGI"
        << R"({"nif":"NE1234","type":"FV",
              "items":[{"name":"Pain","price":"100","quantity":"2","taxGroup":"B"}],
              "client":{"nif":""},"operator":{"id":"3","name":"Ali"},
              "payment":[{"name":"MOBILEMONEY","amount":249.9}],
              "isf":"CAISSE-1","mode":"ht","rn":"N1","cmta":"Merci","isb":"B"})";
}

void CertificationEnLigne::venteConfirmee()
{
    QFETCH(QStringList, optionsSimulateur);
    QFETCH(QString, attributs);
    QFETCH(QStringList, facture);
    QFETCH(QString, cleCode);
    QFETCH(QString, corpsAttendu);

    const QString url = demarrerSimulateur(optionsSimulateur);
    QVERIFY(url.startsWith("https://127.0.0.1:"));
    Installation installation;
    QVERIFY(installation.preparer(attributs));
    QCOMPARE(installation.certifier("facture.csv", facture, versDouble(url)), 0);
    const QString sortie = installation.sortie;
    // A reprint reads the register alone: the double sees no further request and no connection.
    QCOMPARE(installation.certifier("facture.csv", facture, versDouble(url)), 0);
    QVERIFY2(installation.sortie.contains("Cette facture est deja validee.\n"), qPrintable(installation.sortie));
    const QStringList journal = requetesSimulateur();
    QCOMPARE(methodes(journal), (QStringList{"GET", "POST", "PUT"}));
    // The three requests share one kept-alive connection: one TCP and one TLS handshake per run.
    QCOMPARE(journal.filter(QRegularExpression("^\\+ connexion TLS ")), QStringList{"+ connexion TLS 1"});

    const QJsonObject corps = corpsJournal(journal, "> POST");
    QCOMPARE(corps, QJsonDocument::fromJson(corpsAttendu.toUtf8()).object());
    const QJsonObject confirmation = corpsJournal(journal, "< 200 {\"codeSE");
    const QJsonObject confirmationBenin = corpsJournal(journal, "< 200 {\"codeME");
    const QJsonObject &reponse = confirmation.isEmpty() ? confirmationBenin : confirmation;
    QVERIFY2(reponse.contains("qrCode"), qPrintable(journal.join('\n')));
    QVERIFY(corpsJournal(journal, "> PUT").isEmpty());
    QVERIFY(journal.filter("/confirm").size() == 1 && journal.filter("/cancel").isEmpty());

    QVERIFY2(sortie.contains("Validation reussie.\n\n"), qPrintable(sortie));
    QVERIFY(sortie.contains("Insertion de la facture dans la base de donnees reussie.\n"));

    const QString code = reponse.value(cleCode).toString();
    const QString compteurs = reponse.value("counters").toString();
    QVERIFY(!code.isEmpty());
    const QString reference = facture.first().section(';', 0, 0);
    const QString totalCompteur = compteurs.section('/', 1).section(' ', 0, 0);
    QCOMPARE(installation.ligneResultat("facture.csv"),
             (QStringList{reference, totalCompteur, code, reponse.value("nim").toString(), compteurs,
                          "08/12/2026 10:00:00", reponse.value("qrCode").toString(), ""}));
    QCOMPARE(installation.registre(),
             (QList<QStringList>{{reference, reponse.value("qrCode").toString(), totalCompteur, code,
                                  reponse.value("nim").toString(), compteurs, "08/12/2026 10:00:00"}}));
    QVERIFY(QFileInfo(installation.chemin("facture.csv.svg")).size() > 0);
    const QImage qr(installation.chemin("facture.csv.png"));
    QCOMPARE(qr.size(), QSize(200, 200));
}

void CertificationEnLigne::totalHorsTolerance()
{
    const QString url = demarrerSimulateur({"--ecart-total", "100"});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    const QStringList journal = requetesSimulateur();
    QCOMPARE(methodes(journal), (QStringList{"GET", "POST", "PUT"}));
    QCOMPARE(journal.filter(QRegularExpression("^> PUT /emcf/api/invoice/[-0-9a-f]+/cancel$")).size(), 1);
    QVERIFY(journal.filter("/confirm").isEmpty());
    const QString &sortie = installation.sortie;
    QVERIFY2(sortie.contains(
                 "\nEnregistrement reussi\n\nDifference facture: 100\nTotal facture inacceptable: 871\n\n"
                 "\nAnnulation de la facture\n"),
             qPrintable(sortie));
    QVERIFY(sortie.contains("\nAnnulation reussie.\n\n"));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::echecs_data()
{
    QTest::addColumn<QStringList>("optionsSimulateur");
    QTest::addColumn<QString>("jeton");
    QTest::addColumn<QStringList>("facture");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("requetes");

    const QStringList get = {"GET"};
    const QStringList getPost = {"GET", "POST"};
    const QStringList tout = {"GET", "POST", "PUT"};
    QTest::newRow("wrong token") << QStringList{} << "mauvais-jeton" << venteBenin
                                 << "\nLe serveur a retourne: 401 Jeton invalide ou expire\n"
                                    "Cause: jeton refuse (HTTP 401).\n"
                                 << get;
    QTest::newRow("status not JSON") << QStringList{"--non-json", "etat"} << "jeton-de-test" << venteBenin
                                     << "</html>Reponse invalide\n"
                                     << get;
    QTest::newRow("status JSON array")
        << QStringList{"--tableau", "etat"} << "jeton-de-test" << venteBenin << "]Reponse invalide\n"
        << get;
    QTest::newRow("status without status")
        << QStringList{"--etat-sans-status"} << "jeton-de-test" << venteBenin << "}Reponse invalide\n"
        << get;
    QTest::newRow("submission not JSON") << QStringList{"--non-json", "soumission"} << "jeton-de-test"
                                         << venteBenin << "</html>Echec enregistrement\n"
                                         << getPost;
    QTest::newRow("submission JSON array") << QStringList{"--tableau", "soumission"} << "jeton-de-test"
                                           << venteBenin << "]Echec enregistrement\n"
                                           << getPost;
    QTest::newRow("invoice refused by the service")
        << QStringList{} << "jeton-de-test" << QStringList{"F9;FV;Awa;7;E;;;;;;;;", "Z;Pain;1;100;118"}
        << "Groupe de taxe invalide\"}Echec enregistrement\n"
        << getPost;
    // A failed confirmation gives the pending invoice up: a cancellation follows.
    const QStringList abandon = {"GET", "POST", "PUT", "PUT"};
    QTest::newRow("decision not JSON") << QStringList{"--non-json", "decision"} << "jeton-de-test"
                                       << venteBenin << "</html>Echec confirmation\n"
                                       << abandon;
    QTest::newRow("confirmation JSON array")
        << QStringList{"--tableau", "confirmation"} << "jeton-de-test" << venteBenin
        << "\nValidation de la facture\n[{\"status\":true,\"uid\":\"x\","
           "\"qrCode\":\"x\"}]Echec confirmation\nAbandon: annulation de la facture en attente "
        << abandon;
}

void CertificationEnLigne::echecs()
{
    QFETCH(QStringList, optionsSimulateur);
    QFETCH(QString, jeton);
    QFETCH(QStringList, facture);
    QFETCH(QString, message);
    QFETCH(QStringList, requetes);

    const QString url = demarrerSimulateur(optionsSimulateur);
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", jeton)));
    QCOMPARE(installation.certifier("facture.csv", facture, versDouble(url)), 0);
    QVERIFY2(installation.sortie.contains(message), qPrintable(installation.sortie));
    QVERIFY(!installation.sortie.contains("Validation reussie."));
    QVERIFY(installation.sortie.endsWith("Le programme va se terminer.\n"));
    QCOMPARE(methodes(requetesSimulateur()), requetes);
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::certificatNonReconnu_data()
{
    QTest::addColumn<QString>("certificat");
    QTest::addColumn<QString>("cle");
    QTest::addColumn<bool>("autoriteDeTest");

    QTest::newRow("self-signed server") << "autre.pem"
                                        << "autre.key" << true;
    QTest::newRow("test authority not trusted") << "serveur.pem"
                                                << "serveur.key" << false;
    QTest::newRow("trusted authority, another host name") << "autrehote.pem"
                                                          << "autrehote.key" << true;
}

void CertificationEnLigne::certificatNonReconnu()
{
    QFETCH(QString, certificat);
    QFETCH(QString, cle);
    QFETCH(bool, autoriteDeTest);

    const QString url = demarrerSimulateur({}, certificat, cle);
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QMap<QString, QString> env{{"ORVANE_EMCF_URL", url}};
    if (autoriteDeTest)
        env.insert("ORVANE_EMCF_CA", pki("ca.pem"));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, env), 0);
    QVERIFY2(installation.sortie.contains(
                 "Connexion au serveur\nReponse invalide\nCause: certificat du serveur refuse.\n"),
             qPrintable(installation.sortie));
    // The handshake failed: not one request reached the server.
    QCOMPARE(methodes(requetesSimulateur()), QStringList());
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::reponseJamaisRecue_data()
{
    QTest::addColumn<QString>("etape");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("requetes");

    QTest::newRow("status") << "etat"
                            << "Connexion au serveur\nReponse invalide\n"
                            << QStringList{"GET"};
    QTest::newRow("submission") << "soumission"
                                << "\nEnregistrement de la facture\nEchec enregistrement\n"
                                << QStringList{"GET", "POST"};
    QTest::newRow("decision") << "decision"
                              << "\nValidation de la facture\nEchec confirmation\n"
                              << QStringList{"GET", "POST", "PUT", "PUT"};
}

void CertificationEnLigne::reponseJamaisRecue()
{
    QFETCH(QString, etape);
    QFETCH(QString, message);
    QFETCH(QStringList, requetes);

    // Every answer before the silence comes well within the limit.
    const int delaiMs = attenteMs(3000);
    const QString url = demarrerSimulateur({"--silence", etape});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url, delaiMs)), 0);
    QVERIFY2(installation.sortie.contains(message), qPrintable(installation.sortie));
    QVERIFY(installation.sortie.contains(QString("Cause: delai de %1 ms depasse.\n").arg(delaiMs)));
    // The run waited for the limit, and not much longer (twice after a confirmation: the
    // cancellation that follows has its own limit).
    QVERIFY2(installation.dureeMs >= delaiMs && installation.dureeMs < 2 * delaiMs + attenteMs(8000),
             qPrintable(QString::number(installation.dureeMs)));
    QCOMPARE(methodes(requetesSimulateur()), requetes);
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
}

void CertificationEnLigne::avoirApresVente()
{
    const QString url = demarrerSimulateur({});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    const QMap<QString, QString> env = versDouble(url);
    QCOMPARE(installation.certifier("vente.csv", venteBenin, env), 0);
    const QStringList vente = installation.ligneResultat("vente.csv");
    QCOMPARE(vente.size(), 8);
    const QString signature = vente.at(2);
    QVERIFY2(signature.count('-') == 5, qPrintable(signature));
    const QString sansTirets = QString(signature).remove('-');

    QCOMPARE(installation.certifier(
                 "avoir.csv", {"A1;FA;Awa;7;E;Kofi;123;Cotonou;97000000;;AIB5;F1;", "B;Pain;2;100;118"}, env),
             0);
    QVERIFY2(installation.sortie.contains("Facture retrouvee: " + sansTirets + "\n"),
             qPrintable(installation.sortie));
    QVERIFY(installation.sortie.contains("Validation reussie."));

    const QStringList journal = requetesSimulateur();
    QCOMPARE(methodes(journal), (QStringList{"GET", "POST", "PUT", "GET", "POST", "PUT"}));
    const QStringList soumissions = journal.filter("> POST");
    const QJsonObject avoir =
        QJsonDocument::fromJson(soumissions.at(1).mid(soumissions.at(1).indexOf('{')).toUtf8()).object();
    QCOMPARE(avoir.value("type").toString(), QString("FA"));
    QCOMPARE(avoir.value("reference").toString(), sansTirets);

    const QStringList resultat = installation.ligneResultat("avoir.csv");
    QCOMPARE(resultat.size(), 8);
    QCOMPARE(resultat.at(0), QString("A1"));
    QCOMPARE(resultat.at(4), QString("1/2 FA"));
    QCOMPARE(resultat.at(7), sansTirets);
    QCOMPARE(installation.registre().size(), 2);
}

void CertificationEnLigne::refusDuService_data()
{
    QTest::addColumn<bool>("venteAvant");
    QTest::addColumn<QStringList>("facture");
    QTest::addColumn<QString>("erreur");
    QTest::addColumn<QStringList>("optionsSimulateur");

    const QString avoir = "A1;FA;Awa;7;E;Kofi;123;Cotonou;97000000;;;%1;";
    const QString pain = "B;Pain;1;100;118;;;;";
    QTest::newRow("4 refund without original") << false << QStringList{avoir.arg(""), pain}
                                               << "Erreur 4: Reference de la facture d'origine absente\n"
                                               << QStringList{};
    QTest::newRow("5 original reference not 24 characters")
        << false << QStringList{avoir.arg("XY-Z"), pain}
        << "Erreur 5: La reference de la facture d'origine doit avoir 24 caracteres\n"
        << QStringList{};
    QTest::newRow("6 levy code") << false << QStringList{"F2;FV;Awa;7;E;;;;;;AIB9;;", pain}
                                 << "Erreur 6: Code de prelevement invalide\n"
                                 << QStringList{};
    QTest::newRow("8 no items") << false << QStringList{"F2;FV;Awa;7;E;;;;;;;;"}
                                << "Erreur 8: Facture sans article\n"
                                << QStringList{};
    QTest::newRow("9 tax group") << false << QStringList{"F2;FV;Awa;7;E;;;;;;;;", "Z;Pain;1;100;118;;;;"}
                                 << "Erreur 9: Groupe de taxe invalide\n"
                                 << QStringList{};
    QTest::newRow("11 original unknown") << false << QStringList{avoir.arg("ABCDEFGHIJK-MNOPQRSTUVWX"), pain}
                                         << "Erreur 11: Facture d'origine introuvable\n"
                                         << QStringList{};
    QTest::newRow("12 refund larger than the sale")
        << true << QStringList{avoir.arg("F1"), "B;Pain;20;100;118;;;;"}
        << "Erreur 12: Le montant de l'avoir depasse celui de la facture d'origine\n"
        << QStringList{};
    QTest::newRow("3 unknown invoice type")
        << false << QStringList{"F2;XX;Awa;7;E;;;;;;;;", pain} << "Erreur 3: Type de facture inconnu\n"
        << QStringList{};
    QTest::newRow("6 levy code, refused with HTTP 400 in the old style")
        << false << QStringList{"F2;FV;Awa;7;E;;;;;;AIB9;;", pain}
        << "Erreur 6: Code de prelevement invalide\n"
        << QStringList{"--refus-http-400"};
}

void CertificationEnLigne::refusDuService()
{
    QFETCH(bool, venteAvant);
    QFETCH(QStringList, facture);
    QFETCH(QString, erreur);
    QFETCH(QStringList, optionsSimulateur);

    const QString url = demarrerSimulateur(optionsSimulateur);
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    const QMap<QString, QString> env = versDouble(url);
    if (venteAvant)
        QCOMPARE(installation.certifier("vente.csv", venteBenin, env), 0);
    QCOMPARE(installation.certifier("facture.csv", facture, env), 0);
    // The service's code and description follow the failure, on the line after it.
    QVERIFY2(installation.sortie.contains("}Echec enregistrement\n" + erreur + "\nLa base de donnee"),
             qPrintable(installation.sortie));
    const QStringList journal = requetesSimulateur();
    QCOMPARE(methodes(journal).mid(venteAvant ? 3 : 0), (QStringList{"GET", "POST"}));
    // Refused like the real service: HTTP 200 with the code (or 400 in the old style).
    const QString statut = optionsSimulateur.isEmpty() ? "200" : "400";
    QCOMPARE(journal.filter("< " + statut + " {\"errorCode\"").size(), 1);
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QCOMPARE(installation.registre().size(), venteAvant ? 1 : 0);
    // A refused submission engages nothing: the claim is released at once.
    QCOMPARE(installation.etatJournal(facture.first().section(';', 0, 0)), QStringLiteral("abandonnee"));
}

void CertificationEnLigne::confirmationRefusee()
{
    // Pending invoices expire at once: the confirmation finds nothing under its uid (code 20).
    const QString url = demarrerSimulateur({"--expiration-ms", "0"});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    const QString &sortie = installation.sortie;
    QVERIFY2(sortie.contains("\nValidation de la facture\n{\"errorCode\":\"20\",\"errorDesc\":\"Facture en "
                             "attente introuvable\"}Echec confirmation\nErreur 20: Facture en attente "
                             "introuvable\n\nLa base de donnee a ete deconnecte.\n"),
             qPrintable(sortie));
    QVERIFY(!sortie.contains("Annulation reussie."));
    QVERIFY(!sortie.contains("Validation reussie."));
    // Nothing is pending under that uid: no cancellation is sent.
    QCOMPARE(methodes(requetesSimulateur()), (QStringList{"GET", "POST", "PUT"}));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::abandonApresDelai()
{
    const int delaiMs = attenteMs(3000);
    const QString url = demarrerSimulateur({"--silence", "confirmation"});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url, delaiMs)), 0);
    const QString &sortie = installation.sortie;
    const QRegularExpression attendu("\nValidation de la facture\nEchec confirmation\nCause: delai de " +
                                     QString::number(delaiMs) +
                                     " ms "
                                     "depasse\\.\nAbandon: annulation de la facture en attente ([-0-9a-f]+)\n"
                                     "\\{\"dateTime\":\"08/12/2026 10:00:00\"\\}\nAnnulation reussie\\.\n\n");
    const QRegularExpressionMatch m = attendu.match(sortie);
    QVERIFY2(m.hasMatch(), qPrintable(sortie));
    QVERIFY(installation.dureeMs < 2 * delaiMs + attenteMs(8000));

    // Read the service's pending invoices with the status request: none is left.
    const QJsonObject etat = demanderAuDouble(url, "GET");
    QCOMPARE(etat.value("status"), QJsonValue(true));
    QCOMPARE(etat.value("pendingRequestsList").toArray(), QJsonArray());

    const QStringList journal = requetesSimulateur();
    QCOMPARE(methodes(journal), (QStringList{"GET", "POST", "PUT", "PUT", "GET"}));
    QCOMPARE(
        journal.filter(QRegularExpression("^> PUT /emcf/api/invoice/" + m.captured(1) + "/cancel$")).size(),
        1);
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::reponseTropLongue_data()
{
    QTest::addColumn<int>("octets");
    QTest::newRow("2 MiB") << 2 * 1024 * 1024;
    QTest::newRow("24 MiB") << 24 * 1024 * 1024;
}

void CertificationEnLigne::reponseTropLongue()
{
    QFETCH(int, octets);
    const QString url =
        demarrerSimulateur({"--corps-geant", "etat", "--taille-corps-geant", QString::number(octets)});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
#ifdef Q_OS_UNIX
    // The engine's own peak memory, as GNU time reads it from the engine's end: the test's other
    // children (the doubles of earlier rows) do not count.
    const QString memoire = installation.chemin("memoire.txt");
    QVERIFY2(QFile::exists("/usr/bin/time"), "GNU time is missing: scripts/preparer installs it");
    installation.enveloppe = QStringList{"/usr/bin/time", "-f", "%M", "-o", memoire};
#endif
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    const QString &sortie = installation.sortie;
    QVERIFY2(
        sortie.contains("Connexion au serveur\nReponse invalide\nCause: reponse de plus de 1048576 octets "
                        "refusee, non affichee.\n"),
        qPrintable(sortie.left(2000)));
    // The body is never printed.
    QVERIFY2(sortie.size() < 4096, qPrintable(QString::number(sortie.size())));
#ifdef Q_OS_UNIX
    // Reading the whole body would take several times its size.
    QFile mesure(memoire);
    QVERIFY(mesure.open(QIODevice::ReadOnly));
    bool lu = false;
    const long maxKio = QString::fromLatin1(mesure.readAll()).trimmed().toLong(&lu);
    QVERIFY2(lu && maxKio > 0, qPrintable(memoire));
    QVERIFY2(maxKio < 60 * 1024, qPrintable(QString::number(maxKio)));
#endif
    QCOMPARE(methodes(requetesSimulateur()), QStringList{"GET"});
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
}

void CertificationEnLigne::statutHorsLimites()
{
    const QString url = demarrerSimulateur({"--etat-status", "1e19"});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    QVERIFY2(
        installation.sortie.contains("{\"status\":1e19,\"title\":\"Service indisponible\"}\nLe serveur a "
                                     "retourne: 0 Service indisponible\n\nLa base de donnee"),
        qPrintable(installation.sortie));
    QVERIFY(installation.sortie.endsWith("Le programme va se terminer.\n"));
    QCOMPARE(methodes(requetesSimulateur()), QStringList{"GET"});
    // The submission announced before the status request is released with the claim.
    QCOMPARE(installation.etatJournal("F1"), QStringLiteral("abandonnee"));
}

void CertificationEnLigne::serveurAbsent()
{
    // A port where nobody listens any more: the double's, once it is stopped.
    const QString url = demarrerSimulateur({});
    QVERIFY(!url.isEmpty());
    requetesSimulateur();
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    QVERIFY2(
        installation.sortie.contains("Connexion au serveur\nReponse invalide\nCause: connexion refusee.\n"),
        qPrintable(installation.sortie));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
}

void CertificationEnLigne::moduleAbsent()
{
    // The e-MCF client is a module beside the engine: without it, nothing is sent and the claim is
    // released, so that the same invoice is certified once the module is back.
    const QString url = demarrerSimulateur({});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    const QStringList modules = QDir(installation.dossier.path()).entryList({"orvane-emcf.*"}, QDir::Files);
    QCOMPARE(modules.size(), 1);
    const QString module = installation.chemin(modules.first());
    QVERIFY(QFile::rename(module, module + ".absent"));

    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    QVERIFY2(
        QRegularExpression("\nTraitement de la nouvelle facture\\.\nConnexion au serveur\nModule e-MCF "
                           "inutilisable \\(.+\\): la facture n'est pas certifiee\\.\n\nLa base de donnee a "
                           "ete deconnecte\\.\n")
            .match(installation.sortie)
            .hasMatch(),
        qPrintable(installation.sortie));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());

    QVERIFY(QFile::rename(module + ".absent", module));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url)), 0);
    QVERIFY2(installation.sortie.contains("Validation reussie."), qPrintable(installation.sortie));
    QCOMPARE(installation.ligneResultat("facture.csv").size(), 8);
    QCOMPARE(installation.registre().size(), 1);
    // The first run sent nothing: the double saw the second run only.
    QCOMPARE(methodes(requetesSimulateur()), (QStringList{"GET", "POST", "PUT"}));
}

void CertificationEnLigne::poigneeDeMainSansFin()
{
    // A server that takes the connection and never answers the TLS handshake: the connection opened
    // ahead and the status request share one time limit, so the run ends after one limit, not two.
    QTcpServer muet;
    QVERIFY(muet.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("https://127.0.0.1:%1/emcf/api/invoice").arg(muet.serverPort());
    // Long enough that the engine's own start and end stay well under one more limit.
    const int delaiMs = attenteMs(4000);
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url, delaiMs)), 0);
    QVERIFY2(installation.sortie.contains(
                 QString("Connexion au serveur\nReponse invalide\nCause: delai de %1 ms depasse.\n").arg(delaiMs)),
             qPrintable(installation.sortie));
    // Two limits one after the other would take at least twice the limit.
    QVERIFY2(installation.dureeMs >= delaiMs && installation.dureeMs < 2 * delaiMs - 200,
             qPrintable(QString::number(installation.dureeMs)));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
    QVERIFY(installation.registre().isEmpty());
}

void CertificationEnLigne::parProxy_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<bool>("arrete");
    QTest::addColumn<QString>("message");

    QTest::newRow("proxy relays") << QString() << false << "Validation reussie.\n";
    QTest::newRow("proxy wants credentials")
        << "BasicAuth caisse secret" << false
        << "Connexion au serveur\nReponse invalide\nCause: le proxy demande une authentification, qui "
           "n'est pas prise en charge.\n";
    QTest::newRow("proxy stopped") << QString() << true
                                   << "Connexion au serveur\nReponse invalide\nCause: proxy injoignable (";
}

void CertificationEnLigne::parProxy()
{
    QFETCH(QString, reglages);
    QFETCH(bool, arrete);
    QFETCH(QString, message);

    QVERIFY2(!QStandardPaths::findExecutable("tinyproxy").isEmpty(),
             "tinyproxy is missing: scripts/preparer installs it");
    if (m_adresseMachine.isEmpty())
        QSKIP("this machine has no address but loopback, which is never reached through a proxy");
    const QString url = demarrerSimulateur({"--adresse", m_adresseMachine});
    QVERIFY2(url.startsWith("https://" + m_adresseMachine + ":"), qPrintable(url));
    const quint16 port = demarrerProxy(reglages);
    QVERIFY(port != 0);
    if (arrete) {
        m_proxy->kill();
        m_proxy->waitForFinished();
    }
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    // The shop's proxy as the system names it to every program.
    QMap<QString, QString> env = versDouble(url);
    env.insert("https_proxy", QStringLiteral("http://127.0.0.1:%1").arg(port));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, env), 0);
    QVERIFY2(installation.sortie.contains(message), qPrintable(installation.sortie));
    const QStringList journal = requetesSimulateur();
    if (!reglages.isEmpty() || arrete) {
        // Nothing reached the service, nothing was certified, and the claim was released for a retry.
        QCOMPARE(methodes(journal), QStringList());
        QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));
        QCOMPARE(installation.etatJournal("F1"), QStringLiteral("abandonnee"));
        return;
    }
    // The whole run went through the proxy's tunnel: one CONNECT, one TLS connection, three requests.
    m_proxy->terminate(); // its log is flushed as it stops
    QVERIFY(m_proxy->waitForFinished(attenteFauteMs));
    const QString traces = QString::fromUtf8(m_proxy->readAll());
    QCOMPARE(traces.count(QRegularExpression("CONNECT " + QRegularExpression::escape(m_adresseMachine) + ":\\d+")),
             1);
    QCOMPARE(methodes(journal), (QStringList{"GET", "POST", "PUT"}));
    QCOMPARE(journal.filter(QRegularExpression("^\\+ connexion TLS ")).size(), 1);
    QCOMPARE(installation.ligneResultat("facture.csv").size(), 8);
    QCOMPARE(installation.registre().size(), 1);
}

void CertificationEnLigne::soumissionPerdueRetrouvee()
{
    // The first submission's reply comes after the engine's limit: the run gives up with its invoice
    // pending on the service and the journal in "soumission envoyee".
    // The status comes well within the limit, the first submission's reply well after it.
    const int delaiMs = attenteMs(3000);
    const QString url =
        demarrerSimulateur({"--pause-avant", QStringLiteral("soumission:%1:1").arg(delaiMs + attenteMs(3000))});
    QVERIFY(!url.isEmpty());
    Installation installation;
    QVERIFY(installation.preparer(attributsApp("Bénin", "jeton-de-test")));
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url, delaiMs)), 0);
    QVERIFY2(installation.sortie.contains(
                 QString("Echec enregistrement\nCause: delai de %1 ms depasse.\n").arg(delaiMs)),
             qPrintable(installation.sortie));
    QCOMPARE(installation.etatJournal("F1"), QStringLiteral("soumission envoyee"));
    QVERIFY(!QFile::exists(installation.chemin("facture.csv.mcf")));

    // Another till of the same account has an invoice pending too, nearly the same one.
    const QJsonObject autreCaisse = demanderAuDouble(
        url, "POST",
        R"({"ifu":"3201234567890","type":"FV","items":[{"name":"Pain","price":"118","quantity":"3",)"
        R"("taxGroup":"B"}],"operator":{"id":"7","name":"Awa"}})");
    const QString uidAutreCaisse = autreCaisse.value("uid").toString();
    QVERIFY2(!uidAutreCaisse.isEmpty(), qPrintable(QJsonDocument(autreCaisse).toJson()));
    const QStringList pendantes = [&] {
        QStringList uids;
        for (const QJsonValue &p : demanderAuDouble(url, "GET").value("pendingRequestsList").toArray())
            uids << p.toObject().value("uid").toString();
        return uids;
    }();
    QCOMPARE(pendantes.size(), 2);
    QVERIFY(pendantes.contains(uidAutreCaisse));
    const QString uidPerdu = pendantes.at(pendantes.at(0) == uidAutreCaisse ? 1 : 0);

    // The business application runs the same invoice again: the lost submission is found by what it
    // carries and cancelled, the invoice is certified once, and the other till's invoice is left alone.
    QCOMPARE(installation.certifier("facture.csv", venteBenin, versDouble(url, delaiMs)), 0);
    QVERIFY2(installation.sortie.contains("Facture F1: soumission retrouvee en attente (" + uidPerdu +
                                          "), annulation.\n"),
             qPrintable(installation.sortie));
    QVERIFY(installation.sortie.contains("Validation reussie."));
    QCOMPARE(installation.ligneResultat("facture.csv").size(), 8);
    QCOMPARE(installation.registre().size(), 1);
    QCOMPARE(installation.etatJournal("F1"), QStringLiteral("terminee"));
    const QJsonArray restantes = demanderAuDouble(url, "GET").value("pendingRequestsList").toArray();
    QCOMPARE(restantes.size(), 1);
    QCOMPARE(restantes.at(0).toObject().value("uid").toString(), uidAutreCaisse);

    const QStringList journal = requetesSimulateur();
    QCOMPARE(journal.filter(QRegularExpression("^> PUT .*/confirm$")).size(), 1);
    QCOMPARE(journal.filter(QRegularExpression("^> PUT .*/cancel$")),
             QStringList{"> PUT /emcf/api/invoice/" + uidPerdu + "/cancel"});
    QVERIFY(journal.filter(uidAutreCaisse).filter("> PUT").isEmpty());
}

QTEST_GUILESS_MAIN(CertificationEnLigne)
#include "tst_certificationenligne.moc"
