#pragma once

#include "resultatfiscal.h"

#include <QList>
#include <QString>

#include <functional>

class QSqlQuery;
#include <optional>

// What the register knows of a refunded invoice.
struct FactureOriginale
{
    QString mecef_nim;
    QString mecef_tc;
    QString mecef_sig;
};

// The run of the engine that holds a reference: its process id and a token of that process's start
// (so that a recycled process id is not taken for the run that died).
struct TitulaireExecution
{
    qint64 pid = 0;
    QString identite;
};

// Where one certification stands, as the journal records it. Each state is written before the step
// it announces is sent to the device or the service, so that a run that dies at any point leaves
// behind what the next run must settle.
enum class EtatCertification {
    Reclamee,            // claimed by a run; nothing sent yet
    Ouverte,             // new-invoice command sent to the device
    Payee,               // payment command sent to the device
    FermetureEnvoyee,    // close command sent: the device decides; outcome unknown until recorded
    SoumissionEnvoyee,   // invoice posted to the e-MCF service, no uid known yet
    Soumise,             // the service holds it pending under `uid`
    ConfirmationEnvoyee, // confirmation of `uid` sent: outcome unknown until recorded
    Terminee,            // recorded in `facture`
    Abandonnee,          // nothing certified, or released by the operator (--abandonner)
};

QString nomEtat(EtatCertification etat);

// True for a state in which the device or the service may hold something of the invoice that a
// run must settle (open, paid, close sent, pending, confirmation sent); false when nothing was sent
// that could certify it, or when it is finished.
bool etatEngage(EtatCertification etat);

// One row of the certification journal.
struct LigneJournal
{
    QString reference;
    EtatCertification etat = EtatCertification::Reclamee;
    QString chemin;      // "appareil" or "emcf"
    QString destination; // serial port or service endpoint
    QString empreinte;   // fingerprint of the invoice content
    QString uid;         // e-MCF pending invoice
    TitulaireExecution titulaire;
    QString cree;
    QString modifie;
};

// Outcome of claiming a reference for certification.
struct Reclamation
{
    enum class Issue {
        Nouvelle,      // claimed by this run: certify it (after settling `precedente` when set)
        DejaValidee,   // in `facture`: reprint it
        TenueAilleurs, // a live run is certifying it
        IssueInconnue, // a dead run sent the close or the confirmation and nobody knows the outcome
        Echec,         // the register could not be read or written: nothing may be sent
    };
    Issue issue = Issue::Echec;
    std::optional<ResultatFiscal> resultat; // DejaValidee
    QString empreinte;                      // DejaValidee: the fingerprint stored with it, if any
    std::optional<LigneJournal> precedente; // the journal row this run took over or was stopped by
    QString erreur;                         // Echec: SQLite's reason
};

// The invoice register: table `facture` of the SQLite file mcf.s3db, one row per certified invoice,
// and table `certification`, the journal of the certifications in progress. Values are always bound,
// never pasted into the statements, so any reference text is safe.
class Registre
{
public:
    using EstVivante = std::function<bool(const TitulaireExecution &)>;

    explicit Registre(const QString &nomConnexion);
    ~Registre();
    Registre(const Registre &) = delete;
    Registre &operator=(const Registre &) = delete;

    // Opens (or creates) the database file and makes sure its tables exist. A file that is not a
    // usable register still opens; `reclamer` then fails with SQLite's reason.
    bool ouvrir(const QString &chemin);
    void fermer();
    bool estOuvert() const { return m_ouvert; }
    // SQLite's reason for the last failure.
    QString erreur() const { return m_erreur; }

    // First row of the refunded invoice `reference`; nothing when absent or when the query fails.
    std::optional<FactureOriginale> trouverOriginale(const QString &reference) const;
    // Stored result of `reference` (duplicate check); nothing when absent or when the query fails.
    std::optional<ResultatFiscal> chercher(const QString &reference) const;

    // In one immediate transaction: looks `reference` up in `facture`, then in the journal, and
    // claims it for `titulaire` when it is free or was left by a run that is gone.
    Reclamation reclamer(const QString &reference, const QString &empreinte, const QString &chemin,
                         const QString &destination, const TitulaireExecution &titulaire,
                         const EstVivante &estVivante);
    // Takes over the rows of `chemin` and `destination` that runs now gone left in a state that the
    // device or the service must settle (open, paid, pending, confirmation sent), other than
    // `sauf`. Rows they left before sending anything are released.
    QList<LigneJournal> reprendreEnSuspens(const QString &chemin, const QString &destination,
                                           const QString &sauf, const TitulaireExecution &titulaire,
                                           const EstVivante &estVivante);
    // Rows of `chemin` and `destination` other than `sauf`, held by `titulaire` or by runs now gone,
    // with a close or a confirmation sent and no known outcome: only the operator can release them
    // (--abandonner).
    QList<LigneJournal> issuesInconnues(const QString &chemin, const QString &destination,
                                        const QString &sauf, const TitulaireExecution &titulaire,
                                        const EstVivante &estVivante) const;
    // Records the new state of a reference this run holds; false when it could not be written (the
    // step it announces must then not be sent).
    bool changerEtat(const QString &reference, EtatCertification etat, const TitulaireExecution &titulaire,
                     const QString &uid = QString());
    // Adds the row of a certified invoice and marks its journal row done, in one transaction; false
    // when the transaction failed.
    bool enregistrer(const QString &reference, const ResultatFiscal &resultat);
    // Marks the unfinished journal row of `reference` abandoned. Returns the state it was in, or
    // nothing when there was no unfinished row (or it could not be written).
    std::optional<EtatCertification> abandonner(const QString &reference);
    // The journal row of `reference`, if any.
    std::optional<LigneJournal> ligneJournal(const QString &reference) const;

private:
    bool executer(const QString &sql);
    // Runs `travail` in one immediate transaction and commits it; false, with SQLite's reason in
    // erreur(), when the transaction could not be taken, `travail` failed or the commit failed.
    bool enTransaction(const std::function<bool(QSqlQuery &)> &travail);
    QString m_nomConnexion;
    bool m_ouvert = false;
    QString m_erreur;
};
