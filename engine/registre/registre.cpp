#include "registre.h"

#include "registreinterne.h"
#include "stockagepostgres.h"
#include "stockagesqlite.h"

#include <utility>

// Opening the register, reading it, and the checked change of one journal row that every write
// goes through. The claim is in reclamation.cpp, the recovery of what dead runs left in reprise.cpp,
// the operator's release in abandon.cpp, the run's own steps and the recording of an invoice in
// enregistrement.cpp.

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
    m_stockage =
        StockagePostgres::ouvrir(emplacement, StockagePostgres::Ouverture::CreerOuMettreAJour, m_erreur);
    m_partage = estOuvert();
    return estOuvert();
}

bool Registre::ouvrirExistant(const EmplacementRegistre &emplacement)
{
    if (!emplacement.partage())
        return ouvrirExistant(emplacement.fichier);
    fermer();
    m_stockage = StockagePostgres::ouvrir(emplacement, StockagePostgres::Ouverture::Existant, m_erreur);
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
        const QString instant = maintenantRegistre();
        ligne.modifie = instant;
        if (ligne.etat == EtatCertification::Ouverte)
            ligne.ouverture = instant;
        if (ligne.etat == EtatCertification::Payee)
            ligne.paiement = instant;
    }
    return true;
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
