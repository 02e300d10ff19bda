#pragma once

#include "decisionsemcf.h"
#include "echangehttp.h"

#include <functional>

// How the e-MCF client reaches the service: one connection that carries the run's requests one
// after the other. The real one is ConnexionHttps; tests script their own. Time limits are the
// client's: a liaison waits as long as it is let.
class LiaisonHttp
{
public:
    using Fin = std::function<void(const ReponseEmcf &)>;

    virtual ~LiaisonHttp() = default;
    // Starts opening the connection, ahead of the first request.
    virtual void ouvrir() = 0;
    // Sends `requete` once the connection is ready (opening one when none is) and hands its reply,
    // or what failed, to `fin`, from the event loop. One request at a time.
    virtual void envoyer(const RequeteEmcf &requete, Fin fin) = 0;
    // Drops the request under way, whose `fin` is then never called, and the connection with it.
    virtual void abandonner() = 0;
    // Closes the connection once the exchange is over.
    virtual void fermer() = 0;
};
