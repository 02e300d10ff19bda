#include "transportemcf.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace {

const char *const proprieteDelaiDepasse = "orvaneDelaiDepasse";
const char *const proprieteTropLongue = "orvaneTropLongue";

void refuserTropLongue(QNetworkReply *reponse)
{
    if (reponse->isFinished())
        return;
    reponse->setProperty(proprieteTropLongue, true);
    reponse->abort();
}

} // namespace

TransportEmcf transportEmcf(const QString &fichierAutorites, int delaiMs)
{
    TransportEmcf transport;
    if (!fichierAutorites.isEmpty())
        transport.autoritesSupplementaires = QSslCertificate::fromPath(fichierAutorites, QSsl::Pem);
    transport.delaiMs = delaiMs;
    return transport;
}

QSslConfiguration configurationTls(const TransportEmcf &transport)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    // What the network manager offers for each request (HTTP/2, else HTTP/1.1): a connection opened
    // ahead of the first request must offer the same, or that request would open another one.
    tls.setAllowedNextProtocols(
        {QSslConfiguration::ALPNProtocolHTTP2, QSslConfiguration::NextProtocolHttp1_1});
    // Only these authorities are trusted: adding them switches off the on-demand loading of the
    // system's roots, which is what is wanted (loading all of them would cost each run ~170 ms).
    if (!transport.autoritesSupplementaires.isEmpty())
        tls.addCaCertificates(transport.autoritesSupplementaires);
    return tls;
}

QNetworkRequest requeteEmcf(const QUrl &url, const QString &jeton, const TransportEmcf &transport)
{
    QNetworkRequest requete(url);
    requete.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + jeton.toUtf8());
    if (!transport.autoritesSupplementaires.isEmpty())
        requete.setSslConfiguration(configurationTls(transport));
    return requete;
}

void limiterDuree(QNetworkReply *reponse, int delaiMs, qint64 dejaEcouleMs)
{
    // The timer lives in the reply, so it goes with it; abort() makes the reply finish, which
    // hands it to its handler like any other failure.
    auto *minuterie = new QTimer(reponse);
    minuterie->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the limit is a promise to the caller.
    minuterie->setTimerType(Qt::PreciseTimer);
    QObject::connect(minuterie, &QTimer::timeout, reponse, [reponse] {
        if (reponse->isFinished())
            return;
        reponse->setProperty(proprieteDelaiDepasse, true);
        reponse->abort();
    });
    QObject::connect(reponse, &QNetworkReply::finished, minuterie, &QTimer::stop);
    minuterie->start(static_cast<int>(qBound<qint64>(0, qint64(delaiMs) - dejaEcouleMs, qint64(delaiMs))));
    reponse->setProperty("orvaneDelaiMs", delaiMs);

    // Qt stops reading from the socket once its buffer holds this much; one byte more than the
    // maximum tells a reply that is too long from one that is exactly as long as allowed.
    reponse->setReadBufferSize(tailleMaximaleReponse + 1);
    QObject::connect(reponse, &QNetworkReply::metaDataChanged, reponse, [reponse] {
        bool ok = false;
        const qint64 annoncee = reponse->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && annoncee > tailleMaximaleReponse)
            refuserTropLongue(reponse);
    });
    QObject::connect(reponse, &QIODevice::readyRead, reponse, [reponse] {
        if (reponse->bytesAvailable() > tailleMaximaleReponse)
            refuserTropLongue(reponse);
    });
}

ReponseEmcf lireReponse(QNetworkReply *reponse)
{
    using Echec = ReponseEmcf::Echec;
    ReponseEmcf lue;
    lue.statutHttp = reponse->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reponse->property(proprieteDelaiDepasse).toBool()) {
        lue.echec = Echec::Delai;
        lue.delaiMs = reponse->property("orvaneDelaiMs").toInt();
        return lue;
    }
    if (reponse->property(proprieteTropLongue).toBool() ||
        reponse->bytesAvailable() > tailleMaximaleReponse) {
        lue.echec = Echec::TropLongue;
        return lue;
    }
    switch (reponse->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::ConnectionRefusedError:
        lue.echec = Echec::ConnexionRefusee;
        return lue;
    case QNetworkReply::HostNotFoundError:
        lue.echec = Echec::ServeurIntrouvable;
        return lue;
    case QNetworkReply::SslHandshakeFailedError:
        lue.echec = Echec::Certificat;
        return lue;
    default:
        // An HTTP error status still has a body worth reading (the service's error report).
        if (lue.statutHttp == 0) {
            lue.echec = Echec::Reseau;
            lue.detail = reponse->errorString().toStdString();
            return lue;
        }
        break;
    }
    lue.corps = reponse->read(tailleMaximaleReponse + 1);
    if (lue.corps.size() > tailleMaximaleReponse) {
        lue.corps.clear();
        lue.echec = Echec::TropLongue;
    }
    return lue;
}
