#include "registre.h"

#include "registreinterne.h"

// Recording: the steps of the run that holds a reference, each written before it is sent, the
// invoice's own row (and its amounts) with the end of its journal row, and the copy of rows from
// another register.
// The single place where a certified invoice becomes a row of `facture` is Registre::enregistrer.

const LigneJournal *Registre::ligneTenue(const QString &reference, const TitulaireExecution &titulaire)
{
    // A finished row may be claimed anew by another run, which only a transaction decides; a row held
    // by a run that is gone may be taken over. Neither is changed here.
    const auto ecrite = m_ecrites.constFind(reference);
    if (ecrite == m_ecrites.cend() || etatTermine(ecrite->etat) || !(ecrite->titulaire == titulaire) ||
        !(titulaire == m_stockage->titulaire()))
        return nullptr;
    return &*ecrite;
}

std::optional<bool> Registre::modifierLigneTenue(const QString &reference,
                                                 const TitulaireExecution &titulaire,
                                                 const std::function<bool(LigneJournal &)> &changer)
{
    const LigneJournal *tenue = ligneTenue(reference, titulaire);
    if (!tenue)
        return std::nullopt;
    const LigneJournal avant = *tenue;
    LigneJournal ligne = avant;
    if (!appliquer(ligne, changer)) {
        m_erreur.clear();
        return std::nullopt;
    }
    bool ecrite = false;
    if (!m_stockage->remplacerLigne(avant, ligne, ecrite)) {
        m_ecrites.remove(reference);
        return echec();
    }
    if (!ecrite) {
        m_ecrites.remove(reference);
        return std::nullopt;
    }
    m_ecrites.insert(reference, ligne);
    return true;
}

bool Registre::changerLigneTenue(const QString &reference, const TitulaireExecution &titulaire,
                                 const std::function<void(LigneJournal &)> &changement)
{
    m_vues.reset();
    if (!m_stockage)
        return false;
    m_erreur.clear();
    const auto changer = [&](LigneJournal &l) {
        // Only the run that holds the reference moves it on.
        if (!(l.titulaire == titulaire)) {
            m_erreur = raisonPasTitulaire;
            return false;
        }
        changement(l);
        return true;
    };
    if (const std::optional<bool> fait = modifierLigneTenue(reference, titulaire, changer))
        return *fait;
    return m_stockage->enTransaction([&] { return modifierLigne(reference, changer); }) ||
           (m_erreur.isEmpty() && echec());
}

bool Registre::changerEtat(const QString &reference, EtatCertification etat,
                           const TitulaireExecution &titulaire, const QString &uid,
                           const QString &empreinteSoumission)
{
    return changerLigneTenue(reference, titulaire, [&](LigneJournal &l) {
        l.etat = etat;
        if (!uid.isEmpty())
            l.uid = uid;
        if (!empreinteSoumission.isEmpty())
            l.empreinteSoumission = empreinteSoumission;
    });
}

bool Registre::changerDestination(const QString &reference, const QString &destination,
                                  const TitulaireExecution &titulaire)
{
    return changerLigneTenue(reference, titulaire, [&](LigneJournal &l) { l.destination = destination; });
}

bool Registre::enregistrer(const QString &reference, const ResultatFiscal &resultat,
                           const std::optional<MontantsFacture> &montants)
{
    m_vues.reset();
    if (!m_stockage)
        return false;
    m_erreur.clear();
    const auto terminer = [](LigneJournal &l) {
        l.etat = EtatCertification::Terminee;
        return true;
    };
    // The row this run holds: the invoice row and the row's end in one write, applied only while the
    // row is still as this run wrote it.
    if (const LigneJournal *tenue = ligneTenue(reference, m_stockage->titulaire());
        tenue && changementPermis(tenue->etat, EtatCertification::Terminee)) {
        const LigneJournal avant = *tenue;
        LigneJournal ligne = avant;
        bool ecrite = false;
        if (appliquer(ligne, terminer)) {
            if (!m_stockage->enregistrerFacture(reference, resultat, montants, avant, ligne, ecrite)) {
                m_ecrites.remove(reference);
                return echec();
            }
            if (ecrite) {
                m_ecrites.insert(reference, ligne);
                return true;
            }
        }
        m_erreur.clear();
        m_ecrites.remove(reference);
    }
    return m_stockage->enTransaction([&] {
        std::optional<LigneJournal> ligne;
        if (!m_stockage->lireLigne(reference, ligne))
            return echec();
        if (ligne && !changementPermis(ligne->etat, EtatCertification::Terminee)) {
            m_erreur = raisonChangement(ligne->etat, EtatCertification::Terminee);
            return false;
        }
        if (!m_stockage->ajouterFacture(reference, resultat) ||
            (montants && !m_stockage->ajouterMontants(*montants)))
            return echec();
        // A row recorded without a claim (tests, earlier versions) has no journal row to finish.
        return !ligne || modifierLigne(reference, terminer);
    }) || (m_erreur.isEmpty() && echec());
}

IssueCopie Registre::copierFacture(const QString &reference, const ResultatFiscal &resultat,
                                   const std::optional<MontantsFacture> &montants)
{
    m_vues.reset();
    if (!m_stockage)
        return IssueCopie::Echec;
    IssueCopie issue = IssueCopie::Echec;
    const bool fait = m_stockage->enTransaction([&] {
        std::optional<ResultatFiscal> present;
        if (!m_stockage->lireFacture(reference, present))
            return false;
        if (present) {
            issue = *present == resultat ? IssueCopie::Presente : IssueCopie::Conflit;
            return true;
        }
        // The amounts come along; an invoice of a till's register that has none is listed without.
        if (!m_stockage->ajouterFacture(reference, resultat) ||
            !m_stockage->ajouterMontants(montants.value_or(montantsInconnus(reference, resultat))))
            return false;
        issue = IssueCopie::Copiee;
        return true;
    });
    if (!fait) {
        echec();
        return IssueCopie::Echec;
    }
    return issue;
}

IssueCopie Registre::copierLigne(const LigneJournal &ligne)
{
    m_vues.reset();
    if (!m_stockage)
        return IssueCopie::Echec;
    IssueCopie issue = IssueCopie::Echec;
    const bool fait = m_stockage->enTransaction([&] {
        std::optional<LigneJournal> presente;
        if (!m_stockage->lireLigne(ligne.reference, presente))
            return false;
        if (presente) {
            const bool meme = presente->etat == ligne.etat && presente->chemin == ligne.chemin &&
                              presente->destination == ligne.destination &&
                              presente->empreinte == ligne.empreinte && presente->uid == ligne.uid &&
                              presente->cree == ligne.cree;
            issue = meme ? IssueCopie::Presente : IssueCopie::Conflit;
            return true;
        }
        if (!m_stockage->ecrireLigne(ligne))
            return false;
        issue = IssueCopie::Copiee;
        return true;
    });
    if (!fait) {
        echec();
        return IssueCopie::Echec;
    }
    return issue;
}
