#include "../mcf.h"

#include "portmcf.h"
#include "sequencefacture.h"

namespace {

// Longest wait for reply bytes: 30 s, or ORVANE_MCF_WAIT_MS when set to a positive number (tests
// and simulators answer at once and need not wait that long for silence).
int attenteReponseMs()
{
    bool ok = false;
    const int attente = qEnvironmentVariableIntValue("ORVANE_MCF_WAIT_MS", &ok);
    return ok && attente > 0 ? attente : 30000;
}

} // namespace

void MCF::certifierParMCF(const QString &reference)
{
    PortSerieMCF port(m_execution.parametres.portMCF);
    if (const std::optional<QStringList> resultat =
            certifierSurAppareil(reference, m_execution, port, m_console, attenteReponseMs()))
        resultatMCF = *resultat;
}
