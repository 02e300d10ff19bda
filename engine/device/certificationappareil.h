#pragma once

#include "reglementappareil.h"

#include <chemincertification.h>
#include <parametres.h>

#include <ostream>

class CommandesMCF;
class LiaisonMCF;

// Certification on the fiscal device behind the serial port named by `portMCF`: opens the port,
// runs the invoice sequence and closes it again.
class CertificationAppareil : public CheminCertification
{
public:
    // `attenteMs` is the longest wait for each group of reply bytes.
    CertificationAppareil(const ParametresMoteur &parametres, int attenteMs, std::ostream &console);

    // Settles, with one close after checking the machine, the invoices that runs now gone left on
    // this device (opened, paid, close sent, or released by the operator while it may be open): a
    // validation is recorded under the reference it belongs to (see reglementappareil.h).
    void regler(const QList<LigneJournal> &enSuspens, const Invoice &facture, const QString &empreinte,
                JournalCertification &journal) override;
    std::optional<ResultatFiscal> certifier(const Invoice &facture, JournalCertification &journal) override;
    // Asks the device its state (which commits nothing) for its identifier.
    QString identifier() override;

private:
    QList<DecisionReglement> reglementApresFermeture(const QList<LigneJournal> &enSuspens,
                                                     CommandesMCF &commandes, const LiaisonMCF &liaison);
    void appliquer(const QList<DecisionReglement> &decisions, JournalCertification &journal);

    ParametresMoteur m_parametres;
    int m_attenteMs;
    std::ostream &m_console;
};
