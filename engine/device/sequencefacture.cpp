#include "sequencefacture.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"

namespace {

// The steps of one certification on an open port. Each step returns false when the sequence must
// go no further (the close is then not sent).
class Sequence
{
public:
    Sequence(const QString &reference, ContexteAppareil &execution, LiaisonMCF &liaison,
             std::ostream &console)
        : m_reference(reference), m_execution(execution), m_liaison(liaison),
          m_commandes(liaison, execution.appareil), m_console(console)
    {
    }

    std::optional<Fermeture> executer()
    {
        if (!preparerAppareil() || !ouvrirFacture() || !envoyerContenu())
            return std::nullopt;
        const bool payee = payer();
        if (muet())
            return std::nullopt;
        return fermer(payee);
    }

private:
    // Each step that commits the device is announced to the journal first; without a journal (tests
    // of the sequence alone) nothing is announced.
    bool annoncer(EtatCertification etat)
    {
        return !m_execution.journal || m_execution.journal->annoncer(m_reference, etat);
    }

    // A device that gave no answer in time is switched off or stuck: nothing more is sent to it,
    // each further command would only cost another wait. The invoice it may hold open is settled by
    // the next run, from the state the journal kept.
    bool muet()
    {
        if (!m_liaison.appareilMuet())
            return false;
        journaliser(m_console, QStringLiteral("Le MCF ne repond plus: la facture est abandonnee."));
        return true;
    }

    bool preparerAppareil()
    {
        const Invoice &f = m_execution.facture;
        if (!m_commandes.verifierEtatMachine()) {
            journaliser(m_console, QStringLiteral("Erreur: Impossible d'initialiser le MCF."));
            muet();
            return false;
        }
        if (!m_commandes.enregistrerClient(f.ifuClient, f.nomClient, f.adresseClient, f.contactClient,
                                           f.contactClient2)) {
            journaliser(m_console, QStringLiteral("Erreur: Impossible d'enregistrer le client."));
            muet();
            return false;
        }
        return true;
    }

    bool creerFacture()
    {
        const Invoice &f = m_execution.facture;
        const EnteteFacture entete{m_reference, f.typeFacture,        f.referenceOriginale, f.ifuClient,
                                   f.nomClient, f.codeTaxeSpecifique, f.nomOperateur,       f.idOperateur};
        return m_commandes.creerFacture(entete, m_execution.parametres.modePrix, m_execution.parametres.isf);
    }

    bool ouvrirFacture()
    {
        if (!annoncer(EtatCertification::Ouverte))
            return false;
        if (creerFacture())
            return true;
        journaliser(m_console, QStringLiteral("Erreur: Impossible de soumettre une facture."));
        if (muet())
            return false;
        // The device still holds an invoice open. Every invoice our journal opened there was settled
        // before this one was claimed, so it belongs to no reference of ours: one close clears it,
        // and whatever it validated is never recorded as this invoice.
        if (libererAppareil() && creerFacture())
            return true;
        if (muet())
            return false;
        journaliser(m_console, QStringLiteral("Le MCF a refuse la nouvelle facture: elle n'est pas fermee, "
                                              "aucune autre facture n'est validee a sa place."));
        annoncer(EtatCertification::Abandonnee);
        return false;
    }

    // One close for an invoice the device held open that no journal row explains; true when the
    // device then holds nothing open.
    bool libererAppareil()
    {
        journaliser(m_console,
                    QStringLiteral("Le MCF tient peut-etre une autre facture ouverte: elle est fermee."));
        const Fermeture fermeture = m_commandes.fermerFacture();
        if (fermeture.issue == Fermeture::Validee)
            m_console << "Facture inconnue du registre validee par le MCF a sa fermeture, enregistree sous "
                         "aucune reference (QR "
                      << fermeture.resultat->qrcode.toStdString() << ", compteurs "
                      << fermeture.resultat->mecef_compt.toStdString() << ").\n";
        return fermeture.issue != Fermeture::Inattendue;
    }

