#include "commandesmcf.h"

#include "liaisonmcf.h"

namespace {
const QString benin = QStringLiteral("BJ");
const QString niger = QStringLiteral("NE");
} // namespace

CommandesMCF::CommandesMCF(LiaisonMCF &liaison, EtatAppareil &appareil)
    : m_liaison(liaison), m_appareil(appareil)
{
}

void CommandesMCF::journal(const QString &message)
{
    journaliser(m_liaison.console(), message);
}

bool CommandesMCF::verifierEtatMachine()
{
    journal(QStringLiteral("Verification de l'etat de la machine."));
    const std::optional<EtatAppareil> etat =
        lireEtatMachine(champsReponse(m_liaison.envoyerCommande(codes::etatMachine, QString())));
    if (!etat) {
        journal(QStringLiteral("Initialisation échouee."));
        return false;
    }
    m_appareil.identifiantMCF = etat->identifiantMCF;
    m_appareil.tauxGroupes = etat->tauxGroupes;
    journal(QStringLiteral("Initialisation MCF %1 terminee.").arg(etat->codePays));
    m_appareil.codePays = etat->codePays;
    return true;
}

bool CommandesMCF::enregistrerClient(const QString &ifuClient, const QString &nomClient,
                                     const QString &adresseClient, const QString &contactClient,
                                     const QString &contactClient2)
{
    if (m_appareil.codePays != niger)
        return true;
    journal(QStringLiteral("Enregistrement du client."));
    const QString reponse = m_liaison.envoyerCommande(
        codes::client, donneesClient(ifuClient, nomClient, adresseClient, contactClient, contactClient2));
    // A reply without data is the device's acknowledgement; a refusal or silence is not, even
    // though it also leaves an empty text.
    return m_liaison.reponseRecue() && champsReponse(reponse).size() == 1;
}

bool CommandesMCF::creerFacture(const EnteteFacture &entete, const QString &modePrix, QString &isf)
{
    journal(QStringLiteral("A - Creation d'une nouvelle facture."));
    QString donnees;
    int champsAttendus = 0;
    if (m_appareil.codePays == benin) {
        donnees = donneesFactureBenin(entete, m_appareil);
        champsAttendus = 2;
    } else if (m_appareil.codePays == niger) {
        isf = isfEnvoye(isf);
        donnees = donneesFactureNiger(entete, m_appareil, modePrix, isf);
        champsAttendus = 7;
    } else {
        return false;
    }
    return champsReponse(m_liaison.envoyerCommande(codes::nouvelleFacture, donnees)).size() == champsAttendus;
}

bool CommandesMCF::ajouterArticle(const InvoiceItem &article, const QString &modePrix)
{
    journal(QStringLiteral("Ajout d'un nouvel article a la facture."));
    QString donnees;
    int champsAttendus = 0;
    if (m_appareil.codePays == benin) {
        donnees = donneesArticleBenin(article);
        champsAttendus = 4;
    } else if (m_appareil.codePays == niger) {
        donnees = donneesArticleNiger(article, m_appareil, modePrix);
        champsAttendus = 5;
    } else {
        return false;
    }
    return champsReponse(m_liaison.envoyerCommande(codes::article, donnees)).size() == champsAttendus;
}

bool CommandesMCF::enregistrerCommentaire(const QString &genre, const QString &texte)
{
    if (m_appareil.codePays != niger)
        return false;
    journal(QStringLiteral("Enregistrement de commentaire."));
    journal(genre + QLatin1Char('=') + texte);
    m_liaison.envoyerCommande(codes::commentaire, donneesCommentaire(genre, texte));
    return true;
}

EvaluationSousTotal CommandesMCF::demanderSousTotal(double totalFacture, double sommeQuantites,
                                                    double tolerance)
{
    journal(QStringLiteral("Demande du sous-total de la facture."));
    const EvaluationSousTotal e =
        evaluerSousTotal(champsReponse(m_liaison.envoyerCommande(codes::sousTotal, QString())), totalFacture,
                         sommeQuantites, tolerance);
    for (const QString &message : e.messages)
        journal(message);
    return e;
}

void CommandesMCF::confirmerFacture(const QString &codePaiement, const QString &sousTotal)
{
    journal(QStringLiteral("Confirmation de la facture."));
    m_liaison.envoyerCommande(codes::paiement, donneesConfirmation(codePaiement, sousTotal));
}

Fermeture CommandesMCF::fermerFacture()
{
    journal(QStringLiteral("Fermeture de la facture."));
    const Fermeture f = lireFermeture(champsReponse(m_liaison.envoyerCommande(codes::fermeture, QString())));
    if (f.issue == Fermeture::Annulee) {
        journal(QStringLiteral("La facture a ete annulee."));
    } else if (f.issue == Fermeture::Validee) {
        journal(QStringLiteral("QR: ") + f.resultat->qrcode);
        journal(QStringLiteral("La facture a ete validee."));
    }
    return f;
}
