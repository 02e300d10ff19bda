#pragma once

#include "liaisonhttp.h"

#include <QByteArray>
#include <QObject>
#include <QSslConfiguration>
#include <QUrl>

#include <optional>

class QAbstractSocket;
class QSslSocket;
class QTcpSocket;

// The connection to the e-MCF service: HTTP/1.1 over TLS (or plain HTTP for an http address),
// kept alive from one request to the next.
//
// Opening it sends the TCP connection request first and only then sets up TLS (Qt's TLS back-end
// and OpenSSL take ~10 ms to start, the authorities file ~5 ms to read): that work runs while the
// connection request crosses the network instead of delaying it. The connected socket is then
// handed to a TLS socket, which runs the handshake.
class ConnexionHttps : public QObject, public LiaisonHttp
{
public:
    // `fichierAutorites`: a PEM file of the only authorities to trust, empty for the system's.
    ConnexionHttps(const QUrl &adresse, const QString &fichierAutorites, QObject *parent = nullptr);
    ~ConnexionHttps() override;

    void ouvrir() override;
    void envoyer(const RequeteEmcf &requete, Fin fin) override;
    void abandonner() override;
    void fermer() override;

private:
    void connexionEtablie();
    void pret();
    void lire();
    void fermeture();
    // Whether the request can go again on a new connection: the kept-alive one it went on was
    // closed by the server before any byte of the reply.
    bool renvoyer();
    void erreur(QAbstractSocket *socket);
    void echouer(ReponseEmcf::Echec echec, const QString &detail = QString());
    void finir(const ReponseEmcf &reponse);
    // Drops both sockets (later: this may run inside one of their signals).
    void liberer();

    QUrl m_adresse;
    QString m_fichierAutorites;
    bool m_chiffree;
    // Made when first needed: even an empty configuration starts the TLS back-end.
    std::optional<QSslConfiguration> m_tls;
    QTcpSocket *m_tcp = nullptr;         // while the TCP connection is being set up
    QSslSocket *m_ssl = nullptr;         // then the TLS socket that carries it
    QAbstractSocket *m_socket = nullptr; // the socket requests go on, once ready
    bool m_pret = false;
    QByteArray m_requete; // waiting for the connection, then sent
    bool m_envoyee = false;
    bool m_reutilisee = false; // the request went on a connection that carried another one
    bool m_renvoyee = false;   // and was sent again on a new one when that connection was gone
    QByteArray m_recus;
    Fin m_fin;
    // Why the connection opened ahead failed, for the first request.
    std::optional<ReponseEmcf> m_echecOuverture;
};
