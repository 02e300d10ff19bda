#pragma once

#include "decisionsemcf.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

// One request of the e-MCF exchange.
struct RequeteEmcf
{
    QByteArray methode; // "GET", "POST", "PUT"
    QUrl url;
    QString jeton;          // sent as a bearer token
    QByteArray corps;       // sent with its length, even empty, except for GET
    QByteArray typeContenu; // Content-Type when not empty
};

// How the e-MCF client reaches the service: one connection that carries the run's requests one
// after the other. The real one is LiaisonReseau; tests script their own. Time limits are the
// client's: a liaison waits as long as it is let.
class LiaisonHttp
{
public:
    using Fin = std::function<void(const ReponseEmcf &)>;

    virtual ~LiaisonHttp() = default;
    // Starts opening the connection, ahead of the first request.
    virtual void ouvrir() = 0;
    // Sends `requete` (opening a connection when none is ready) and hands its reply, or what
    // failed, to `fin`, from the event loop. One request at a time.
    virtual void envoyer(const RequeteEmcf &requete, Fin fin) = 0;
    // Drops the request under way, whose `fin` is then never called, and the connection with it.
    virtual void abandonner() = 0;
    // Closes the connection once the exchange is over.
    virtual void fermer() = 0;
};
