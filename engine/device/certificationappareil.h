#pragma once

#include <chemincertification.h>
#include <parametres.h>

#include <ostream>

// Certification on the fiscal device behind the serial port named by `portMCF`: opens the port,
// runs the invoice sequence and closes it again.
class CertificationAppareil : public CheminCertification
{
public:
    // `attenteMs` is the longest wait for each group of reply bytes.
    CertificationAppareil(const ParametresMoteur &parametres, int attenteMs, std::ostream &console);

    std::optional<ResultatFiscal> certifier(const Invoice &facture) override;

private:
    ParametresMoteur m_parametres;
    int m_attenteMs;
    std::ostream &m_console;
};
