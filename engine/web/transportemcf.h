#pragma once

#include "decisionsemcf.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

// How the web client reaches the e-MCF service: the certificate authorities to trust instead of the
// system's (none: the system's), and the time limit of one request. Certificate verification itself
// is never switched off.
struct TransportEmcf
{
    QList<QSslCertificate> autoritesSupplementaires;
    int delaiMs = 30000;
};

// Loads the authorities of `fichierAutorites` (a PEM file; an empty path, an unreadable or empty
// file leaves the system's in force) and takes `delaiMs` as the time limit of each request.
TransportEmcf transportEmcf(const QString &fichierAutorites, int delaiMs);

// The TLS settings of every connection to the service: the default ones, with only the transport's
// authorities trusted when it names some.
QSslConfiguration configurationTls(const TransportEmcf &transport);

// A request to the service with the bearer token and the transport's TLS settings.
QNetworkRequest requeteEmcf(const QUrl &url, const QString &jeton, const TransportEmcf &transport);

// Aborts `reponse` when it has not finished within the limit, or as soon as its body grows over
// tailleMaximaleReponse (never more than about that much is held); lireReponse then tells why.
// `dejaEcouleMs` of the limit may have gone already (waiting for the connection the request uses).
void limiterDuree(QNetworkReply *reponse, int delaiMs, qint64 dejaEcouleMs = 0);

// The body of a finished reply with its HTTP status and, after a failure, what failed: the one
// place where the network's errors become the exchange's outcomes.
ReponseEmcf lireReponse(QNetworkReply *reponse);
