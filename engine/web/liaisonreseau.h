#pragma once

#include "liaisonhttp.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>

#include <optional>

class QNetworkReply;

// The connection to the e-MCF service through Qt's network access manager: HTTPS (or plain HTTP for
// an http address), HTTP/1.1 kept alive from one request to the next, through the system's proxy
// when it names one. Redirects are never followed, a reply is never read past the maximum, and the
// server's certificate is always verified (against `fichierAutorites` alone when it is given).
class LiaisonReseau : public QObject, public LiaisonHttp
{
public:
    LiaisonReseau(const QUrl &adresse, const QString &fichierAutorites, QObject *parent = nullptr);
    ~LiaisonReseau() override;

    void ouvrir() override;
    void envoyer(const RequeteEmcf &requete, Fin fin) override;
    void abandonner() override;
    void fermer() override;

private:
    const QSslConfiguration &tls();
    void lancer(const RequeteEmcf &requete);
    void surveiller(QNetworkReply *reponse);
    void finir(QNetworkReply *reponse);
    void depasser(QNetworkReply *reponse);
    void rendre(const ReponseEmcf &reponse);

    QUrl m_adresse;
    QString m_fichierAutorites;
    QNetworkAccessManager m_gestionnaire;
    QNetworkProxy m_proxy;
    // Made when first needed: even an empty configuration starts the TLS back-end.
    std::optional<QSslConfiguration> m_tls;
    bool m_ouvertureEnCours = false;
    std::optional<RequeteEmcf> m_enAttente; // sent once the connection opened ahead is ready
    std::optional<ReponseEmcf> m_echecProxy; // the proxy failed the connection opened ahead
    quint64 m_generation = 0;                // counts abandoned requests
    QPointer<QNetworkReply> m_reponse;
    QByteArray m_corps; // the body received so far
    Fin m_fin;
};

// What a finished reply of the manager makes for the exchange, without its body, which the caller
// has read: its HTTP status, or the failure on the way. An HTTP error status is a reply, not a
// failure. `proxy` is the one the request went through (NoProxy when none).
ReponseEmcf reponseDuReseau(QNetworkReply &reponse, const QNetworkProxy &proxy);

// The proxy Qt uses to reach `adresse`: the system's, none for this machine.
QNetworkProxy proxyVers(const QUrl &adresse);
