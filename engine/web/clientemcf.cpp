#include "clientemcf.h"

#include "decisionsemcf.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

ClientEmcf::ClientEmcf(const ParametresMoteur &parametres, const TablesReference &tables,
                       const ReglagesEmcf &reglages, std::ostream &console, QNetworkAccessManager *reseau)
    : m_parametres(parametres), m_tables(tables), m_reglages(reglages), m_console(console),
      m_reseau(reseau ? reseau : new QNetworkAccessManager(this))
{
}

ClientEmcf::~ClientEmcf() = default;

void ClientEmcf::preparer()
{
    // Certificates and TLS are only touched from here on: the device path never pays for them.
    m_transport = transportEmcf(m_reglages.fichierAutorites, m_reglages.delaiMs);
    // The TCP and TLS handshakes take two round trips: they run while the register is read and the
    // claim written.
    const QUrl adresse(m_reglages.adresse);
    // The manager makes a reply of its own for the handshakes; it is known by its scheme.
    connect(m_reseau, &QNetworkAccessManager::finished, this, [this](QNetworkReply *reponse) {
        if (reponse->url().scheme().startsWith(QLatin1String("preconnect-"))) {
            m_connexionEnCours = false;
            if (m_attenteConnexion)
                m_attenteConnexion->quit();
        }
    });
    m_connexionEnCours =
        adresse.scheme() == QLatin1String("https") || adresse.scheme() == QLatin1String("http");
    m_depuisConnexion.start();
    m_connexionPreparee = true;
    if (adresse.scheme() == QLatin1String("https"))
        m_reseau->connectToHostEncrypted(adresse.host(), static_cast<quint16>(adresse.port(443)),
                                         configurationTls(m_transport));
    else if (adresse.scheme() == QLatin1String("http"))
        m_reseau->connectToHost(adresse.host(), static_cast<quint16>(adresse.port(80)));
}

void ClientEmcf::attendreConnexion()
{
    if (!m_depuisConnexion.isValid() || m_connexionAttendue)
        return;
    m_connexionAttendue = true;
    // The first request waits for the connection opened ahead, so that it goes out on it instead of
    // opening another one.
    const qint64 ecouleMs = m_depuisConnexion.elapsed();
    if (m_connexionEnCours && ecouleMs < m_transport.delaiMs) {
        QEventLoop attente;
        QTimer limite;
        limite.setSingleShot(true);
        connect(&limite, &QTimer::timeout, &attente, &QEventLoop::quit);
        limite.start(static_cast<int>(m_transport.delaiMs - ecouleMs));
        m_attenteConnexion = &attente;
        attente.exec();
        m_attenteConnexion = nullptr;
    }
}

qint64 ClientEmcf::limiteDejaEntameeMs()
{
    // Connection and first reply together take no longer than one request's limit, as when the
    // request opened the connection itself; every later request has a whole limit.
    if (!m_depuisConnexion.isValid())
        return 0;
    const qint64 entamee = m_depuisConnexion.elapsed();
    m_depuisConnexion.invalidate();
    return entamee;
}

ReponseEmcf ClientEmcf::echanger(QNetworkReply *reponse)
{
    QEventLoop boucle;
    connect(reponse, &QNetworkReply::finished, &boucle, &QEventLoop::quit);
    limiterDuree(reponse, m_transport.delaiMs, limiteDejaEntameeMs());
    if (!reponse->isFinished())
        boucle.exec();
    reponse->deleteLater();
    return lireReponseEmcf(reponse);
}

std::optional<ResultatFiscal> ClientEmcf::deciderEnSuspens(const QString &uid, bool confirmer)
{
    const QUrl url = urlDecision(m_reglages.adresse, uid, confirmer);
    const ReponseEmcf corps =
        echanger(m_reseau->put(requeteEmcf(url, m_parametres.jeton, m_transport), QByteArray()));
    if (!confirmer) {
        m_console << decisionAnnulation(corps).console;
        return std::nullopt;
    }
    const DecisionEmcf decision = decisionConfirmation(corps, m_parametres.pays);
    m_console << decision.console;
    return resultatDepuisListe(decision.resultat);
}