    bool envoyerContenu()
    {
        const Invoice &f = m_execution.facture;
        for (const InvoiceItem &article : f.articles) {
            m_execution.sommeQuantites += nombreEntree(article.quantite);
            if (!m_commandes.ajouterArticle(article, m_execution.parametres.modePrix)) {
                journaliser(m_console, QStringLiteral("Erreur: Impossible de soumettre un article."));
                m_articleRefuse = true;
            }
            if (muet())
                return false;
        }
        for (const InvoiceComment &commentaire : f.commentaires) {
            if (!genreCommentaireConnu(commentaire.libelle))
                continue;
            if (!m_commandes.enregistrerCommentaire(commentaire.libelle, commentaire.valeur))
                journaliser(m_console, QStringLiteral("Erreur: Impossible de soumettre un commentaire."));
            if (muet())
                return false;
        }
        return true;
    }

    // True when the payment was sent.
    bool payer()
    {
        if (m_articleRefuse) {
            // Paying would certify an invoice without the refused item.
            journaliser(m_console, QStringLiteral("Un article a ete refuse par le MCF: la facture n'est pas "
                                                  "payee et sera annulee."));
            return false;
        }
        const Invoice &f = m_execution.facture;
        const EvaluationSousTotal sousTotal = m_commandes.demanderSousTotal(
            f.totalFacture, m_execution.sommeQuantites, m_execution.parametres.tolerance);
        if (m_liaison.appareilMuet() || !sousTotal.accepte || !annoncer(EtatCertification::Payee))
            return false;
        m_commandes.confirmerFacture(f.codePaiement, sousTotal.sousTotal);
        return true;
    }

    std::optional<Fermeture> fermer(bool payee)
    {
        // Once a paid invoice is closed, only the device knows whether it validated it.
        if (payee && !annoncer(EtatCertification::FermetureEnvoyee))
            return std::nullopt;
        const Fermeture fermeture = m_commandes.fermerFacture();
        if (muet())
            return std::nullopt;
        // An unpaid invoice is cancelled at close; a closed one that the device cancelled is done.
        // A close without a readable reply leaves the announced state for the next run.
        if (fermeture.issue == Fermeture::Annulee)
            annoncer(EtatCertification::Abandonnee);
        return fermeture;
    }

    const QString &m_reference;
    ContexteAppareil &m_execution;
    LiaisonMCF &m_liaison;
    CommandesMCF m_commandes;
    std::ostream &m_console;
    bool m_articleRefuse = false;
};

void annoncerFacture(const Invoice &f, std::ostream &console)
{
    if (f.referenceOriginale.isEmpty()) {
        console << "La facture est une facture de vente\n";
    } else {
        console << "La facture est une facture de remboursement: (NIM-)TC Facture originale: "
                << f.referenceOriginale.toStdString() << "\n";
        if (f.referenceOriginale == QStringLiteral("-"))
            console << "(NIM-)TC de facture originale manquant.\n";
    }
    console << "Total facture: " << QString::asprintf("%.4f", f.totalFacture).toStdString() << "\n\n";
}

} // namespace

std::optional<Fermeture> certifierSurAppareil(const QString &reference, ContexteAppareil &execution,
                                              PortMCF &port, std::ostream &console, int attenteMs)
{
    switch (port.ouvrir()) {
    case OuverturePort::AucunPort:
        journaliser(console, QStringLiteral("Aucun port de communication trouve."));
        return std::nullopt;
    case OuverturePort::EchecOuverture:
        journaliser(console, QStringLiteral("Impossible d'ouvrir le port."));
        return std::nullopt;
    case OuverturePort::Ouvert:
        break;
    }
    console << "Le port a ete ouvert.\n\n";
    annoncerFacture(execution.facture, console);

    LiaisonMCF liaison(port.flux(), console, attenteMs);
    const std::optional<Fermeture> fermeture = Sequence(reference, execution, liaison, console).executer();

    port.fermer();
    console << "Le port a ete ferme.\n";
    return fermeture;
}
