#pragma once

#include "execution.h"
#include "resultatfiscal.h"

#include <QObject>
#include <QStringList>

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

    QString qrcode;
    QString mecef_tc;
    QString mecef_sig;
    QString mecef_nim;
    QString mecef_compt;
    QString mecef_date;
    // The six result texts as delivered by the certification path, in the order of the fields above.
    QStringList resultatMCF;

    // Certifies the invoice of the run on `chemin` (the fiscal device or the e-MCF service), which
    // announces its steps to `journal`; a certified invoice leaves its six texts in resultatMCF.
    void certifier(CheminCertification &chemin, JournalCertification &journal);

    // Presets the demonstration result ("DEMO" port on the device path).
    void prechargerDemonstration();
    ResultatFiscal resultatFiscal() const;
    void chargerResultat(const ResultatFiscal &resultat);
    // Stores resultatMCF in the register when it holds six texts; true when it was stored. When the
    // register refuses it, the result is not kept for the result files: the business application
    // must not take as done an invoice that the register does not hold.
    bool enregistrerResultat(Registre &registre);
    // Writes the QR images and the result file, then hands the invoice to orvane-render.
    void ecrireResultats(const QString &cheminEntree, const QString &cheminResultat);

private:
    Execution &m_execution;
    std::ostream &m_console;
};
