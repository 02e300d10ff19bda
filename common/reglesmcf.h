#pragma once

#include "invoice.h"

#include <QString>

// What the engine sends for an invoice, alike on the fiscal device and to the e-MCF service.

// The tax group an item is sent with: its own, else "B" for an item with VAT and "A" for one
// without (the VAT text is read back with the French locale it was written with; an unreadable
// text counts as no VAT).
QString groupeTaxeEnvoye(const InvoiceItem &article);

// Comments travel only with a kind of one letter from "A" to "H".
bool genreCommentaireConnu(const QString &genre);

// The ISF sent for a Niger invoice: the setting, or "Orvane" when it is empty.
QString isfEnvoye(const QString &isf);

// The largest accepted difference between the total the device or the service computed and the
// invoice's own, when `tolerance` is 0: the device allows the sum of the quantities, the e-MCF
// service half of it. A tolerance other than 0 replaces both.
double ecartPermisAppareil(double tolerance, double sommeQuantites);
double ecartPermisEmcf(double tolerance, double sommeQuantites);
