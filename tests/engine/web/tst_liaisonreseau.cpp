#include "liaisonreseau.h"

#include <attente.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The e-MCF client's connection through Qt's network access manager, against a scripted HTTP server
// on this machine (plain HTTP: TLS and proxies are the end-to-end tests' business): one kept-alive
// connection for the connection opened ahead and several requests, a new one when the server closed
// it, what goes on the wire, and every way a reply can fail.
class LiaisonReseauTest : public QObject
{
    Q_OBJECT

private slots:
    void echanges_data();
    void echanges();
    void requetes();
    void personneNEcoute();
    void echecDeLaConnexionOuverteAvant();
};

namespace {

// What the server does with one request: the bytes it answers, in how many writes (a few
// milliseconds apart), and whether it closes the connection afterwards.
struct Reponse
{
    QByteArray octets;
    int morceaux = 1;
    bool fermer = false;
};

const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

class ServeurScripte : public QTcpServer
{
public:
    explicit ServeurScripte(QList<Reponse> reponses) : m_reponses(reponses)
    {
        connect(this, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connexions;
                connect(socket, &QIODevice::readyRead, this, [this, socket] { lire(socket); });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    int connexions = 0;
    QList<QByteArray> requetes;

private:
    void lire(QTcpSocket *socket)
    {
        QByteArray &tampon = m_tampons[socket];
        tampon += socket->readAll();
        // A connection the server is closing carries no more requests: what comes on it is lost,
        // as on a real server.
        if (m_fermees.contains(socket))
            return;
        for (;;) {
            const qsizetype fin = tampon.indexOf("\r\n\r\n");
            if (fin < 0)
                return;
            const QByteArray entetes = tampon.left(fin).toLower();
            const qsizetype position = entetes.indexOf("content-length: ");
            const qsizetype longueur =
                position < 0 ? 0
                             : entetes.mid(position + 16, entetes.indexOf('\r', position) - position - 16)
                                   .toLongLong();
            if (tampon.size() < fin + 4 + longueur)
                return;
            requetes.append(tampon.left(fin + 4 + longueur));
            tampon.remove(0, fin + 4 + longueur);
            // Beyond its script the server repeats its last reply.
            repondre(socket, m_reponses.value(qMin(requetes.size(), m_reponses.size()) - 1));
        }
    }
    void repondre(QTcpSocket *socket, const Reponse &reponse)
    {
        const qsizetype taille = (reponse.octets.size() + reponse.morceaux - 1) / qMax(1, reponse.morceaux);
        int attente = 0;
        for (qsizetype debut = 0; debut < reponse.octets.size(); debut += taille, attente += 5) {
            const QByteArray morceau = reponse.octets.mid(debut, taille);
            QTimer::singleShot(attente, socket, [socket, morceau] {
                socket->write(morceau);
                socket->flush();
            });
        }
        if (reponse.fermer) {
            m_fermees.insert(socket);
            QTimer::singleShot(attente, socket, [socket] { socket->disconnectFromHost(); });
        }
    }

    QList<Reponse> m_reponses;
    QHash<QTcpSocket *, QByteArray> m_tampons;
    QSet<QTcpSocket *> m_fermees;
};

// A port of this machine where nobody listens (0 when none could be found).
quint16 portLibre()
{
    QTcpServer ferme;
    return ferme.listen(QHostAddress::LocalHost) ? ferme.serverPort() : 0;
}

const QString refusee = "echec " + QString::number(int(ReponseEmcf::Echec::ConnexionRefusee));

QString issue(const ReponseEmcf &r)
{
    if (r.echec != ReponseEmcf::Echec::Aucun)
        return "echec " + QString::number(int(r.echec));
    return QString::number(r.statutHttp) + " " + QString::fromUtf8(r.corps);
}

RequeteEmcf requeteVers(const QUrl &url, const QByteArray &methode)
{
    RequeteEmcf r;
    r.methode = methode;
    r.url = url;
    r.jeton = "j";
    return r;
}

// Sends the requests one after the other, each from the previous one's reply as the client does,
// and gives what came of each. The connection has no time limit of its own: the wait ends with the
// last reply, and only a reply that never comes exhausts its bound.
QStringList echanger(LiaisonReseau &connexion, const QUrl &url, const QList<QByteArray> &methodes)
{
    QStringList issues;
    QEventLoop boucle;
    std::function<void()> suivante = [&] {
        if (issues.size() == methodes.size()) {
            boucle.quit();
            return;
        }
        connexion.envoyer(requeteVers(url, methodes.at(issues.size())), [&](const ReponseEmcf &r) {
            issues << issue(r);
            suivante();
        });
    };
    connexion.ouvrir();
    suivante();
    QTimer::singleShot(attenteFauteMs, &boucle, &QEventLoop::quit);
    if (issues.size() < methodes.size())
        boucle.exec();
    return issues;
}

} // namespace

void LiaisonReseauTest::echanges_data()
{
    QTest::addColumn<QList<Reponse>>("reponses");
    QTest::addColumn<QStringList>("issues");
    QTest::addColumn<int>("connexions");    // the server saw at least
    QTest::addColumn<int>("connexionsMax"); // and at most

    const QString reseau = "echec " + QString::number(int(ReponseEmcf::Echec::Reseau));
    const QString tropLongue = "echec " + QString::number(int(ReponseEmcf::Echec::TropLongue));
    const QByteArray morceaux = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                "5\r\n{\"uid\r\n7\r\n\":\"u1\"}\r\n0\r\n\r\n";

    QTest::newRow("three requests on one kept-alive connection")
        << QList<Reponse>{{ok}, {ok}, {ok}} << QStringList{"200 ok", "200 ok", "200 ok"} << 1 << 1;
    QTest::newRow("a reply in pieces, chunked")
        << QList<Reponse>{{morceaux, 9}, {ok}} << QStringList{"200 {\"uid\":\"u1\"}", "200 ok"} << 1 << 1;
    QTest::newRow("an error status is a reply with its body")
        << QList<Reponse>{{"HTTP/1.1 401 Unauthorized\r\nContent-Length: 2\r\n\r\n{}"}}
        << QStringList{"401 {}"} << 1 << 1;
    QTest::newRow("server says it closes: the next request opens another connection")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", 1, true},
                          {ok}}
        << QStringList{"200 ok", "200 ok"} << 2 << 2;
    QTest::newRow("server closes without saying: the next request goes on another")
        << QList<Reponse>{{ok, 1, true}, {ok}} << QStringList{"200 ok", "200 ok"} << 2 << 2;
    QTest::newRow("a redirect is handed over, never followed")
        << QList<Reponse>{{"HTTP/1.1 302 Found\r\nLocation: http://ailleurs.test/\r\nContent-Length: 2\r\n\r\n{}"},
                          {ok}}
        << QStringList{"302 {}"} << 1 << 1;
    QTest::newRow("a 400 is a reply with its body")
        << QList<Reponse>{{"HTTP/1.1 400 Bad Request\r\nContent-Length: 15\r\n\r\n{\"errorCode\":5}"}}
        << QStringList{"400 {\"errorCode\":5}"} << 1 << 1;
    QTest::newRow("a 500 is a reply with its body")
        << QList<Reponse>{{"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\npanne"}}
        << QStringList{"500 pann"} << 1 << 1;
    QTest::newRow("interim reply skipped")
        << QList<Reponse>{{"HTTP/1.1 100 Continue\r\n\r\n" + ok}} << QStringList{"200 ok"} << 1 << 1;
    QTest::newRow("body up to the close") << QList<Reponse>{{"HTTP/1.1 200 OK\r\n\r\nfin", 2, true}, {ok}}
                                          << QStringList{"200 fin", "200 ok"} << 2 << 2;
    QTest::newRow("reply cut by the close")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncoupe", 2, true}}
        << QStringList{reseau} << 1 << 1;
    const Reponse coupee{"HTTP/1.1 200 OK\r\nContent-Le", 1, true};
    // The manager sends a request that may be repeated (GET, PUT) again on a new connection when one
    // closes before its reply, a few times, then it fails. How many times is Qt's own affair and
    // depends on how the close is seen: twice on Linux, three times under Wine; every repeat is cut
    // too (the server repeats its last reply).
    QTest::newRow("headers cut by the close, every time")
        << QList<Reponse>{coupee} << QStringList{reseau} << 2 << 4;
    QTest::newRow("chunked body over the maximum")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n" +
                               QByteArray(0x100000, 'x') + "\r\n1\r\ny\r\n0\r\n\r\n",
                           20}}
        << QStringList{tropLongue} << 1 << 1;
    QTest::newRow("body of exactly the maximum")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + QByteArray(1048576, 'x'), 20}}
        << QStringList{"200 " + QString(1048576, 'x')} << 1 << 1;
    QTest::newRow("length over the maximum: refused without its body")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 2097152\r\n\r\n{"}} << QStringList{tropLongue}
        << 1 << 1;
    QTest::newRow("body up to the close over the maximum")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\n\r\n" + QByteArray(1200 * 1024, 'x'), 40}}
        << QStringList{tropLongue} << 1 << 1;
}

