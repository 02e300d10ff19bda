#pragma once

#include "donneescommandes.h"

#include <lignejournal.h>
#include <resultatfiscal.h>

#include <QList>

#include <optional>

// What a run does with the invoices that runs now gone left unfinished on its device (opened, paid,
// close sent, or released by the operator while the device may hold them), once it has sent the
// device one close.
//
// A device holds at most one open invoice, and a close acts on whichever it is. Opening an invoice
// proves that every invoice opened before it had been closed, so the only one that can still be
// open is the last one opened; and a validation needs a payment. Hence:
// - a validation belongs to the last opened of the rows that may have been paid;
// - a cancellation belongs to that row too when no row was opened after it, else it says nothing
//   of it;
// - a refusal (nothing open) says that every row had been closed before: an unpaid row was
//   cancelled; a paid one was validated or cancelled, and which is lost (its reference waits for the
//   operator), unless the operator has already decided about it;
// - no answer at all says nothing: every row stays for the next run.
struct DecisionReglement
{
    enum class Sorte {
        Enregistrer, // validated: recorded under its own reference with `resultat`
        Liberer,     // not certified: released
        Bloquer,     // outcome lost: kept from any new certification until the operator decides
        Laisser,     // nothing learnt: left for the next run
    };
    LigneJournal ligne;
    Sorte sorte = Sorte::Laisser;
    std::optional<ResultatFiscal> resultat;
};

// The rows in the order in which the close should be thought of: the last opened first (rows that
// never recorded their opening come last, latest claim first).
QList<LigneJournal> ordreOuverture(QList<LigneJournal> lignes);

// The row that a validation brought by the next close would belong to: the last opened of those
// that may have been paid; nothing when none may have been.
std::optional<LigneJournal> ligneValidable(const QList<LigneJournal> &lignes);

// One decision per row, in `ordreOuverture` order, for the close's outcome (`sansReponse`: the device
// gave no answer in time). `inexpliquee` receives a validation that belongs to none of the rows.
QList<DecisionReglement> reglerApresFermeture(const QList<LigneJournal> &lignes, const Fermeture &fermeture,
                                              bool sansReponse, std::optional<ResultatFiscal> &inexpliquee);
