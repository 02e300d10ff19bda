#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

// How the web client reaches the e-MCF service: extra certificate authorities to trust beside the
// system's, and the time limit of one request. Certificate verification itself is never switched off.
struct TransportEmcf
{
    QList<QSslCertificate> autoritesSupplementaires;
    int delaiMs = 30000;
};

// Loads the extra authorities from `fichierAutorites` (a PEM file; an empty path, an unreadable or
// empty file adds none) and takes `delaiMs` as the time limit of each request.
TransportEmcf transportEmcf(const QString &fichierAutorites, int delaiMs);

// A request to the service with the bearer token and the transport's trusted authorities.
QNetworkRequest requeteEmcf(const QUrl &url, const QString &jeton, const TransportEmcf &transport);

// Aborts `reponse` when it has not finished within the limit; lireReponse then sees it as empty.
void limiterDuree(QNetworkReply *reponse, int delaiMs);

// The whole body of a finished reply; empty for a reply cut by limiterDuree. The HTTP status and
// network errors are not looked at: a transport failure has no body.
QByteArray lireReponse(QNetworkReply *reponse);
