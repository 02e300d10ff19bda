#include "../mcf.h"

#include "adressesemcf.h"
#include "decisionsemcf.h"
#include "transportemcf.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

// The e-MCF exchange: status request, submission, then confirmation or cancellation. Each handler
// reads its reply, prints it unchanged, asks the pure decision functions what comes next, and
// either sends the next request on the manager whose handler expects its reply or ends the loop.

void MCF::demanderEtatServeur()
{
    // Certificates and TLS are only touched from here on: the device path never pays for them.
    ParametresMoteur &parametres = m_execution.parametres;
    parametres.adresseApi = adresseApiEffective(parametres.adresseApi);
    m_execution.transport = transportEmcf();

    const QNetworkRequest requete =
        requeteEmcf(QUrl(parametres.adresseApi), parametres.jeton, m_execution.transport);
    limiterDuree(m_execution.reseau.etat->get(requete), m_execution.transport.delaiMs);
}

namespace {

// The pending invoice a decision request is about, and whether that request is a cancellation.
const char *const proprieteUid = "orvaneUid";
const char *const proprieteAnnulation = "orvaneAnnulation";

} // namespace

void MCF::traiterEtatServeur(QNetworkReply *reponse)
{
    reponse->deleteLater();
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const DecisionEmcf decision =
        decisionEtatServeur(corps, {m_execution.facture, m_execution.parametres, m_execution.tables});
    m_console << decision.console;
    if (decision.suite != DecisionEmcf::Suite::Soumettre) {
        terminerEchangeEmcf();
        return;
    }
    m_execution.sommeQuantites += decision.sommeQuantites;
    const ParametresMoteur &parametres = m_execution.parametres;
    QNetworkRequest requete =
        requeteEmcf(QUrl(parametres.adresseApi), parametres.jeton, m_execution.transport);
    requete.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    limiterDuree(m_execution.reseau.enregistrement->post(requete, decision.corps),
                 m_execution.transport.delaiMs);
}

void MCF::traiterEnregistrement(QNetworkReply *reponse)
{
    reponse->deleteLater();
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const ParametresMoteur &parametres = m_execution.parametres;
    const DecisionEmcf decision = decisionEnregistrement(corps, m_execution.facture.totalFacture,
                                                         parametres.tolerance, m_execution.sommeQuantites);
    m_console << decision.console;
    if (decision.suite == DecisionEmcf::Suite::Terminer) {
        terminerEchangeEmcf();
        return;
    }
    envoyerDecision(decision.uid, decision.suite == DecisionEmcf::Suite::Annuler);
}

void MCF::envoyerDecision(const QString &uid, bool annuler)
{
    const ParametresMoteur &parametres = m_execution.parametres;
    const QUrl url = urlDecision(parametres.adresseApi, uid, !annuler);
    // The decision is a PUT with an empty body and no content type.
    const QNetworkRequest requete = requeteEmcf(url, parametres.jeton, m_execution.transport);
    QNetworkReply *reponse = m_execution.reseau.confirmation->put(requete, QByteArray());
    reponse->setProperty(proprieteUid, uid);
    reponse->setProperty(proprieteAnnulation, annuler);
    limiterDuree(reponse, m_execution.transport.delaiMs);
}

void MCF::traiterConfirmation(QNetworkReply *reponse)
{
    reponse->deleteLater();
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    if (reponse->property(proprieteAnnulation).toBool()) {
        m_console << decisionAnnulation(corps).console;
        terminerEchangeEmcf();
        return;
    }
    const DecisionEmcf decision = decisionConfirmation(corps, m_execution.parametres.pays);
    m_console << decision.console;
    resultatMCF.append(decision.resultat);
    if (decision.suite == DecisionEmcf::Suite::Annuler) {
        // The confirmation failed: the pending invoice is cancelled rather than left at the service.
        const QString uid = reponse->property(proprieteUid).toString();
        m_console << ligneAbandon(uid);
        envoyerDecision(uid, true);
        return;
    }
    terminerEchangeEmcf();
}

ReponseEmcf MCF::lireReponseEmcf(QNetworkReply *reponse)
{
    // The raw reply goes to the console as it came, before anything is made of it.
    const ReponseEmcf lue = lireReponse(reponse);
    m_console << texteReponse(lue);
    return lue;
}

void MCF::terminerEchangeEmcf()
{
    // Kept-alive connections are closed now, while the application still exists: closed later,
    // from the application's destructor, the TLS layer can no longer shut down cleanly.
    for (QNetworkAccessManager *gestionnaire :
         {m_execution.reseau.etat, m_execution.reseau.enregistrement, m_execution.reseau.confirmation}) {
        if (gestionnaire)
            gestionnaire->clearConnectionCache();
    }
    QCoreApplication::quit();
}
