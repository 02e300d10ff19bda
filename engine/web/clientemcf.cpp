#include "clientemcf.h"

#include "liaisonreseau.h"
#include "corpsfacture.h"
#include "decisionsemcf.h"
#include "empreintesoumission.h"

#include <QEventLoop>
#include <QTimer>

ClientEmcf::ClientEmcf(const ParametresMoteur &parametres, const TablesReference &tables,
                       const ReglagesEmcf &reglages, std::ostream &console, LiaisonHttp *liaison)
    : m_parametres(parametres), m_tables(tables), m_reglages(reglages), m_console(console),
      m_liaisonPropre(liaison ? nullptr
                              : new LiaisonReseau(QUrl(reglages.adresse), reglages.fichierAutorites)),
      m_liaison(liaison ? liaison : m_liaisonPropre.get()), m_limite(new QTimer(this))
{
    m_limite->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the limit is a promise to the caller.
    m_limite->setTimerType(Qt::PreciseTimer);
}

ClientEmcf::~ClientEmcf() = default;

void ClientEmcf::preparer()
{
    // The TCP and TLS handshakes take two round trips: they run while the register is read and the
    // claim written. Certificates and TLS are only touched from here on: the device path never pays
    // for them.
    m_depuisConnexion.start();
    m_liaison->ouvrir();
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

RequeteEmcf ClientEmcf::requete(const QByteArray &methode, const QUrl &url) const
{
    RequeteEmcf r;
    r.methode = methode;
    r.url = url;
    r.jeton = m_parametres.jeton;
    return r;
}

void ClientEmcf::envoyer(const RequeteEmcf &requete, LiaisonHttp::Fin fin)
{
    const int delaiMs = m_reglages.delaiMs;
    m_limite->disconnect();
    connect(m_limite, &QTimer::timeout, this, [this, fin, delaiMs] {
        m_liaison->abandonner();
        ReponseEmcf hors;
        hors.echec = ReponseEmcf::Echec::Delai;
        hors.delaiMs = delaiMs;
        fin(hors);
    });
    m_limite->start(
        static_cast<int>(qBound<qint64>(0, qint64(delaiMs) - limiteDejaEntameeMs(), qint64(delaiMs))));
    m_liaison->envoyer(requete, [this, fin](const ReponseEmcf &reponse) {
        m_limite->stop();
        fin(reponse);
    });
}

void ClientEmcf::envoyer(const RequeteEmcf &requete, Traitement traitement)
{
    envoyer(requete, LiaisonHttp::Fin([this, traitement](const ReponseEmcf &reponse) {
                (this->*traitement)(afficher(reponse));
            }));
}

ReponseEmcf ClientEmcf::echanger(const RequeteEmcf &requete)
{
    QEventLoop boucle;
    std::optional<ReponseEmcf> recue;
    envoyer(requete, LiaisonHttp::Fin([&recue, &boucle](const ReponseEmcf &reponse) {
                recue = reponse;
                boucle.quit();
            }));
    if (!recue)
        boucle.exec();
    return afficher(*recue);
}

std::optional<ResultatFiscal> ClientEmcf::deciderEnSuspens(const QString &uid, bool confirmer)
{
    const QUrl url = urlDecision(m_reglages.adresse, uid, confirmer);
    const ReponseEmcf corps = echanger(requete("PUT", url));
    if (!confirmer) {
        m_console << decisionAnnulation(corps).console;
        return std::nullopt;
    }
    const DecisionEmcf decision = decisionConfirmation(corps, m_parametres.pays);
    m_console << decision.console;
    return decision.resultat;
}

void ClientEmcf::regler(const QList<LigneJournal> &enSuspens, const Invoice &facture,
                        const QString &empreinte, JournalCertification &journal)
{
    m_console << "Factures laissees en attente sur le service e-MCF par une execution interrompue: "
              << enSuspens.size() << "\n";
    QList<LigneJournal> sansReponse;
    for (const LigneJournal &ligne : enSuspens) {
        if (ligne.uid.isEmpty()) {
            if (ligne.etat == EtatCertification::SoumissionEnvoyee)
                sansReponse << ligne;
            continue;
        }
        if (ligne.etat == EtatCertification::ConfirmationEnvoyee) {
            // The service keeps a pending invoice's details; a confirmed or cancelled one is gone.
            if (!detailsEnAttente(echanger(requete("GET", urlEnAttente(ligne.uid))))) {
                m_console << "Facture " << ligne.reference.toStdString()
                          << ": le service ne dit pas si sa confirmation a abouti, elle reste en suspens.\n";
                continue;
            }
        }
        // Only a confirmation decided after the total check is carried out: a submission whose total
        // was refused is cancelled, whatever invoice this run certifies.
        const bool confirmer = ligne.etat == EtatCertification::ConfirmationEnvoyee &&
                               ligne.reference == facture.reference && ligne.empreinte == empreinte;
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
    if (!sansReponse.isEmpty())
        retrouverSoumissions(sansReponse, journal);
}

QUrl ClientEmcf::urlEnAttente(const QString &uid) const
{
    return QUrl(m_reglages.adresse + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(uid)));
}

void ClientEmcf::retrouverSoumissions(const QList<LigneJournal> &sansReponse, JournalCertification &journal)
{
    // The service lists its pending invoices and gives each one's details: a submission is known
    // by what it carries. Another till of the same account may have invoices pending too: only one
    // that carries what a row submitted is touched.
    m_console << "Recherche des factures soumises sans reponse sur le service e-MCF\n";
    const std::optional<QStringList> uids = uidsEnAttente(echanger(requete("GET", QUrl(m_reglages.adresse))));
    if (!uids) {
        m_console << "Etat du service illisible: les factures soumises sans reponse restent en suspens.\n";
        return;
    }
    QList<QPair<QString, QString>> enAttente; // uid, fingerprint of what it carries
    for (const QString &uid : *uids) {
        const std::optional<QJsonObject> details = detailsEnAttente(echanger(requete("GET", urlEnAttente(uid))));
        if (!details) {
            m_console << "Details de la facture en attente " << uid.toStdString()
                      << " illisibles: les factures soumises sans reponse restent en suspens.\n";
            return;
        }
        enAttente.append({uid, empreinteSoumission(*details)});
    }
    for (const LigneJournal &ligne : sansReponse) {
        const std::string reference = ligne.reference.toStdString();
        const auto trouvee = std::find_if(enAttente.begin(), enAttente.end(), [&ligne](const auto &a) {
            return !ligne.empreinteSoumission.isEmpty() && a.second == ligne.empreinteSoumission;
        });
        if (trouvee == enAttente.end()) {
            m_console << "Facture " << reference << ": aucune facture en attente ne porte sa soumission.\n";
        } else {
            // Its submission reply was lost, so its total was never checked: it is cancelled, and
            // certified afresh when this run is for it.
            m_console << "Facture " << reference << ": soumission retrouvee en attente ("
                      << trouvee->first.toStdString() << "), annulation.\n";
            deciderEnSuspens(trouvee->first, false);
            enAttente.erase(trouvee);
        }
        journal.regler(ligne, std::nullopt);
    }
}

std::optional<ResultatFiscal> ClientEmcf::certifier(const Invoice &facture, JournalCertification &journal)
{
    m_journal = &journal;
    m_facture = &facture;
    m_sommeQuantites = 0;
    m_uid.clear();
    m_resultat.reset();
    m_termine = false;
    // The submission is announced now, while the connection is still being set up, rather than
    // between the status reply and the submission, where the customer would wait for the disk. With
    // it goes the fingerprint of what it will carry (the seller's number, from the status reply,
    // does not count): should its reply be lost, a later run finds its pending invoice by it. The
    // run releases this state itself when it ends sure that nothing is left pending.
    const QJsonObject corps = corpsSoumission(facture, m_parametres, m_tables, QJsonObject()).corps;
    if (!m_journal->annoncerSoumission(facture.reference, empreinteSoumission(corps))) {
        m_facture = nullptr;
        m_journal = nullptr;
        return std::nullopt;
    }
    QEventLoop boucle;
    m_boucle = &boucle;
    envoyer(requete("GET", QUrl(m_reglages.adresse)), &ClientEmcf::traiterEtatServeur);
    if (!m_termine)
        boucle.exec();
    m_boucle = nullptr;
    m_facture = nullptr;
    m_journal = nullptr;
    return m_resultat;
}

void ClientEmcf::traiterEtatServeur(const ReponseEmcf &corps)
{
    const DecisionEmcf decision = decisionEtatServeur(corps, {*m_facture, m_parametres, m_tables});
    m_console << decision.console;
    if (decision.suite != DecisionEmcf::Suite::Soumettre) {
        // Nothing was submitted.
        m_journal->annoncer(m_facture->reference, EtatCertification::Abandonnee);
        terminer();
        return;
    }
    m_sommeQuantites += decision.sommeQuantites;
    RequeteEmcf soumission = requete("POST", QUrl(m_reglages.adresse));
    soumission.typeContenu = "application/json";
    soumission.corps = decision.corps;
    envoyer(soumission, &ClientEmcf::traiterEnregistrement);
}

void ClientEmcf::traiterEnregistrement(const ReponseEmcf &corps)
{
    const DecisionEmcf decision =
        decisionEnregistrement(corps, m_facture->totalFacture, m_parametres.tolerance, m_sommeQuantites);
    m_console << decision.console;
    if (decision.suite == DecisionEmcf::Suite::Terminer) {
        // The service answered without a uid: it refused the invoice and keeps nothing pending. A
        // reply that never came may hide a pending invoice, which a later run looks for.
        if (corps.echec == ReponseEmcf::Echec::Aucun)
            m_journal->annoncer(m_facture->reference, EtatCertification::Abandonnee);
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
    envoyer(requete("PUT", url), annuler ? &ClientEmcf::traiterAnnulation : &ClientEmcf::traiterConfirmation);
}

void ClientEmcf::traiterConfirmation(const ReponseEmcf &corps)
{
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

void ClientEmcf::traiterAnnulation(const ReponseEmcf &corps)
{
    const DecisionEmcf decision = decisionAnnulation(corps);
    m_console << decision.console;
    // A cancelled invoice is settled: nothing was certified.
    if (decision.annulee)
        m_journal->annoncer(m_facture->reference, EtatCertification::Abandonnee);
    terminer();
}

const ReponseEmcf &ClientEmcf::afficher(const ReponseEmcf &reponse)
{
    // The raw reply goes to the console as it came, before anything is made of it.
    m_console << texteReponse(reponse);
    return reponse;
}

void ClientEmcf::terminer()
{
    m_liaison->fermer();
    m_termine = true;
    if (m_boucle)
        m_boucle->quit();
}
