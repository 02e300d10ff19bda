#pragma once

#include "adresseregistre.h"
#include "lignejournal.h"
#include "stockageregistre.h"

#include <resultatfiscal.h>

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Outcome of claiming a reference for certification.
struct Reclamation
{
    enum class Issue {
        Nouvelle,      // claimed by this run: certify it (after settling `precedente` when set)
        DejaValidee,   // in `facture`: reprint it
        TenueAilleurs, // a live run is certifying it
        IssueInconnue, // its outcome is unknown: only the operator can release it
        Echec,         // the register could not be read or written: nothing may be sent
    };
    Issue issue = Issue::Echec;
    std::optional<ResultatFiscal> resultat; // DejaValidee
    QString empreinte;                      // DejaValidee: the fingerprint stored with it, if any
    std::optional<LigneJournal> precedente; // the journal row this run took over or was stopped by
    QString erreur;                         // Echec: the database's reason
};

// What the operator's release of a reference came to.
struct AbandonOperateur
{
    enum class Issue {
        Abandonnee,    // released; `precedent` is the state it was in
        Aucune,        // no unfinished certification of that reference
        TenueAilleurs, // a live run is certifying it: it is not touched
        Echec,         // the register could not be read or written
    };
    Issue issue = Issue::Echec;
    EtatCertification precedent = EtatCertification::Reclamee;
    // The new state: abandoned, or, for an invoice the device may still hold open, abandoned by the
    // operator and settled with the device at its next run.
    EtatCertification etat = EtatCertification::Abandonnee;
    TitulaireExecution titulaire; // TenueAilleurs
    QString erreur;
};

// What copying one row into another register came to.
enum class IssueCopie {
    Copiee,   // added
    Presente, // already there, the same
    Conflit,  // already there with other content: left as it is
    Echec,    // the register could not be read or written (erreur() says why)
};

// The invoice register and the policy of its certification journal: every invoice certified at
// most once, whatever runs die where. A reference is claimed before anything is sent, each step is
// announced before it is sent, and a run settles what dead runs left on its device or service
// before certifying. Every change of state goes through the journal's table of allowed changes
// (etatscertification.h); a change outside it is refused. The rows themselves live in a
// StockageRegistre, which alone knows the database.
class Registre
{
public:
    using EstVivante = std::function<bool(const TitulaireExecution &)>;

    // `nomConnexion` names the database connection of this register.
    explicit Registre(const QString &nomConnexion);
    ~Registre();
    Registre(const Registre &) = delete;
    Registre &operator=(const Registre &) = delete;

    // The engine's register: opens (or creates) the SQLite file `chemin` and brings its tables up to
    // date. A file that is not a usable register still opens; `reclamer` then fails with the reason.
    bool ouvrir(const QString &chemin);
    // The operator's tools: opens the existing file `chemin` and changes nothing but what the
    // operator asks; false when it is missing or cannot be opened.
    bool ouvrirExistant(const QString &chemin);
    // The register at `emplacement`: the SQLite file, or the shared PostgreSQL database, whose
    // tables are created or brought up to date. False, with the reason in erreur(), when it cannot
    // be reached or made ready.
    bool ouvrir(const EmplacementRegistre &emplacement);
    // The operator's tools: as ouvrirExistant for a file; a shared register is never altered.
    bool ouvrirExistant(const EmplacementRegistre &emplacement);
    // Any storage (tests, other databases).
    void utiliser(std::unique_ptr<StockageRegistre> stockage);
    void fermer();
    bool estOuvert() const { return m_stockage != nullptr; }
    // True for the register shared by several tills.
    bool partage() const { return m_partage; }
    // The database's reason for the last failure.
    QString erreur() const { return m_erreur; }

    // This run as the journal records it: its process on the file, its session on a shared
    // register. Only while open.
    TitulaireExecution titulaire();
    // Whether the run `titulaire` names still holds what it claimed, as this register judges it.
    bool executionVivante(const TitulaireExecution &titulaire);
    // The same, for the operations below that take the judgement as an argument.
    EstVivante vivacite();

    // First row of the refunded invoice `reference`; nothing when absent or when the query fails.
    std::optional<FactureOriginale> trouverOriginale(const QString &reference);
    // Stored result of `reference` (duplicate check); nothing when absent or when the query fails.
    std::optional<ResultatFiscal> chercher(const QString &reference);
    // The journal row of `reference`, if any.
    std::optional<LigneJournal> ligneJournal(const QString &reference);
    // Every journal row that is not finished, oldest first; nothing when the register cannot be
    // read (erreur() says why).
    std::optional<QList<LigneJournal>> lignesEnSuspens();

