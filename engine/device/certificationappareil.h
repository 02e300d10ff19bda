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

    // Closes, after checking the machine, each invoice that a run which died left open or paid on
    // this device: a paid one is validated by the device and recorded under its own reference.
    void regler(const QList<LigneJournal> &enSuspens, const Invoice &facture, const QString &empreinte,
                JournalCertification &journal) override;
    std::optional<ResultatFiscal> certifier(const Invoice &facture, JournalCertification &journal) override;

private:
    ParametresMoteur m_parametres;
    int m_attenteMs;
    std::ostream &m_console;
};
