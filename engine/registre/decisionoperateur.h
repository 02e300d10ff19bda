#pragma once

#include "registre.h"

#include <QString>

// What the operator is told and can do about invoices whose certification no run can finish: the
// same texts and the same release for the engine's console (--abandonner) and the setup dialog.

// "Verifiez ..., puis lancez: orvane-engine --abandonner REFERENCE" and where else to do it, with
// its line end.
QString instructionAbandon(const LigneJournal &ligne);

// What the operator should check before deciding about `ligne`, in one sentence.
QString conseilOperateur(const LigneJournal &ligne);

// True when the operator is offered to release `ligne` now: unfinished, not held by a live run, and
// not an invoice that the next run on its device settles by itself (opened, paid, close sent): a
// release there would turn a lost close into a second certification.
bool abandonPossible(const LigneJournal &ligne, const Registre::EstVivante &estVivante);

// Releases `reference` for the operator (see Registre::abandonner), judging live runs as the
// register does.
AbandonOperateur abandonnerFacture(Registre &registre, const QString &reference);

// What the release came to, as one or two lines with their line ends.
QString texteAbandon(const QString &reference, const AbandonOperateur &abandon);
