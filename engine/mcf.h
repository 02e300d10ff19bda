#pragma once

#include "execution.h"
#include "resultatfiscal.h"

#include <QObject>
#include <QStringList>

#include <ostream>

class CheminCertification;
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

    // Certifies the invoice of the run on `chemin` (the fiscal device or the e-MCF service); a
    // certified invoice leaves its six texts in resultatMCF.
    void certifier(CheminCertification &chemin);

    // Presets the demonstration result ("DEMO" port on the device path).
    void prechargerDemonstration();
    ResultatFiscal resultatFiscal() const;
    void chargerResultat(const ResultatFiscal &resultat);
    // Stores resultatMCF in the register when it holds six texts.
    void enregistrerResultat(Registre &registre);
    // Writes the QR images and the result file, then hands the invoice to orvane-render.
    void ecrireResultats(const QString &cheminEntree, const QString &cheminResultat);

private:
    Execution &m_execution;
    std::ostream &m_console;
};
