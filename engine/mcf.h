#pragma once

#include "execution.h"
#include "registre.h"

#include <QObject>
#include <QStringList>

#include <ostream>

class QCoreApplication;
class QNetworkReply;

// The engine object of one run: holds the fiscal result and runs the two certification paths,
// the recording in the register and the writing of the result files.
class MCF : public QObject
{
public:
    MCF(QCoreApplication *application, Execution &execution, std::ostream &console);
    ~MCF() override;

    QCoreApplication *application; // not owned
    QString qrcode;
    QString mecef_tc;
    QString mecef_sig;
    QString mecef_nim;
    QString mecef_compt;
    QString mecef_date;
    // The six result texts as delivered by the device or web path, in the order of the fields above.
    QStringList resultatMCF;

    // Device path: certifies the invoice of the run on the fiscal device (engine/device).
    void certifierParMCF(const QString &reference);

    // Web path (engine/web): sends the status request; the three handlers chain the exchanges and
    // end the event loop.
    void demanderEtatServeur();
    void traiterEtatServeur(QNetworkReply *reponse);
    void traiterEnregistrement(QNetworkReply *reponse);
    void traiterConfirmation(QNetworkReply *reponse);

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

    // Device path: private members of the fiscal device link.

    // Web path: private members of the e-MCF client.
    // Reads a finished reply and prints it unchanged.
    ReponseEmcf lireReponseEmcf(QNetworkReply *reponse);
    // Sends the confirmation, or the cancellation, of the pending invoice `uid`.
    void envoyerDecision(const QString &uid, bool annuler);
    // Ends the event loop of the exchange.
    void terminerEchangeEmcf();
};
