#pragma once

#include "decisionsemcf.h"

#include <QMetaType>

// Replies of the e-MCF service as the client's rules see them, for data-driven tests.
Q_DECLARE_METATYPE(ReponseEmcf)

// No reply: the exchange failed on the way (`delaiMs`: the limit that ran out).
inline ReponseEmcf echec(ReponseEmcf::Echec e, int delaiMs = 0)
{
    ReponseEmcf r;
    r.echec = e;
    r.delaiMs = delaiMs;
    return r;
}

// A reply with HTTP status `statut` and its body.
inline ReponseEmcf http(int statut, const QByteArray &corps)
{
    ReponseEmcf r(corps);
    r.statutHttp = statut;
    return r;
}
