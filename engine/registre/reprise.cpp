#include "registre.h"

#include "registreinterne.h"

#include <utility>

// Recovery: what runs now gone left on this run's device or service is taken over to be settled,
// or released when nothing was sent; what nobody can settle any more waits for the operator.

QList<LigneJournal> Registre::reprendreEnSuspens(const QString &chemin, const QString &destination,
                                                 const QString &sauf, const TitulaireExecution &titulaire,
                                                 const EstVivante &estVivante)
{
    m_vues.reset();
    QList<LigneJournal> retenues;
    if (!m_stockage)
        return retenues;
    StockageRegistre &s = *m_stockage;
    const auto candidate = [&](const LigneJournal &l) {
        return !(l.reference == sauf || etatTermine(l.etat) || etatAttendOperateur(l.etat) ||
                 l.titulaire == titulaire);
    };
    // Holders judged gone, whose rows read after that judgement are final: a holder's own steps do
    // not wait for the write transaction on a shared register, so a row read before its holder was
    // judged gone may be older than what the holder left.
    QList<TitulaireExecution> parties;
    // True when the rows hold one whose holder is newly judged gone.
    const auto jugerTitulaires = [&](const QList<LigneJournal> &lignes) {
        bool nouvelles = false;
        for (const LigneJournal &l : lignes) {
            if (candidate(l) && !parties.contains(l.titulaire) && !estVivante(l.titulaire)) {
                parties << l.titulaire;
                nouvelles = true;
            }
        }
        return nouvelles;
    };
    // Usually there is nothing to take over: a look outside any transaction tells, and the write
    // transaction, which reads the rows again, is taken only when there is.
    QList<LigneJournal> vues;
    if (!s.lireLignes(chemin, destination, vues)) {
        echec();
        return retenues;
    }
    if (!jugerTitulaires(vues)) {
        m_vues = LignesVues{chemin, destination, vues};
        return retenues;
    }
    QList<LigneJournal> ecrites;
    const bool fait = s.enTransaction([&] {
        retenues.clear();
        ecrites.clear();
        QList<LigneJournal> lignes;
        if (!s.lireLignes(chemin, destination, lignes) ||
            (jugerTitulaires(lignes) && !s.lireLignes(chemin, destination, lignes)))
            return false;
        const QString instant = maintenantRegistre();
        for (LigneJournal l : std::as_const(lignes)) {
            if (!candidate(l) || !parties.contains(l.titulaire))
                continue;
            l.titulaire = titulaire;
            if (!etatEngage(l.etat)) {
                // Only claimed: nothing that could certify it was sent.
                l.etat = EtatCertification::Abandonnee;
                l.modifie = instant;
            } else {
                retenues << l;
            }
            if (!s.ecrireLigne(l))
                return false;
            ecrites << l;
        }
        return true;
    });
    if (!fait) {
        echec();
        return {};
    }
    for (const LigneJournal &l : std::as_const(ecrites))
        m_ecrites.insert(l.reference, l);
    return retenues;
}

QList<LigneJournal> Registre::attenteOperateur(const QString &chemin, const QString &destination,
                                               const QString &sauf, const TitulaireExecution &titulaire,
                                               const EstVivante &estVivante)
{
    QList<LigneJournal> lignes;
    const std::optional<LignesVues> vues = std::exchange(m_vues, std::nullopt);
    if (vues && vues->chemin == chemin && vues->destination == destination) {
        lignes = vues->lignes;
    } else if (!m_stockage || !m_stockage->lireLignes(chemin, destination, lignes)) {
        echec();
        return {};
    }
    lignes.removeIf([&](const LigneJournal &l) {
        return !etatSignaleOperateur(l.etat) || l.reference == sauf ||
               (!(l.titulaire == titulaire) && estVivante(l.titulaire));
    });
    return lignes;
}
