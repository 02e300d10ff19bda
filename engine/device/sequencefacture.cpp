#include "sequencefacture.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"

std::optional<QStringList> certifierSurAppareil(const QString &reference, ContexteAppareil &execution,
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

    const Invoice &f = execution.facture;
    if (f.referenceOriginale.isEmpty()) {
        console << "La facture est une facture de vente\n";
    } else {
        console << "La facture est une facture de remboursement: (NIM-)TC Facture originale: "
                << f.referenceOriginale.toStdString() << "\n";
        if (f.referenceOriginale == QStringLiteral("-"))
            console << "(NIM-)TC de facture originale manquant.\n";
    }
    console << "Total facture: " << QString::asprintf("%.4f", f.totalFacture).toStdString() << "\n\n";

    LiaisonMCF liaison(port.flux(), console, attenteMs);
    CommandesMCF commandes(liaison, execution.appareil);
    ParametresMoteur &parametres = execution.parametres;
    std::optional<QStringList> resultat;

    // Each step that commits the device is announced to the journal first; without a journal (tests
    // of the sequence alone) nothing is announced.
    auto annoncer = [&](EtatCertification etat) {
        return !execution.journal || execution.journal->annoncer(reference, etat);
    };
    // A device that gave no answer in time is switched off or stuck: nothing more is sent to it,
    // each further command would only cost another wait. The invoice it may hold open is settled by
    // the next run, from the state the journal kept.
    const auto muet = [&] {
        if (!liaison.appareilMuet())
            return false;
        journaliser(console, QStringLiteral("Le MCF ne repond plus: la facture est abandonnee."));
        resultat.reset();
        return true;
    };

    // Each block ends at the close command or, when the device is not ready, at the port.
    [&] {
        if (!commandes.verifierEtatMachine()) {
            journaliser(console, QStringLiteral("Erreur: Impossible d'initialiser le MCF."));
            muet();
            return;
        }
        if (!commandes.enregistrerClient(f.ifuClient, f.nomClient, f.adresseClient, f.contactClient,
                                         f.contactClient2)) {
            journaliser(console, QStringLiteral("Erreur: Impossible d'enregistrer le client."));
            muet();
            return;
        }
        if (!annoncer(EtatCertification::Ouverte))
            return;
        const EnteteFacture entete{reference,   f.typeFacture,        f.referenceOriginale, f.ifuClient,
                                   f.nomClient, f.codeTaxeSpecifique, f.nomOperateur,       f.idOperateur};
        if (!commandes.creerFacture(entete, parametres.modePrix, parametres.isf)) {
            journaliser(console, QStringLiteral("Erreur: Impossible de soumettre une facture."));
            if (muet())
                return;
            // A device that refuses a new invoice may still hold an earlier one open: closing now
            // would validate that one under this invoice's reference.
            journaliser(console, QStringLiteral("Le MCF a refuse la nouvelle facture: elle n'est pas fermee, "
                                                "aucune autre facture n'est validee a sa place."));
            annoncer(EtatCertification::Abandonnee);
            return;
        }
        bool articleRefuse = false;
        for (const InvoiceItem &article : f.articles) {
            execution.sommeQuantites += nombreEntree(article.quantite);
            if (!commandes.ajouterArticle(article, parametres.modePrix)) {
                journaliser(console, QStringLiteral("Erreur: Impossible de soumettre un article."));
                articleRefuse = true;
            }
            if (muet())
                return;
        }
        for (const InvoiceComment &commentaire : f.commentaires) {
            if (!genreCommentaireConnu(commentaire.libelle))
                continue;
            if (!commandes.enregistrerCommentaire(commentaire.libelle, commentaire.valeur))
                journaliser(console, QStringLiteral("Erreur: Impossible de soumettre un commentaire."));
            if (muet())
                return;
        }
        bool payee = false;
        if (articleRefuse) {
            // Paying would certify an invoice without the refused item.
            journaliser(console,
                        QStringLiteral("Un article a ete refuse par le MCF: la facture n'est pas payee "
                                       "et sera annulee."));
        } else {
            const EvaluationSousTotal sousTotal =
                commandes.demanderSousTotal(f.totalFacture, execution.sommeQuantites, parametres.tolerance);
            if (muet())
                return;
            if (sousTotal.accepte && annoncer(EtatCertification::Payee)) {
                commandes.confirmerFacture(f.codePaiement, sousTotal.sousTotal);
                payee = true;
                if (muet())
                    return;
            }
        }
        // Once a paid invoice is closed, only the device knows whether it validated it.
        if (payee && !annoncer(EtatCertification::FermetureEnvoyee))
            return;
        const Fermeture fermeture = commandes.fermerFacture();
        if (muet())
            return;
        resultat = fermeture.issue == Fermeture::Validee ? fermeture.resultat : QStringList();
        // An unpaid invoice is cancelled at close; a closed one that the device cancelled is done.
        // A close without a readable reply leaves the announced state for the next run.
        if (fermeture.issue == Fermeture::Annulee)
            annoncer(EtatCertification::Abandonnee);
    }();

    port.fermer();
    console << "Le port a ete ferme.\n";
    return resultat;
}
