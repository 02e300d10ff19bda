#pragma once

#include "donneescommandes.h"
#include "etatappareil.h"

#include <invoice.h>
#include <journalcertification.h>
#include <parametres.h>

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
// A device that refuses the new invoice while it still holds another one open (one that no journal
// row explains: every row a dead run left was settled before) is given one close, and the new
// invoice is sent once more.
// Returns what the close of the invoice gave (validated with its fiscal result, cancelled, or no
// readable reply), or nothing when the sequence ended before that close or the device fell silent.
// `attenteMs` is the longest wait for each group of reply bytes.
std::optional<Fermeture> certifierSurAppareil(const QString &reference, ContexteAppareil &execution,
                                              PortMCF &port, std::ostream &console, int attenteMs);