void LiaisonReseauTest::echanges()
{
    QFETCH(QList<Reponse>, reponses);
    QFETCH(QStringList, issues);
    QFETCH(int, connexions);
    QFETCH(int, connexionsMax);

    ServeurScripte serveur(reponses);
    QVERIFY(serveur.isListening());
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/emcf/api/invoice").arg(serveur.serverPort()));
    LiaisonReseau connexion(url, QString());
    QList<QByteArray> methodes(issues.size(), "GET");
    const QStringList obtenues = echanger(connexion, url, methodes);
    // What reached the server tells a lost reply from a request never sent.
    QVERIFY2(obtenues == issues, qPrintable(QString("issues [%1], attendues [%2]; %3 connexion(s), %4 requete(s)")
                                                .arg(obtenues.join(", "), issues.join(", "))
                                                .arg(serveur.connexions)
                                                .arg(serveur.requetes.size())));
    QVERIFY2(serveur.connexions >= connexions && serveur.connexions <= connexionsMax,
             qPrintable(QString::number(serveur.connexions)));
    QVERIFY(serveur.requetes.first().startsWith("GET /emcf/api/invoice HTTP/1.1\r\n"));
}

void LiaisonReseauTest::personneNEcoute()
{
    const quint16 port = portLibre();
    QVERIFY(port != 0);
    const QUrl url(QStringLiteral("https://127.0.0.1:%1/emcf/api/invoice").arg(port));
    LiaisonReseau connexion(url, QString());
    QCOMPARE(echanger(connexion, url, {"GET"}), QStringList{refusee});
}

