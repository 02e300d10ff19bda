#pragma once

#include "etatappareil.h"

#include <invoice.h>
#include <journalcertification.h>
#include <parametres.h>

#include <QStringList>

#include <optional>
#include <ostream>

class PortMCF;

// What one certification on the device reads and leaves behind.
struct ContexteAppareil
{
    Invoice facture;
    ParametresMoteur parametres; // an empty `isf` becomes "Orvane" once sent to a Niger device
    EtatAppareil appareil;       // what the machine-state reply told
    // Sum of the item quantities sent: the default allowed difference of the subtotal check.
    double sommeQuantites = 0;
    // Told before each step that commits the device; none in tests of the sequence alone.
    JournalCertification *journal = nullptr;
};

// Runs the whole dialogue that certifies the invoice of the run on the fiscal device behind
// `port`: opens it, checks the machine, registers the client, sends the invoice, its items and
// comments, checks the subtotal, pays, closes, and closes the port again.
// Returns the list the close command gave (six fiscal texts, or empty when the device cancelled
// the invoice), or nothing when the sequence ended before the close command.
// `attenteMs` is the longest wait for each group of reply bytes.
std::optional<QStringList> certifierSurAppareil(const QString &reference, ContexteAppareil &execution,
                                                PortMCF &port, std::ostream &console, int attenteMs);
