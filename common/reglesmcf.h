#pragma once

#include "invoice.h"

#include <QString>

// What the engine sends for an invoice, alike on the fiscal device and to the e-MCF service.

// The tax group an item is sent with: its own, else "B" for an item with VAT and "A" for one
// without (the VAT text is read back with the French locale it was written with; an unreadable
// text counts as no VAT).
QString groupeTaxeEnvoye(const InvoiceItem &article);

// The levy code ("aib" in Bénin, "isb" in Niger) the e-MCF service is sent for the invoice's
// withholding code: the service's group of the same rate (tauxTaxe). Bénin: "AIB1" as "A" (1 %),
// "AIB5" as "B" (5 %). Niger, whose ISB groups are A 2 % and B 5 %: "AIB5" as "B"; "AIB1" (1 %) has
// no ISB group and goes as it is. Every other code goes as it is; the service refuses the codes it
// does not know.
QString codePrelevementEmcf(const QString &codeTaxeSpecifique, const QString &pays);

// Comments travel only with a kind of one letter from "A" to "H".
bool genreCommentaireConnu(const QString &genre);

// The ISF sent for a Niger invoice: the setting, or "Orvane" when it is empty.
QString isfEnvoye(const QString &isf);

// The largest accepted difference between the total the device or the service computed and the
// invoice's own, when `tolerance` is 0: the device allows the sum of the quantities, the e-MCF
// service half of it. A tolerance other than 0 replaces both.
double ecartPermisAppareil(double tolerance, double sommeQuantites);
double ecartPermisEmcf(double tolerance, double sommeQuantites);