// The connection opened ahead failed before any request: the request opens its own, and reaches a
// server listening by then.
void LiaisonReseauTest::echecDeLaConnexionOuverteAvant()
{
    const quint16 port = portLibre();
    QVERIFY(port != 0);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/emcf/api/invoice").arg(port));
    LiaisonReseau connexion(url, QString());
    connexion.ouvrir();
    QTest::qWait(200);
    ServeurScripte serveur({{ok}});
    serveur.close();
    QVERIFY(serveur.listen(QHostAddress::LocalHost, port));
    std::optional<ReponseEmcf> recue;
    connexion.envoyer(requeteVers(url, "GET"), [&recue](const ReponseEmcf &r) { recue = r; });
    QVERIFY(!recue); // from the event loop, as any reply
    QTRY_VERIFY_WITH_TIMEOUT(recue.has_value(), attenteFauteMs);
    QCOMPARE(issue(*recue), QStringLiteral("200 ok"));
    QCOMPARE(serveur.connexions, 1);
}

// What goes on the wire: the bearer token in UTF-8 on every request, the content type and body of
// the submission, a decision with an empty body and no content type.
void LiaisonReseauTest::requetes()
{
    ServeurScripte serveur({{ok}, {ok}, {ok}});
    QVERIFY(serveur.isListening());
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/emcf/api/invoice").arg(serveur.serverPort()));
    LiaisonReseau connexion(url, QString());
    QList<RequeteEmcf> envoyees{requeteVers(url, "GET"), requeteVers(url, "POST"),
                                requeteVers(QUrl(url.toString() + "/u%201/confirm"), "PUT")};
    for (RequeteEmcf &r : envoyees)
        r.jeton = QStringLiteral("jeton-été");
    envoyees[1].corps = "{\"type\":\"FV\"}";
    envoyees[1].typeContenu = "application/json";
    int recues = 0;
    for (const RequeteEmcf &r : envoyees) {
        const int avant = recues;
        connexion.envoyer(r, [&recues](const ReponseEmcf &) { ++recues; });
        QTRY_COMPARE_WITH_TIMEOUT(recues, avant + 1, attenteFauteMs);
    }
    QCOMPARE(serveur.requetes.size(), 3);
    QCOMPARE(serveur.connexions, 1);
    const QList<QByteArray> lignes{"GET /emcf/api/invoice HTTP/1.1\r\n", "POST /emcf/api/invoice HTTP/1.1\r\n",
                                   "PUT /emcf/api/invoice/u%201/confirm HTTP/1.1\r\n"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray &texte = serveur.requetes.at(i);
        QVERIFY2(texte.startsWith(lignes.at(i)), texte.constData());
        QVERIFY2(texte.contains("Authorization: Bearer jeton-\xc3\xa9t\xc3\xa9\r\n"), texte.constData());
    }
    QVERIFY(serveur.requetes.at(1).toLower().contains("content-type: application/json\r\n"));
    QVERIFY(serveur.requetes.at(1).endsWith("\r\n\r\n{\"type\":\"FV\"}"));
    QVERIFY(serveur.requetes.at(2).toLower().contains("content-length: 0\r\n"));
    QVERIFY(!serveur.requetes.at(2).toLower().contains("content-type"));
}

QTEST_GUILESS_MAIN(LiaisonReseauTest)
#include "tst_liaisonreseau.moc"
