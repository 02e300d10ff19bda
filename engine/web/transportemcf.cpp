#include "transportemcf.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace {

const char *const proprieteDelaiDepasse = "orvaneDelaiDepasse";

} // namespace

TransportEmcf transportEmcf(const QString &fichierAutorites, int delaiMs)
{
    TransportEmcf transport;
    if (!fichierAutorites.isEmpty())
        transport.autoritesSupplementaires = QSslCertificate::fromPath(fichierAutorites, QSsl::Pem);
    transport.delaiMs = delaiMs;
    return transport;
}

QNetworkRequest requeteEmcf(const QUrl &url, const QString &jeton, const TransportEmcf &transport)
{
    QNetworkRequest requete(url);
    requete.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + jeton.toUtf8());
    if (!transport.autoritesSupplementaires.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(transport.autoritesSupplementaires);
        requete.setSslConfiguration(tls);
    }
    return requete;
}

void limiterDuree(QNetworkReply *reponse, int delaiMs)
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
    minuterie->start(delaiMs);
}

QByteArray lireReponse(QNetworkReply *reponse)
{
    const QByteArray corps = reponse->readAll();
    if (reponse->property(proprieteDelaiDepasse).toBool())
        return {};
    return corps;
}
