#include "connexionhttps.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The connection of the e-MCF client against a scripted HTTP server on this machine (plain HTTP:
// the TLS side is the end-to-end tests' business): one kept-alive connection for several requests,
// a new one when the server closed it, and every way a reply can fail.
class ConnexionHttpsTest : public QObject
{
    Q_OBJECT

private slots:
    void echanges_data();
    void echanges();
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
            repondre(socket, m_reponses.value(requetes.size() - 1));
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
        if (reponse.fermer)
            QTimer::singleShot(attente, socket, [socket] { socket->disconnectFromHost(); });
    }

    QList<Reponse> m_reponses;
    QHash<QTcpSocket *, QByteArray> m_tampons;
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
// and gives what came of each.
QStringList echanger(ConnexionHttps &connexion, const QUrl &url, const QList<QByteArray> &methodes)
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
    QTimer::singleShot(5000, &boucle, &QEventLoop::quit);
    if (issues.size() < methodes.size())
        boucle.exec();
    return issues;
}

} // namespace

void ConnexionHttpsTest::echanges_data()
{
    QTest::addColumn<QList<Reponse>>("reponses");
    QTest::addColumn<QStringList>("issues");
    QTest::addColumn<int>("connexions");

    const QString reseau = "echec " + QString::number(int(ReponseEmcf::Echec::Reseau));
    const QString tropLongue = "echec " + QString::number(int(ReponseEmcf::Echec::TropLongue));
    const QByteArray morceaux = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                "5\r\n{\"uid\r\n7\r\n\":\"u1\"}\r\n0\r\n\r\n";

    QTest::newRow("three requests on one kept-alive connection")
        << QList<Reponse>{{ok}, {ok}, {ok}} << QStringList{"200 ok", "200 ok", "200 ok"} << 1;
    QTest::newRow("a reply in pieces, chunked")
        << QList<Reponse>{{morceaux, 9}, {ok}} << QStringList{"200 {\"uid\":\"u1\"}", "200 ok"} << 1;
    QTest::newRow("an error status is a reply with its body")
        << QList<Reponse>{{"HTTP/1.1 401 Unauthorized\r\nContent-Length: 2\r\n\r\n{}"}}
        << QStringList{"401 {}"} << 1;
    QTest::newRow("server says it closes: the next request opens another connection")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", 1, true},
                          {ok}}
        << QStringList{"200 ok", "200 ok"} << 2;
    QTest::newRow("server closes without saying: the next request goes again on another")
        << QList<Reponse>{{ok, 1, true}, {}, {ok}} << QStringList{"200 ok", "200 ok"} << 2;
    QTest::newRow("body up to the close") << QList<Reponse>{{"HTTP/1.1 200 OK\r\n\r\nfin", 2, true}, {ok}}
                                          << QStringList{"200 fin", "200 ok"} << 2;
    QTest::newRow("reply cut by the close")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncoupe", 2, true}}
        << QStringList{reseau} << 1;
    QTest::newRow("not an HTTP reply")
        << QList<Reponse>{{"220 smtp.example ESMTP\r\n\r\n"}} << QStringList{reseau} << 1;
    QTest::newRow("length over the maximum: refused without its body")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 2097152\r\n\r\n{"}} << QStringList{tropLongue}
        << 1;
    QTest::newRow("body up to the close over the maximum")
        << QList<Reponse>{{"HTTP/1.1 200 OK\r\n\r\n" + QByteArray(1200 * 1024, 'x'), 40}}
        << QStringList{tropLongue} << 1;
}

void ConnexionHttpsTest::echanges()
{
    QFETCH(QList<Reponse>, reponses);
    QFETCH(QStringList, issues);
    QFETCH(int, connexions);

    ServeurScripte serveur(reponses);
    QVERIFY(serveur.isListening());
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/emcf/api/invoice").arg(serveur.serverPort()));
    ConnexionHttps connexion(url, QString());
    QList<QByteArray> methodes(issues.size(), "GET");
    QCOMPARE(echanger(connexion, url, methodes), issues);
    QCOMPARE(serveur.connexions, connexions);
    QVERIFY(serveur.requetes.first().startsWith("GET /emcf/api/invoice HTTP/1.1\r\n"));
}

void ConnexionHttpsTest::personneNEcoute()
{
    const quint16 port = portLibre();
    QVERIFY(port != 0);
    const QUrl url(QStringLiteral("https://127.0.0.1:%1/emcf/api/invoice").arg(port));
    ConnexionHttps connexion(url, QString());
    QCOMPARE(echanger(connexion, url, {"GET"}), QStringList{refusee});
}

// The connection opened ahead failed before any request: the first request is told why, and does
// not try again (a server listening by then is not reached).
void ConnexionHttpsTest::echecDeLaConnexionOuverteAvant()
{
    const quint16 port = portLibre();
    QVERIFY(port != 0);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/emcf/api/invoice").arg(port));
    ConnexionHttps connexion(url, QString());
    connexion.ouvrir();
    QTest::qWait(200);
    QTcpServer ouvert;
    QVERIFY(ouvert.listen(QHostAddress::LocalHost, port));
    std::optional<ReponseEmcf> recue;
    connexion.envoyer(requeteVers(url, "GET"), [&recue](const ReponseEmcf &r) { recue = r; });
    QVERIFY(!recue); // from the event loop, as any reply
    QTRY_VERIFY_WITH_TIMEOUT(recue.has_value(), 2000);
    QCOMPARE(issue(*recue), refusee);
    QVERIFY(!ouvert.hasPendingConnections());
}

QTEST_GUILESS_MAIN(ConnexionHttpsTest)
#include "tst_connexionhttps.moc"
