#include "decisionoperateur.h"

#include "titulaire.h"

QString instructionAbandon(const LigneJournal &ligne)
{
    const QString quoi = ligne.chemin == cheminEmcf
                             ? QStringLiteral("le service e-MCF")
                             : QStringLiteral("le MCF (sa derniere facture et ses compteurs)");
    return QStringLiteral("Verifiez %1, puis lancez: orvane-engine --abandonner %2 (ou le bouton Abandonner "
                          "de la page Factures en suspens d'orvane-setup)\n")
        .arg(quoi, ligne.reference);
}

QString conseilOperateur(const LigneJournal &ligne)
{
    switch (ligne.etat) {
    case EtatCertification::IssueInconnue:
        return QStringLiteral(
            "Le MCF a deja ferme cette facture et ses codes sont perdus: cherchez-la sur le MCF "
            "(derniere facture, compteurs). Validee: ne l'abandonnez pas. Sinon: abandonnez-la.");
    case EtatCertification::ConfirmationEnvoyee:
        return QStringLiteral(
            "Le service e-MCF ne dit pas si sa confirmation a abouti: verifiez-la sur votre "
            "compte e-MCF. Confirmee: ne l'abandonnez pas. Sinon: abandonnez-la.");
    case EtatCertification::Ouverte:
    case EtatCertification::Payee:
    case EtatCertification::FermetureEnvoyee:
        return QStringLiteral("Reglee avec le MCF a la prochaine facture de cette caisse: rien a faire.");
    case EtatCertification::AbandonneeOperateur:
        return QStringLiteral("Abandonnee: le MCF la fermera a la prochaine facture de cette caisse.");
    case EtatCertification::Soumise:
        return QStringLiteral("En attente sur le service e-MCF: reglee a la prochaine facture en ligne.");
    case EtatCertification::SoumissionEnvoyee:
        return QStringLiteral("Peut-etre en attente sur le service e-MCF: retrouvee et annulee a la "
                              "prochaine facture en ligne.");
    default:
        return QStringLiteral("Aucune facture n'a ete envoyee qui puisse la certifier: elle peut etre "
                              "abandonnee sans risque.");
    }
}

bool abandonPossible(const LigneJournal &ligne, const Registre::EstVivante &estVivante)
{
    const bool regleeParAppareil =
        ligne.chemin == cheminAppareil &&
        (ligne.etat == EtatCertification::Ouverte || ligne.etat == EtatCertification::Payee ||
         ligne.etat == EtatCertification::FermetureEnvoyee);
    return !etatTermine(ligne.etat) && ligne.etat != EtatCertification::AbandonneeOperateur &&
           !regleeParAppareil && !estVivante(ligne.titulaire);
}

AbandonOperateur abandonnerFacture(Registre &registre, const QString &reference)
{
    return registre.abandonner(reference, registre.vivacite());
}

QString texteAbandon(const QString &reference, const AbandonOperateur &abandon)
{
    switch (abandon.issue) {
    case AbandonOperateur::Issue::Abandonnee:
        if (abandon.etat == EtatCertification::AbandonneeOperateur)
            return QStringLiteral("Facture %1 abandonnee (etat precedent: %2): le MCF peut la tenir encore "
                                  "ouverte, la prochaine execution sur ce MCF la fermera et enregistrera ce "
                                  "qu'il aura valide.\n")
                .arg(reference, nomEtat(abandon.precedent));
        return QStringLiteral("Facture %1 abandonnee (etat precedent: %2): la prochaine execution la "
                              "certifiera.\n")
            .arg(reference, nomEtat(abandon.precedent));
    case AbandonOperateur::Issue::Aucune:
        return QStringLiteral("Aucune certification en suspens pour la facture %1.\n").arg(reference);
    case AbandonOperateur::Issue::TenueAilleurs:
        return QStringLiteral("La facture %1 est en cours de certification par une autre execution "
                              "(%2): elle n'est pas abandonnee.\n")
            .arg(reference, texteTitulaire(abandon.titulaire));
    case AbandonOperateur::Issue::Echec:
        break;
    }
    return QStringLiteral("Registre inutilisable (%1).\n").arg(abandon.erreur);
}
