#include "registre.h"

#include "registreinterne.h"

#include <utility>

// The claim: a reference is taken for certification before anything is sent, in one write
// transaction, and a reprint, a live run elsewhere or a row waiting for the operator is told apart
// from a reference that this run may certify.

Reclamation Registre::reclamer(const QString &reference, const QString &empreinte, const QString &chemin,
                               const QString &destination, const TitulaireExecution &titulaire,
                               const EstVivante &estVivante)
{
    m_vues.reset();
    Reclamation r;
    if (!m_stockage) {
        r.erreur = m_erreur;
        return r;
    }
    m_erreur.clear();
    StockageRegistre &s = *m_stockage;
    LigneJournal reclamee;
    // Everything below is read and written in one transaction; an answer other than a new claim
    // writes nothing.
    s.prevoirReclamation(reference);
    // Holders judged gone. On a shared register a holder's own steps do not wait for this
    // transaction, so a run may take its last step and end between the read of its row and the
    // judgement: the row is read again once its holder is judged gone, and is then final.
    QList<TitulaireExecution> parties;
    const bool fait = s.enTransaction([&] {
        r = Reclamation();
        std::optional<LigneJournal> presente;
        for (;;) {
            if (!s.lireFactureEtLigne(reference, r.resultat, presente))
                return false;
            if (r.resultat || !presente || etatTermine(presente->etat) || presente->titulaire == titulaire ||
                parties.contains(presente->titulaire))
                break;
            if (estVivante(presente->titulaire)) {
                r.precedente = presente;
                r.issue = Reclamation::Issue::TenueAilleurs;
                return true;
            }
            parties << presente->titulaire;
        }
        if (r.resultat) {
            r.issue = Reclamation::Issue::DejaValidee;
            r.empreinte = presente ? presente->empreinte : QString();
            return true;
        }
        r.precedente = presente;

        const QString instant = maintenantRegistre();
        LigneJournal ligne;
        if (r.precedente && !etatTermine(r.precedente->etat)) {
            const LigneJournal &p = *r.precedente;
            if (etatAttendOperateur(p.etat)) {
                r.issue = Reclamation::Issue::IssueInconnue;
                return true;
            }
        }
        // The row this claim leads to must fit table `facture` as it stands, so that no invoice is
        // certified into a register that cannot take it.
        if (!s.factureInserable(reference))
            return false;
        if (r.precedente && etatEngage(r.precedente->etat)) {
            // The device or the service may hold something of it: the state stays, this run settles
            // it first.
            ligne = *r.precedente;
            ligne.titulaire = titulaire;
        } else {
            // Free, or left by a dead run before anything that could certify it was sent: released,
            // then claimed anew.
            if (r.precedente) {
                const EtatCertification avant = r.precedente->etat;
                const EtatCertification libre = etatTermine(avant) ? avant : EtatCertification::Abandonnee;
                if ((avant != libre && !changementPermis(avant, libre)) ||
                    !changementPermis(libre, EtatCertification::Reclamee)) {
                    m_erreur = raisonChangement(avant, EtatCertification::Reclamee);
                    return false;
                }
            }
            ligne.reference = reference;
            ligne.etat = EtatCertification::Reclamee;
            ligne.chemin = chemin;
            ligne.destination = destination;
            ligne.empreinte = empreinte;
            ligne.titulaire = titulaire;
            ligne.cree = instant;
            ligne.modifie = instant;
        }
        if (!s.ecrireLigne(ligne))
            return false;
        reclamee = ligne;
        r.issue = Reclamation::Issue::Nouvelle;
        return true;
    });
    if (!fait) {
        r.issue = Reclamation::Issue::Echec;
        r.erreur = m_erreur.isEmpty() ? s.erreur() : m_erreur;
        m_erreur = r.erreur;
    } else if (r.issue == Reclamation::Issue::Nouvelle) {
        m_ecrites.insert(reference, reclamee);
    }
    return r;
}
