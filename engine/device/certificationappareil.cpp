#include "certificationappareil.h"

#include "portmcf.h"
#include "sequencefacture.h"

CertificationAppareil::CertificationAppareil(const ParametresMoteur &parametres, int attenteMs,
                                             std::ostream &console)
    : m_parametres(parametres), m_attenteMs(attenteMs), m_console(console)
{
}

std::optional<ResultatFiscal> CertificationAppareil::certifier(const Invoice &facture)
{
    ContexteAppareil contexte;
    contexte.facture = facture;
    contexte.parametres = m_parametres;
    PortSerieMCF port(m_parametres.portMCF);
    const std::optional<QStringList> resultat =
        certifierSurAppareil(facture.reference, contexte, port, m_console, m_attenteMs);
    return resultat ? resultatDepuisListe(*resultat) : std::nullopt;
}
