#include "sequencefacture.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"

namespace {

bool genreCommentaireConnu(const QString &genre)
{
    return genre.size() == 1 && genre.at(0) >= QLatin1Char('A') && genre.at(0) <= QLatin1Char('H');
}

} // namespace

std::optional<QStringList> certifierSurAppareil(const QString &reference, ContexteAppareil &execution, PortMCF &port,
                                                std::ostream &console, int attenteMs)
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

    LiaisonMCF liaison(port.flux(), execution.appareil, console, attenteMs);
    CommandesMCF commandes(liaison, execution.appareil);
    ParametresMoteur &parametres = execution.parametres;
    std::optional<QStringList> resultat;

    // Each block ends at the close command or, when the device is not ready, at the port.
    [&] {
        if (!commandes.verifierEtatMachine()) {
            journaliser(console, QStringLiteral("Erreur: Impossible d'initialiser le MCF."));
            return;
        }
        if (!commandes.enregistrerClient(f.ifuClient, f.nomClient, f.adresseClient, f.contactClient,
                                         f.contactClient2)) {
            journaliser(console, QStringLiteral("Erreur: Impossible d'enregistrer le client."));
            return;
        }
        const EnteteFacture entete{reference,   f.typeFacture,        f.referenceOriginale, f.ifuClient,
                                   f.nomClient, f.codeTaxeSpecifique, f.nomOperateur,       f.idOperateur};
        if (!commandes.creerFacture(entete, parametres.modePrix, parametres.isf)) {
            journaliser(console, QStringLiteral("Erreur: Impossible de soumettre une facture."));
        } else {
            for (const InvoiceItem &article : f.articles) {
                execution.sommeQuantites += nombreEntree(article.quantite);
                if (!commandes.ajouterArticle(article, parametres.modePrix))
                    journaliser(console, QStringLiteral("Erreur: Impossible de soumettre un article."));
            }
            for (const InvoiceComment &commentaire : f.commentaires) {
                if (!genreCommentaireConnu(commentaire.libelle))
                    continue;
                if (!commandes.enregistrerCommentaire(commentaire.libelle, commentaire.valeur))
                    journaliser(console, QStringLiteral("Erreur: Impossible de soumettre un commentaire."));
            }
            const EvaluationSousTotal sousTotal =
                commandes.demanderSousTotal(f.totalFacture, execution.sommeQuantites, parametres.tolerance);
            if (sousTotal.accepte)
                commandes.confirmerFacture(f.codePaiement, sousTotal.sousTotal);
        }
        resultat = commandes.fermerFacture();
    }();

    port.fermer();
    console << "Le port a ete ferme.\n";
    return resultat;
}
