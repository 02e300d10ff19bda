#pragma once

#include "lignejournal.h"
#include "montantsfacture.h"

#include <resultatfiscal.h>

#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

// Where the register keeps its two tables: `facture` (one row per certified invoice, the seven
// text columns) and `certification` (the journal). Only reads and writes of rows: what they mean
// is the register's policy (registre.h), which never sees the database behind.
//
// Every read that fails returns false (or nothing) and leaves the reason in erreur(); a read that
// finds nothing succeeds with an empty answer.
class StockageRegistre
{
public:
    virtual ~StockageRegistre() = default;

    // The reason of the last failure, as the database gave it.
    virtual QString erreur() const = 0;

    // This run, as the journal records the run that holds a reference.
    virtual TitulaireExecution titulaire() = 0;
    // True while the run `titulaire` names can still act on the references it holds.
    virtual bool titulaireVivant(const TitulaireExecution &titulaire) = 0;

    // Runs `travail` in one transaction taken at once for writing, so that two runs never both read
    // a reference as free, and commits it when `travail` returns true. False when the transaction
    // could not be taken, `travail` failed or the commit failed; nothing of it is kept then.
    virtual bool enTransaction(const std::function<bool()> &travail) = 0;

    // The first `facture` row of `reference`.
    virtual bool lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat) = 0;
    // Every `facture` row, reference and result.
    virtual bool lireFactures(QList<QPair<QString, ResultatFiscal>> &factures) = 0;
    // The columns a refund needs from the first `facture` row of `reference`.
    virtual bool lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale) = 0;
    // Adds one `facture` row.
    virtual bool ajouterFacture(const QString &reference, const ResultatFiscal &resultat) = 0;
    // True when a `facture` row for `reference` could be added as the table stands (its columns,
    // constraints and triggers); nothing is kept of the trial.
    virtual bool factureInserable(const QString &reference) = 0;

    // Adds the amounts row of `montants.reference`, or replaces it. A register whose tables could not
    // be brought up to date has no such table: nothing is written and it succeeds, so that the
    // invoice row is recorded all the same.
    virtual bool ajouterMontants(const MontantsFacture &montants) = 0;
    // The invoices certified in `periode`, in the order of certification. Those recorded before the
    // register kept amounts come without them.
    virtual bool lireMontants(const PeriodeCertification &periode, QList<MontantsFacture> &montants) = 0;

    // The journal row of `reference`.
    virtual bool lireLigne(const QString &reference, std::optional<LigneJournal> &ligne) = 0;
    // Unfinished journal rows (neither done nor abandoned), oldest claim first: those of `chemin` and
    // `destination` when given (not empty), else all of them. Rows whose state this version does not know are
    // read as waiting for the operator.
    virtual bool lireLignes(const QString &chemin, const QString &destination,
                            QList<LigneJournal> &lignes) = 0;
    // Writes the whole row of `ligne.reference`, adding it when there is none.
    virtual bool ecrireLigne(const LigneJournal &ligne) = 0;

    // The first `facture` row of `reference` and its journal row, as they stood at one instant (a
    // run recording the invoice changes both at once).
    virtual bool lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                                    std::optional<LigneJournal> &ligne) = 0;
    // Writes `ligne` over the journal row of the same reference only if that row is still exactly
    // `avant` in every column, in one statement of its own; `ecrite` tells whether it was. False only
    // when the statement failed.
    virtual bool remplacerLigne(const LigneJournal &avant, const LigneJournal &ligne, bool &ecrite) = 0;
    // Adds one `facture` row (and its amounts when given) and writes `ligne` over the journal row as
    // remplacerLigne does, all or nothing: nothing is kept when the row was not `avant` (`ecrite`
    // false).
    virtual bool enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                                    const std::optional<MontantsFacture> &montants, const LigneJournal &avant,
                                    const LigneJournal &ligne, bool &ecrite) = 0;
    // The next write transaction claims `reference`: it will try whether a `facture` row for it can
    // be added (factureInserable) and read its rows (lireFactureEtLigne). A storage may do both as
    // the transaction starts, in the same exchange with the database.
    virtual void prevoirReclamation(const QString &reference) { Q_UNUSED(reference); }
};
