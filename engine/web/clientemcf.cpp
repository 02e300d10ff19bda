#include "clientemcf.h"

#include "decisionsemcf.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

ClientEmcf::ClientEmcf(const ParametresMoteur &parametres, const TablesReference &tables,
                       const ReglagesEmcf &reglages, std::ostream &console, QNetworkAccessManager *reseau)
    : m_parametres(parametres), m_tables(tables), m_reglages(reglages), m_console(console),
      m_reseau(reseau ? reseau : new QNetworkAccessManager(this))
{
}

ClientEmcf::~ClientEmcf() = default;

std::optional<ResultatFiscal> ClientEmcf::certifier(const Invoice &facture)
{
    m_facture = &facture;
    m_sommeQuantites = 0;
    m_uid.clear();
    m_resultat.clear();
    m_termine = false;
    // Certificates and TLS are only touched from here on: the device path never pays for them.
    m_transport = transportEmcf(m_reglages.fichierAutorites, m_reglages.delaiMs);

    QEventLoop boucle;
    m_boucle = &boucle;
    suivre(m_reseau->get(requeteEmcf(QUrl(m_reglages.adresse), m_parametres.jeton, m_transport)),
           &ClientEmcf::traiterEtatServeur);
    if (!m_termine)
        boucle.exec();
    m_boucle = nullptr;
    m_facture = nullptr;
    return resultatDepuisListe(m_resultat);
}

void ClientEmcf::suivre(QNetworkReply *reponse, Traitement traitement)
{
    connect(reponse, &QNetworkReply::finished, this, [this, reponse, traitement] {
        reponse->deleteLater();
        (this->*traitement)(reponse);
    });
    limiterDuree(reponse, m_transport.delaiMs);
}

void ClientEmcf::traiterEtatServeur(QNetworkReply *reponse)
{
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const DecisionEmcf decision = decisionEtatServeur(corps, {*m_facture, m_parametres, m_tables});
    m_console << decision.console;
    if (decision.suite != DecisionEmcf::Suite::Soumettre) {
        terminer();
        return;
    }
    m_sommeQuantites += decision.sommeQuantites;
    QNetworkRequest requete = requeteEmcf(QUrl(m_reglages.adresse), m_parametres.jeton, m_transport);
    requete.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    suivre(m_reseau->post(requete, decision.corps), &ClientEmcf::traiterEnregistrement);
}

void ClientEmcf::traiterEnregistrement(QNetworkReply *reponse)
{
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const DecisionEmcf decision =
        decisionEnregistrement(corps, m_facture->totalFacture, m_parametres.tolerance, m_sommeQuantites);
    m_console << decision.console;
    if (decision.suite == DecisionEmcf::Suite::Terminer) {
        terminer();
        return;
    }
    m_uid = decision.uid;
    envoyerDecision(m_uid, decision.suite == DecisionEmcf::Suite::Annuler);
}

void ClientEmcf::envoyerDecision(const QString &uid, bool annuler)
{
    const QUrl url = urlDecision(m_reglages.adresse, uid, !annuler);
    // The decision is a PUT with an empty body and no content type.
    suivre(m_reseau->put(requeteEmcf(url, m_parametres.jeton, m_transport), QByteArray()),
           annuler ? &ClientEmcf::traiterAnnulation : &ClientEmcf::traiterConfirmation);
}

void ClientEmcf::traiterConfirmation(QNetworkReply *reponse)
{
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const DecisionEmcf decision = decisionConfirmation(corps, m_parametres.pays);
    m_console << decision.console;
    m_resultat = decision.resultat;
    if (decision.suite == DecisionEmcf::Suite::Annuler) {
        // The run gives up: the invoice it submitted is cancelled rather than left pending.
        m_console << ligneAbandon(m_uid);
        envoyerDecision(m_uid, true);
        return;
    }
    terminer();
}

void ClientEmcf::traiterAnnulation(QNetworkReply *reponse)
{
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    m_console << decisionAnnulation(corps).console;
    terminer();
}

ReponseEmcf ClientEmcf::lireReponseEmcf(QNetworkReply *reponse)
{
    // The raw reply goes to the console as it came, before anything is made of it.
    const ReponseEmcf lue = lireReponse(reponse);
    m_console << texteReponse(lue);
    return lue;
}

void ClientEmcf::terminer()
{
    // The kept-alive connection is closed now, while the application still exists: closed later,
    // from the application's destructor, the TLS layer can no longer shut down cleanly.
    m_reseau->clearConnectionCache();
    m_termine = true;
    if (m_boucle)
        m_boucle->quit();
}
