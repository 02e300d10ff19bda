#pragma once

#include "moduleemcf.h"
#include "transportemcf.h"

#include <chemincertification.h>
#include <invoice.h>
#include <journalcertification.h>
#include <parametres.h>

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <ostream>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;

// The e-MCF exchange of one run: status request, submission, then confirmation or cancellation.
// All requests go through one network manager, so that they share one kept-alive connection (one
// TCP and TLS handshake per invoice). Each handler reads its reply, prints it unchanged, asks the
// pure decision functions what comes next, and either sends the next request or ends the exchange.
// A run never leaves a pending invoice behind when it can help it: after a failed confirmation it
// cancels the invoice it submitted.
class ClientEmcf : public QObject, public CheminCertification
{
public:
    // `reseau` is the network manager to use (tests pass a scripted one); by default the client
    // makes its own.
    ClientEmcf(const ParametresMoteur &parametres, const TablesReference &tables,
               const ReglagesEmcf &reglages, std::ostream &console, QNetworkAccessManager *reseau = nullptr);
    ~ClientEmcf() override;

    // Opens the TLS connection to the service that the run's requests will use.
    void preparer() override;

    // Settles invoices that runs which died left pending on the service: the one pending for this
    // very invoice (same reference and fingerprint) is confirmed, any other is cancelled. One whose
    // confirmation was sent is looked up first; the service then tells whether it is still pending.
    void regler(const QList<LigneJournal> &enSuspens, const Invoice &facture, const QString &empreinte,
                JournalCertification &journal) override;
    // Runs the whole exchange for `facture` in a local event loop.
    std::optional<ResultatFiscal> certifier(const Invoice &facture, JournalCertification &journal) override;

    // Sum of the item quantities of the submitted invoice: the default allowance of the total check.
    double sommeQuantites() const { return m_sommeQuantites; }

    void traiterEtatServeur(QNetworkReply *reponse);
    void traiterEnregistrement(QNetworkReply *reponse);
    void traiterConfirmation(QNetworkReply *reponse);
    void traiterAnnulation(QNetworkReply *reponse);

private:
    using Traitement = void (ClientEmcf::*)(QNetworkReply *);
    // Hands `reponse`, once finished or out of time, to `traitement`.
    void suivre(QNetworkReply *reponse, Traitement traitement);
    // Waits for the connection opened by preparer(), once, before the first request.
    void attendreConnexion();
    // The part of the next request's time limit already spent: the first request shares its limit
    // with the connection opened ahead, later ones have a whole limit.
    qint64 limiteDejaEntameeMs();
    // Reads a finished reply and prints it unchanged (never a body over the maximum).
    ReponseEmcf lireReponseEmcf(QNetworkReply *reponse);
    // Sends one request outside the chain and waits for its reply.
    ReponseEmcf echanger(QNetworkReply *reponse);
    // Sends the confirmation, or the cancellation, of the pending invoice `uid`.
    void envoyerDecision(const QString &uid, bool annuler);
    // Confirms or cancels a pending invoice outside the chain; the fiscal result of a confirmation.
    std::optional<ResultatFiscal> deciderEnSuspens(const QString &uid, bool confirmer);
    void terminer();

    const ParametresMoteur &m_parametres;
    const TablesReference &m_tables;
    ReglagesEmcf m_reglages;
    std::ostream &m_console;
    QNetworkAccessManager *m_reseau;
    TransportEmcf m_transport;

    const Invoice *m_facture = nullptr;
    JournalCertification *m_journal = nullptr;
    double m_sommeQuantites = 0;
    QString m_uid; // the pending invoice, once the service has taken the submission
    QStringList m_resultat;
    QEventLoop *m_boucle = nullptr;
    bool m_termine = false;
    // The connection opened ahead by preparer() is still being set up; the loop that waits for it.
    bool m_connexionEnCours = false;
    bool m_connexionPreparee = false; // preparer() has loaded the transport and opened a connection
    bool m_connexionAttendue = false; // the first request has waited for that connection
    QEventLoop *m_attenteConnexion = nullptr;
    // Since the connection was opened ahead: the first request's time limit counts from then.
    QElapsedTimer m_depuisConnexion;
};
