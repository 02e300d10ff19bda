#include "echangehttp.h"

#include <QtTest>

// The HTTP/1.1 the e-MCF client speaks: the bytes of its requests, and how the bytes received so
// far make a reply, whatever way the network cut them.
class EchangeHttpTest : public QObject
{
    Q_OBJECT

private slots:
    void requete_data();
    void requete();
    void reponse_data();
    void reponse();
    void reponseRecueParMorceaux_data();
    void reponseRecueParMorceaux();
    void entetesSansFin();
};

namespace {

constexpr qsizetype maximum = 1000;

RequeteEmcf requeteEssai(const QByteArray &methode, const QString &url, const QString &jeton,
                         const QByteArray &corps = {}, const QByteArray &type = {})
{
    RequeteEmcf r;
    r.methode = methode;
    r.url = QUrl(url);
    r.jeton = jeton;
    r.corps = corps;
    r.typeContenu = type;
    return r;
}

const QByteArray finEntetes = "Accept: application/json\r\nUser-Agent: orvane-mcf\r\n\r\n";

} // namespace

void EchangeHttpTest::requete_data()
{
    QTest::addColumn<RequeteEmcf>("requete");
    QTest::addColumn<QByteArray>("texte");

    QTest::newRow("status request: no length for a GET, UTF-8 token")
        << requeteEssai("GET", "https://emcf.test/emcf/api/invoice", "jeton-été")
        << "GET /emcf/api/invoice HTTP/1.1\r\nHost: emcf.test\r\nAuthorization: Bearer "
           "jeton-\xc3\xa9t\xc3\xa9\r\n" +
               finEntetes;
    QTest::newRow("submission with its type and length, port kept")
        << requeteEssai("POST", "https://127.0.0.1:8443/api/invoice", "j", "{\"a\":1}", "application/json")
        << "POST /api/invoice HTTP/1.1\r\nHost: 127.0.0.1:8443\r\nAuthorization: Bearer j\r\n"
           "Content-Type: application/json\r\nContent-Length: 7\r\n" +
               finEntetes + "{\"a\":1}";
    QTest::newRow("decision: empty body announced as such")
        << requeteEssai("PUT", "https://emcf.test/api/invoice/u%201/confirm", "j")
        << "PUT /api/invoice/u%201/confirm HTTP/1.1\r\nHost: emcf.test\r\nAuthorization: Bearer j\r\n"
           "Content-Length: 0\r\n" +
               finEntetes;
    QTest::newRow("line breaks in the token cannot add a header")
        << requeteEssai("GET", "https://emcf.test/x?a=1&b=%C3%A9", "j\r\nX-Autre: 1")
        << "GET /x?a=1&b=%C3%A9 HTTP/1.1\r\nHost: emcf.test\r\nAuthorization: Bearer jX-Autre: 1\r\n" +
               finEntetes;
    QTest::newRow("IPv6 host in brackets, no path") << requeteEssai("GET", "http://[::1]:8080", QString())
                                                    << "GET / HTTP/1.1\r\nHost: [::1]:8080\r\n" + finEntetes;
}

void EchangeHttpTest::requete()
{
    QFETCH(RequeteEmcf, requete);
    QFETCH(QByteArray, texte);
    QCOMPARE(texteRequeteHttp(requete), texte);
}

