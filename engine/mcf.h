#pragma once

#include "execution.h"
#include <resultatfiscal.h>

#include <QObject>

#include <optional>

#include <ostream>

class CheminCertification;
class JournalCertification;
class Registre;

// The engine object of one run: holds the fiscal result, has the invoice certified by the path the
// run chose, records the result in the register and writes the result files.
class MCF : public QObject
{
public:
    MCF(Execution &execution, std::ostream &console);
    ~MCF() override;

    // The fiscal result the run writes out: from the register (a reprint), from the certification
    // path once recorded, or the demonstration preset.
    ResultatFiscal resultat;
    // The fiscal result as delivered by the certification path; nothing when it did not certify.
    std::optional<ResultatFiscal> resultatMCF;

    // Certifies the invoice of the run on `chemin` (the fiscal device or the e-MCF service), which
    // announces its steps to `journal`; a certified invoice leaves its result in resultatMCF.
    void certifier(CheminCertification &chemin, JournalCertification &journal);

    // Presets the demonstration result ("DEMO" port on the device path).
    void prechargerDemonstration();
    // Stores resultatMCF in the register when there is one; true when it was stored. When the
    // register refuses it, the result is not kept for the result files: the business application
    // must not take as done an invoice that the register does not hold.
    // The invoice's amounts are recorded with it, with the device or account `appareil` that
    // certified it.
    bool enregistrerResultat(Registre &registre, const QString &appareil);
    // Writes the QR images and the result file, then hands the invoice to orvane-render.
    void ecrireResultats(const QString &cheminEntree, const QString &cheminResultat);

private:
    Execution &m_execution;
    std::ostream &m_console;
};
