#pragma once

#include "liaisonhttp.h"
#include "moduleemcf.h"

#include <chemincertification.h>
#include <invoice.h>
#include <journalcertification.h>
#include <parametres.h>

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <memory>
#include <ostream>

class QEventLoop;
class QTimer;

// The e-MCF exchange of one run: status request, submission, then confirmation or cancellation.
// All requests go through one liaison, so that they share one kept-alive connection (one TCP and
// TLS handshake per invoice). Each handler reads its reply, prints it unchanged, asks the
// pure decision functions what comes next, and either sends the next request or ends the exchange.
// A run never leaves a pending invoice behind when it can help it: after a failed confirmation it
// cancels the invoice it submitted.
class ClientEmcf : public QObject, public CheminCertification
{
public:
    // `liaison` is the connection to use (tests pass a scripted one, which stays theirs); by default
    // the client opens its own HTTPS connection to the service.
    ClientEmcf(const ParametresMoteur &parametres, const TablesReference &tables,
               const ReglagesEmcf &reglages, std::ostream &console, LiaisonHttp *liaison = nullptr);
    ~ClientEmcf() override;

    // Opens the connection to the service that the run's requests will use.
    void preparer() override;

    // Settles invoices that runs which died left pending on the service: the one whose confirmation
    // was decided for this very invoice (same reference and fingerprint) is confirmed, any other is
    // cancelled. One whose confirmation was sent is looked up first; the service then tells whether
    // it is still pending. A submission whose reply was lost is looked for among the pending ones.
    void regler(const QList<LigneJournal> &enSuspens, const Invoice &facture, const QString &empreinte,
                JournalCertification &journal) override;
    // Runs the whole exchange for `facture` in a local event loop.
    std::optional<ResultatFiscal> certifier(const Invoice &facture, JournalCertification &journal) override;

    // Sum of the item quantities of the submitted invoice: the default allowance of the total check.
    double sommeQuantites() const { return m_sommeQuantites; }

private:
    void traiterEtatServeur(const ReponseEmcf &reponse);
    void traiterEnregistrement(const ReponseEmcf &reponse);
    void traiterConfirmation(const ReponseEmcf &reponse);
    void traiterAnnulation(const ReponseEmcf &reponse);

    using Traitement = void (ClientEmcf::*)(const ReponseEmcf &);
    // Sends `requete` and hands its reply, or the failure, to `traitement` once it came or once
    // the time limit ran out.
    void envoyer(const RequeteEmcf &requete, Traitement traitement);
    void envoyer(const RequeteEmcf &requete, LiaisonHttp::Fin fin);
    // A request to the service with the run's token.
    RequeteEmcf requete(const QByteArray &methode, const QUrl &url) const;
    // The part of the next request's time limit already spent: the first request shares its limit
    // with the connection opened ahead, later ones have a whole limit.
    qint64 limiteDejaEntameeMs();
    // Prints a reply unchanged (never a body over the maximum) and passes it on.
    const ReponseEmcf &afficher(const ReponseEmcf &reponse);
    // Sends one request outside the chain and waits for its reply.
    ReponseEmcf echanger(const RequeteEmcf &requete);
    // Sends the confirmation, or the cancellation, of the pending invoice `uid`.
    void envoyerDecision(const QString &uid, bool annuler);
    // Confirms or cancels a pending invoice outside the chain; the fiscal result of a confirmation.
    std::optional<ResultatFiscal> deciderEnSuspens(const QString &uid, bool confirmer);
    // The details of the pending invoice `uid`.
    QUrl urlEnAttente(const QString &uid) const;
    // Submissions whose reply was lost: each one's pending invoice, found by what it carries, is
    // cancelled, and its row released.
    void retrouverSoumissions(const QList<LigneJournal> &sansReponse, JournalCertification &journal);
    void terminer();

    const ParametresMoteur &m_parametres;
    const TablesReference &m_tables;
    ReglagesEmcf m_reglages;
    std::ostream &m_console;
    std::unique_ptr<LiaisonHttp> m_liaisonPropre;
    LiaisonHttp *m_liaison;
    QTimer *m_limite;

    const Invoice *m_facture = nullptr;
    JournalCertification *m_journal = nullptr;
    double m_sommeQuantites = 0;
    QString m_uid; // the pending invoice, once the service has taken the submission
    std::optional<ResultatFiscal> m_resultat;
    QEventLoop *m_boucle = nullptr;
    bool m_termine = false;
    // Since the connection was opened ahead: the first request's time limit counts from then.
    QElapsedTimer m_depuisConnexion;
};
