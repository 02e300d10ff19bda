#include "execution.h"

namespace {

int millisecondes(const char *variable, int parDefaut)
{
    bool ok = false;
    const int valeur = qEnvironmentVariableIntValue(variable, &ok);
    return ok && valeur > 0 ? valeur : parDefaut;
}

} // namespace

EnvironnementMoteur lireEnvironnement()
{
    EnvironnementMoteur e;
    e.attenteMcfMs = millisecondes("ORVANE_MCF_WAIT_MS", e.attenteMcfMs);
    e.adresseEmcf = qEnvironmentVariable("ORVANE_EMCF_URL");
    e.autoritesEmcf = qEnvironmentVariable("ORVANE_EMCF_CA");
    e.delaiEmcfMs = millisecondes("ORVANE_EMCF_TIMEOUT_MS", e.delaiEmcfMs);
    return e;
}
