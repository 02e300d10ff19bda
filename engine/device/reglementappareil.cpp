#include "reglementappareil.h"

#include <algorithm>

namespace {

bool peutEtreValide(const LigneJournal &l)
{
    return etatPeutEtreValide(l.etat, !l.paiement.isEmpty());
}

// The row had been closed before this run's close: what that close was is not known.
DecisionReglement::Sorte fermeeAvant(const LigneJournal &l)
{
    // Never paid: it can only have been cancelled. Released by the operator: already decided.
    if (!peutEtreValide(l) || l.etat == EtatCertification::AbandonneeOperateur)
        return DecisionReglement::Sorte::Liberer;
    return DecisionReglement::Sorte::Bloquer;
}

} // namespace

QList<LigneJournal> ordreOuverture(QList<LigneJournal> lignes)
{
    std::stable_sort(lignes.begin(), lignes.end(), [](const LigneJournal &a, const LigneJournal &b) {
        if (a.ouverture.isEmpty() != b.ouverture.isEmpty())
            return b.ouverture.isEmpty();
        if (a.ouverture != b.ouverture)
            return a.ouverture > b.ouverture;
        return a.cree > b.cree;
    });
    return lignes;
}

std::optional<LigneJournal> ligneValidable(const QList<LigneJournal> &lignes)
{
    for (const LigneJournal &l : ordreOuverture(lignes)) {
        if (peutEtreValide(l))
            return l;
    }
    return std::nullopt;
}

QList<DecisionReglement> reglerApresFermeture(const QList<LigneJournal> &lignes, const Fermeture &fermeture,
                                              bool sansReponse, std::optional<ResultatFiscal> &inexpliquee)
{
    using Sorte = DecisionReglement::Sorte;
    inexpliquee.reset();
    const QList<LigneJournal> ordre = ordreOuverture(lignes);
    const std::optional<LigneJournal> validable = ligneValidable(ordre);
    // Rows opened after the one that may have been paid: an unpaid invoice may be the one open.
    bool ouverteApres = false;
    for (const LigneJournal &l : ordre) {
        if (validable && l.reference == validable->reference)
            break;
        ouverteApres = ouverteApres || !l.ouverture.isEmpty();
    }

    QList<DecisionReglement> decisions;
    for (const LigneJournal &l : ordre) {
        DecisionReglement d{l, Sorte::Laisser, std::nullopt};
        const bool estValidable = validable && l.reference == validable->reference;
        if (sansReponse) {
            d.sorte = Sorte::Laisser;
        } else if (fermeture.issue == Fermeture::Validee) {
            d.sorte = estValidable ? Sorte::Enregistrer : fermeeAvant(l);
            if (estValidable)
                d.resultat = fermeture.resultat;
        } else if (fermeture.issue == Fermeture::Annulee && estValidable && !ouverteApres) {
            d.sorte = Sorte::Liberer;
        } else {
            d.sorte = fermeeAvant(l);
        }
        decisions << d;
    }
    if (!sansReponse && fermeture.issue == Fermeture::Validee && !validable)
        inexpliquee = fermeture.resultat;
    return decisions;
}
