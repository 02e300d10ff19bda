#include "registre.h"

#include "stockagepostgres.h"
#include "stockagesqlite.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace {

QString maintenant()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

const QString raisonPasTitulaire = QStringLiteral("la facture n'est pas tenue par cette execution");

QString raisonChangement(EtatCertification de, EtatCertification vers)
{
    return QStringLiteral("changement d'etat refuse: %1 -> %2").arg(nomEtat(de), nomEtat(vers));
}

} // namespace

Registre::Registre(const QString &nomConnexion) : m_nomConnexion(nomConnexion) {}

Registre::~Registre() = default;

bool Registre::ouvrir(const QString &chemin)
{
    fermer();
    m_stockage = StockageSqlite::ouvrir(m_nomConnexion, chemin, StockageSqlite::Ouverture::CreerOuMettreAJour,
                                        m_erreur);
    return estOuvert();
}

bool Registre::ouvrirExistant(const QString &chemin)
{
    fermer();
    m_stockage =
        StockageSqlite::ouvrir(m_nomConnexion, chemin, StockageSqlite::Ouverture::Existant, m_erreur);
    return estOuvert();
}

bool Registre::ouvrir(const EmplacementRegistre &emplacement)
{
    if (!emplacement.partage())
        return ouvrir(emplacement.fichier);
    fermer();
    m_stockage = StockagePostgres::ouvrir(m_nomConnexion, emplacement,
                                          StockagePostgres::Ouverture::CreerOuMettreAJour, m_erreur);
    m_partage = estOuvert();
    return estOuvert();
}

bool Registre::ouvrirExistant(const EmplacementRegistre &emplacement)
{
    if (!emplacement.partage())
        return ouvrirExistant(emplacement.fichier);
    fermer();
    m_stockage = StockagePostgres::ouvrir(m_nomConnexion, emplacement, StockagePostgres::Ouverture::Existant,
                                          m_erreur);
    m_partage = estOuvert();
    return estOuvert();
}

TitulaireExecution Registre::titulaire()
{
    return m_stockage ? m_stockage->titulaire() : TitulaireExecution{};
}

bool Registre::executionVivante(const TitulaireExecution &titulaire)
{
    // Without a register nothing can be taken over: every holder counts as alive.
    return !m_stockage || m_stockage->titulaireVivant(titulaire);
}

Registre::EstVivante Registre::vivacite()
{
    return [this](const TitulaireExecution &titulaire) { return executionVivante(titulaire); };
}

void Registre::utiliser(std::unique_ptr<StockageRegistre> stockage)
{
    m_vues.reset();
    m_stockage = std::move(stockage);
    m_ecrites.clear();
}

void Registre::fermer()
{
    m_vues.reset();
    m_stockage.reset();
    m_partage = false;
    m_ecrites.clear();
}

bool Registre::echec()
{
    m_erreur = m_stockage ? m_stockage->erreur() : m_erreur;
    return false;
}

std::optional<FactureOriginale> Registre::trouverOriginale(const QString &reference)
{
    m_vues.reset();
    std::optional<FactureOriginale> originale;
    if (m_stockage && !m_stockage->lireOriginale(reference, originale))
        echec();
    return originale;
}

std::optional<ResultatFiscal> Registre::chercher(const QString &reference)
{
    m_vues.reset();
    std::optional<ResultatFiscal> resultat;
    if (m_stockage && !m_stockage->lireFacture(reference, resultat))
        echec();
    return resultat;
}

std::optional<LigneJournal> Registre::ligneJournal(const QString &reference)
{
    m_vues.reset();
    std::optional<LigneJournal> ligne;
    if (m_stockage && !m_stockage->lireLigne(reference, ligne))
        echec();
    return ligne;
}

std::optional<QList<LigneJournal>> Registre::lignesEnSuspens()
{
    m_vues.reset();
    QList<LigneJournal> lignes;
    if (!m_stockage || !m_stockage->lireLignes(QString(), QString(), lignes)) {
        echec();
        return std::nullopt;
    }
    lignes.removeIf([](const LigneJournal &l) { return etatTermine(l.etat); });
    return lignes;
}

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
    s.prevoirEssaiFacture(reference);
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

        const QString instant = maintenant();
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
        const QString instant = maintenant();
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

bool Registre::modifierLigne(const QString &reference, const std::function<bool(LigneJournal &)> &changer)
{
    std::optional<LigneJournal> ligne;
    if (!m_stockage->lireLigne(reference, ligne))
        return echec();
    if (!ligne) {
        m_erreur = QStringLiteral("aucune certification de cette facture dans le journal");
        return false;
    }
    if (!appliquer(*ligne, changer))
        return false;
    if (!m_stockage->ecrireLigne(*ligne))
        return echec();
    m_ecrites.insert(reference, *ligne);
    return true;
}

bool Registre::appliquer(LigneJournal &ligne, const std::function<bool(LigneJournal &)> &changer)
{
    const EtatCertification avant = ligne.etat;
    if (!changer(ligne))
        return false;
    if (!changementPermis(avant, ligne.etat)) {
        m_erreur = raisonChangement(avant, ligne.etat);
        return false;
    }
    if (ligne.etat != avant) {
        const QString instant = maintenant();
        ligne.modifie = instant;
        if (ligne.etat == EtatCertification::Ouverte)
            ligne.ouverture = instant;
        if (ligne.etat == EtatCertification::Payee)
            ligne.paiement = instant;
    }
    return true;
}

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

std::optional<QList<MontantsFacture>> Registre::facturesCertifiees(const PeriodeCertification &periode)
{
    m_vues.reset();
    QList<MontantsFacture> liste;
    if (!m_stockage || !m_stockage->lireMontants(periode, liste)) {
        echec();
        return std::nullopt;
    }
    return liste;
}

std::optional<QList<QPair<QString, ResultatFiscal>>> Registre::factures()
{
    m_vues.reset();
    QList<QPair<QString, ResultatFiscal>> liste;
    if (!m_stockage || !m_stockage->lireFactures(liste)) {
        echec();
        return std::nullopt;
    }
    return liste;
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