void EchangeHttpTest::reponse_data()
{
    QTest::addColumn<QByteArray>("recus");
    QTest::addColumn<bool>("finDuFlux");
    QTest::addColumn<int>("etat"); // LectureHttp::Etat
    QTest::addColumn<int>("statut");
    QTest::addColumn<QByteArray>("corps");
    QTest::addColumn<bool>("garder");

    const int incomplete = int(LectureHttp::Etat::Incomplete);
    const int complete = int(LectureHttp::Etat::Complete);
    const int invalide = int(LectureHttp::Etat::Invalide);
    const int tropLongue = int(LectureHttp::Etat::TropLongue);

    QTest::newRow("length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello") << false
                            << complete << 200 << QByteArray("hello") << true;
    QTest::newRow("header names in any case, no reason phrase")
        << QByteArray("HTTP/1.1 401\r\ncontent-LENGTH:2\r\n\r\n{}") << false << complete << 401
        << QByteArray("{}") << true;
    QTest::newRow("length not all there") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel")
                                          << false << incomplete << 0 << QByteArray() << false;
    QTest::newRow("connection closed before the announced end")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel") << true << incomplete << 0
        << QByteArray() << false;
    QTest::newRow("server closes after this reply")
        << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok") << false
        << complete << 200 << QByteArray("ok") << false;
    QTest::newRow("HTTP/1.0 closes unless kept alive")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok") << false << complete << 200
        << QByteArray("ok") << false;
    QTest::newRow("HTTP/1.0 kept alive")
        << QByteArray("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok") << false
        << complete << 200 << QByteArray("ok") << true;
    QTest::newRow("bytes after the reply: the connection is not reused")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokHTTP/1.1") << false << complete << 200
        << QByteArray("ok") << false;
    QTest::newRow("chunked, with an extension and trailers")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "4;x=y\r\n{\"a\"\r\nB\r\n:123456789}\r\n0\r\nX-Fin: 1\r\n\r\n")
        << false << complete << 200 << QByteArray("{\"a\":123456789}") << true;
    QTest::newRow("chunked without its last empty line")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n") << false
        << incomplete << 0 << QByteArray() << false;
    QTest::newRow("chunk longer than announced")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokk\r\n0\r\n\r\n") << false
        << invalide << 0 << QByteArray() << false;
    QTest::newRow("chunk size not hexadecimal")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0x2\r\nok\r\n0\r\n\r\n") << false
        << invalide << 0 << QByteArray() << false;
    QTest::newRow("chunk size that would overflow")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFF1\r\n") << false
        << invalide << 0 << QByteArray() << false;
    QTest::newRow("a coding other than chunked is not spoken")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n") << false
        << invalide << 0 << QByteArray() << false;
    QTest::newRow("body up to the close: not before it")
        << QByteArray("HTTP/1.1 200 OK\r\n\r\n{\"status\":true}") << false << incomplete << 0 << QByteArray()
        << false;
    QTest::newRow("body up to the close") << QByteArray("HTTP/1.1 200 OK\r\n\r\n{\"status\":true}") << true
                                          << complete << 200 << QByteArray("{\"status\":true}") << false;
    QTest::newRow("interim reply skipped")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok") << false
        << complete << 200 << QByteArray("ok") << true;
    QTest::newRow("no body after 204 whatever the length says")
        << QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 7\r\n\r\n") << false << complete << 204
        << QByteArray() << true;
    QTest::newRow("two different lengths")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nokk") << false
        << invalide << 0 << QByteArray() << false;
    QTest::newRow("the same length twice")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nok") << false
        << complete << 200 << QByteArray("ok") << true;
    QTest::newRow("negative length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n") << false
                                     << invalide << 0 << QByteArray() << false;
    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n") << false << invalide << 0
                              << QByteArray() << false;
    QTest::newRow("status of two digits")
        << QByteArray("HTTP/1.1 20 OK\r\n\r\n") << false << invalide << 0 << QByteArray() << false;
    QTest::newRow("switching protocols was never asked for")
        << QByteArray("HTTP/1.1 101 Switching\r\n\r\n") << false << invalide << 0 << QByteArray() << false;
    QTest::newRow("header line without a name")
        << QByteArray("HTTP/1.1 200 OK\r\n: x\r\n\r\n") << false << invalide << 0 << QByteArray() << false;
    QTest::newRow("length over the maximum, refused before the body comes")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n") << false << tropLongue << 0
        << QByteArray() << false;
    QTest::newRow("length of the maximum")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n") + QByteArray(1000, 'x') << false
        << complete << 200 << QByteArray(1000, 'x') << true;
    QTest::newRow("chunks growing over the maximum")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1f4\r\n") + QByteArray(500, 'x') +
               "\r\n1f5\r\n"
        << false << tropLongue << 0 << QByteArray() << false;
    QTest::newRow("body up to the close over the maximum")
        << QByteArray("HTTP/1.1 200 OK\r\n\r\n") + QByteArray(1001, 'x') << false << tropLongue << 0
        << QByteArray() << false;
}

void EchangeHttpTest::reponse()
{
    QFETCH(QByteArray, recus);
    QFETCH(bool, finDuFlux);
    QFETCH(int, etat);
    QFETCH(int, statut);
    QFETCH(QByteArray, corps);
    QFETCH(bool, garder);

    const LectureHttp lecture = lireReponseHttp(recus, finDuFlux, maximum);
    QCOMPARE(int(lecture.etat), etat);
    if (lecture.etat != LectureHttp::Etat::Complete)
        return;
    QCOMPARE(lecture.statut, statut);
    QCOMPARE(lecture.corps, corps);
    QCOMPARE(lecture.garderConnexion, garder);
}

void EchangeHttpTest::reponseRecueParMorceaux_data()
{
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<QByteArray>("corps");
    QTest::newRow("length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n{\"uid\":\"a\"}")
                            << QByteArray("{\"uid\":\"a\"}");
    QTest::newRow("chunked")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "3\r\n{\"u\r\n8\r\nid\":\"a\"}\r\n0\r\n\r\n")
        << QByteArray("{\"uid\":\"a\"}");
}

// Every prefix of a reply is incomplete, never a reply of its own nor an error; the whole is the
// reply.
void EchangeHttpTest::reponseRecueParMorceaux()
{
    QFETCH(QByteArray, reponse);
    QFETCH(QByteArray, corps);
    for (qsizetype n = 0; n < reponse.size(); ++n)
        QVERIFY2(lireReponseHttp(reponse.left(n), false, maximum).etat == LectureHttp::Etat::Incomplete,
                 qPrintable(QString::number(n)));
    const LectureHttp lecture = lireReponseHttp(reponse, false, maximum);
    QCOMPARE(int(lecture.etat), int(LectureHttp::Etat::Complete));
    QCOMPARE(lecture.corps, corps);
    QVERIFY(lecture.garderConnexion);
}

// Headers that never end are refused once over 64 KiB, rather than waited for.
void EchangeHttpTest::entetesSansFin()
{
    const QByteArray debut = "HTTP/1.1 200 OK\r\n";
    QByteArray recus = debut;
    while (recus.size() <= 64 * 1024)
        recus += "X-Remplissage: 0123456789abcdef\r\n";
    QCOMPARE(int(lireReponseHttp(recus.left(60 * 1024), false, maximum).etat),
             int(LectureHttp::Etat::Incomplete));
    QCOMPARE(int(lireReponseHttp(recus, false, maximum).etat), int(LectureHttp::Etat::Invalide));
}

QTEST_GUILESS_MAIN(EchangeHttpTest)
#include "tst_echangehttp.moc"
