#include "registre.h"

#include "registreinterne.h"

// The operator's decision: releasing a reference whose certification no run can finish.

AbandonOperateur Registre::abandonner(const QString &reference, const EstVivante &estVivante)
{
    m_vues.reset();
    AbandonOperateur a;
    if (!m_stockage) {
        a.erreur = m_erreur;
        return a;
    }
    m_erreur.clear();
    // As for a claim: a holder judged gone may have taken its last step just before, so its row is
    // read again once it is judged gone.
    QList<TitulaireExecution> parties;
    const bool fait = m_stockage->enTransaction([&] {
        std::optional<LigneJournal> ligne;
        for (;;) {
            if (!m_stockage->lireLigne(reference, ligne))
                return echec();
            if (!ligne || etatTermine(ligne->etat) || ligne->etat == EtatCertification::AbandonneeOperateur) {
                a.issue = AbandonOperateur::Issue::Aucune;
                return true;
            }
            if (parties.contains(ligne->titulaire))
                break;
            if (estVivante(ligne->titulaire)) {
                a.issue = AbandonOperateur::Issue::TenueAilleurs;
                a.titulaire = ligne->titulaire;
                return true;
            }
            parties << ligne->titulaire;
        }
        a.precedent = ligne->etat;
        // The device holds at most one open invoice, and an invoice opened, paid or being closed may
        // still be it: the next run on that device closes it and records what the device says.
        const bool peutEtreOuverte =
            ligne->chemin == cheminAppareil &&
            (ligne->etat == EtatCertification::Ouverte || ligne->etat == EtatCertification::Payee ||
             ligne->etat == EtatCertification::FermetureEnvoyee);
        a.etat = peutEtreOuverte ? EtatCertification::AbandonneeOperateur : EtatCertification::Abandonnee;
        if (!modifierLigne(reference, [&](LigneJournal &l) {
                l.etat = a.etat;
                return true;
            }))
            return false;
        a.issue = AbandonOperateur::Issue::Abandonnee;
        return true;
    });
    if (!fait) {
        a.issue = AbandonOperateur::Issue::Echec;
        a.erreur = m_erreur.isEmpty() ? m_stockage->erreur() : m_erreur;
    }
    return a;
}