void ClientEmcf::regler(const QList<LigneJournal> &enSuspens, const Invoice &facture,
                        const QString &empreinte, JournalCertification &journal)
{
    if (!m_connexionPreparee)
        m_transport = transportEmcf(m_reglages.fichierAutorites, m_reglages.delaiMs);
    attendreConnexion();
    m_console << "Factures laissees en attente sur le service e-MCF par une execution interrompue: "
              << enSuspens.size() << "\n";
    for (const LigneJournal &ligne : enSuspens) {
        if (ligne.uid.isEmpty())
            continue;
        if (ligne.etat == EtatCertification::ConfirmationEnvoyee) {
            // The service keeps a pending invoice's details; a confirmed or cancelled one is gone.
            const QUrl url(m_reglages.adresse + QLatin1Char('/') +
                           QString::fromLatin1(QUrl::toPercentEncoding(ligne.uid)));
            const ReponseEmcf corps =
                echanger(m_reseau->get(requeteEmcf(url, m_parametres.jeton, m_transport)));
            if (!factureEnAttente(corps)) {
                m_console << "Facture " << ligne.reference.toStdString()
                          << ": le service ne dit pas si sa confirmation a abouti, elle reste en suspens.\n";
                continue;
            }
        }
        const bool confirmer = ligne.reference == facture.reference && ligne.empreinte == empreinte;
        if (confirmer && !journal.annoncer(ligne.reference, EtatCertification::ConfirmationEnvoyee))
            continue;
        m_console << (confirmer ? "Confirmation" : "Annulation") << " de la facture en attente "
                  << ligne.reference.toStdString() << "\n";
        const std::optional<ResultatFiscal> resultat = deciderEnSuspens(ligne.uid, confirmer);
        // A confirmation that brought no fiscal codes may still have been carried out.
        if (confirmer && !resultat) {
            m_console << "Facture " << ligne.reference.toStdString()
                      << ": sa confirmation n'a pas abouti de facon sure, elle reste en suspens.\n";
            continue;
        }
        journal.regler(ligne, resultat);
    }
}

std::optional<ResultatFiscal> ClientEmcf::certifier(const Invoice &facture, JournalCertification &journal)
{
    m_journal = &journal;
    m_facture = &facture;
    m_sommeQuantites = 0;
    m_uid.clear();
    m_resultat.clear();
    m_termine = false;
    if (!m_connexionPreparee)
        m_transport = transportEmcf(m_reglages.fichierAutorites, m_reglages.delaiMs);
    // The submission is announced now, while the connection is still being set up, rather than
    // between the status reply and the submission, where the customer would wait for the disk. A
    // submission alone engages nothing the service could certify (unconfirmed, it expires), so this
    // state is released like a claim when the run stops before submitting.
    if (!m_journal->annoncer(facture.reference, EtatCertification::SoumissionEnvoyee)) {
        m_facture = nullptr;
        m_journal = nullptr;
        return std::nullopt;
    }
    attendreConnexion();
    QEventLoop boucle;
    m_boucle = &boucle;
    suivre(m_reseau->get(requeteEmcf(QUrl(m_reglages.adresse), m_parametres.jeton, m_transport)),
           &ClientEmcf::traiterEtatServeur);
    if (!m_termine)
        boucle.exec();
    m_boucle = nullptr;
    m_facture = nullptr;
    m_journal = nullptr;
    return resultatDepuisListe(m_resultat);
}

void ClientEmcf::suivre(QNetworkReply *reponse, Traitement traitement)
{
    connect(reponse, &QNetworkReply::finished, this, [this, reponse, traitement] {
        reponse->deleteLater();
        (this->*traitement)(reponse);
    });
    limiterDuree(reponse, m_transport.delaiMs, limiteDejaEntameeMs());
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
    const bool confirmer = decision.suite == DecisionEmcf::Suite::Confirmer;
    // The pending uid is recorded before the decision goes out, so that a run that dies from here on
    // leaves it to settle; with it, in the same commit, the confirmation that is about to be sent
    // (a run that dies before sending it leaves an invoice the next run finds still pending).
    if (!m_journal->annoncer(m_facture->reference,
                             confirmer ? EtatCertification::ConfirmationEnvoyee : EtatCertification::Soumise,
                             decision.uid)) {
        terminer();
        return;
    }
    m_uid = decision.uid;
    envoyerDecision(m_uid, !confirmer);
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
        // The run gives up: the invoice it submitted is cancelled rather than left pending. Should
        // the cancellation fail too, the journal still holds the uid for a later run to settle.
        m_console << ligneAbandon(m_uid);
        envoyerDecision(m_uid, true);
        return;
    }
    terminer();
}

void ClientEmcf::traiterAnnulation(QNetworkReply *reponse)
{
    const ReponseEmcf corps = lireReponseEmcf(reponse);
    const DecisionEmcf decision = decisionAnnulation(corps);
    m_console << decision.console;
    // A cancelled invoice is settled: nothing was certified.
    if (decision.annulee)
        m_journal->annoncer(m_facture->reference, EtatCertification::Abandonnee);
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