    // In one transaction: looks `reference` up in `facture`, then in the journal, and claims it for
    // `titulaire` when it is free or was left by a run that is gone (whose row it then takes over).
    Reclamation reclamer(const QString &reference, const QString &empreinte, const QString &chemin,
                         const QString &destination, const TitulaireExecution &titulaire,
                         const EstVivante &estVivante);
    // Takes over the rows of `chemin` and `destination`, other than `sauf`, that runs now gone left
    // in a state that the device or the service must settle. Rows they left before sending anything
    // are released. Returns the rows taken over.
    QList<LigneJournal> reprendreEnSuspens(const QString &chemin, const QString &destination,
                                           const QString &sauf, const TitulaireExecution &titulaire,
                                           const EstVivante &estVivante);
    // Rows of `chemin` and `destination`, other than `sauf`, not held by a live run, whose outcome
    // nobody can learn any more: only the operator can release them.
    QList<LigneJournal> attenteOperateur(const QString &chemin, const QString &destination,
                                         const QString &sauf, const TitulaireExecution &titulaire,
                                         const EstVivante &estVivante);

    // Records the new state of a reference `titulaire` holds (with the e-MCF `uid`, or the
    // fingerprint of what its submission carries, when given); false when the row is not held by
    // `titulaire`, the change is not allowed, or it could not be written (the step it announces must
    // then not be sent).
    bool changerEtat(const QString &reference, EtatCertification etat, const TitulaireExecution &titulaire,
                     const QString &uid = QString(), const QString &empreinteSoumission = QString());
    // Records that the reference `titulaire` holds is certified on `destination` (the device or
    // account whose identity was learnt after the claim); false when it could not be written.
    bool changerDestination(const QString &reference, const QString &destination,
                            const TitulaireExecution &titulaire);
    // Adds the row of a certified invoice and marks its journal row done, in one transaction; false
    // when the transaction failed or the journal row may not become done.
    // With `montants`, the invoice's amounts are recorded in the same transaction.
    bool enregistrer(const QString &reference, const ResultatFiscal &resultat,
                     const std::optional<MontantsFacture> &montants = std::nullopt);
    // The invoices certified in `periode`, in the order of certification; nothing when the register
    // cannot be read.
    std::optional<QList<MontantsFacture>> facturesCertifiees(const PeriodeCertification &periode);
    // Every invoice of the register; nothing when it cannot be read.
    std::optional<QList<QPair<QString, ResultatFiscal>>> factures();
    // Moving a till's rows into this register: adds the invoice or the journal row unless its
    // reference is already there; a row that is there is never changed.
    IssueCopie copierFacture(const QString &reference, const ResultatFiscal &resultat,
                             const std::optional<MontantsFacture> &montants = std::nullopt);
    IssueCopie copierLigne(const LigneJournal &ligne);
    // The operator releases `reference`, after checking the device or the service. A row held by a
    // live run is not touched. A device row that may still be open there is marked so, and the next
    // run on that device settles it.
    AbandonOperateur abandonner(const QString &reference, const EstVivante &estVivante);

private:
    // Reads the row of `reference`, lets `changer` edit it, checks the change against the table and
    // writes it, in the current transaction.
    bool modifierLigne(const QString &reference, const std::function<bool(LigneJournal &)> &changer);
    // Applies `changement` to the row of `reference` when `titulaire` holds it (false otherwise, or
    // when it could not be written).
    bool changerLigneTenue(const QString &reference, const TitulaireExecution &titulaire,
                           const std::function<void(LigneJournal &)> &changement);
    // Lets `changer` edit `ligne` and checks the change against the table; false (m_erreur says why)
    // when it is refused.
    bool appliquer(LigneJournal &ligne, const std::function<bool(LigneJournal &)> &changer);
    // The row of `reference` as this run last wrote it, when this run (`titulaire`, alive) holds it
    // and it is not finished: no other run writes such a row.
    const LigneJournal *ligneTenue(const QString &reference, const TitulaireExecution &titulaire);
    // A change of a row ligneTenue knows, in one statement that applies only while the row is still
    // as written (no transaction, no read). Nothing when that cannot decide: no such row, the change
    // refused by the table on what may be an outdated copy, or the row found changed; the caller
    // then reads the row in a transaction.
    std::optional<bool> modifierLigneTenue(const QString &reference, const TitulaireExecution &titulaire,
                                           const std::function<bool(LigneJournal &)> &changer);
    bool echec();

    QString m_nomConnexion;
    std::unique_ptr<StockageRegistre> m_stockage;
    QString m_erreur;
    bool m_partage = false;
    // The journal rows as this register last wrote them, by reference.
    QHash<QString, LigneJournal> m_ecrites;
    // The unfinished rows of a device or service that reprendreEnSuspens read and found nothing to
    // take over in: attenteOperateur, when it is the very next call (as the engine makes it), judges
    // these instead of reading them again. Any other call forgets them.
    struct LignesVues
    {
        QString chemin;
        QString destination;
        QList<LigneJournal> lignes;
    };
    std::optional<LignesVues> m_vues;
};
