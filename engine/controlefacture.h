#pragma once

#include <invoice.h>

#include <QString>

// Checks made on the parsed invoice before anything is sent to a device or a service.

// Why the invoice must not be certified, as a console line; empty when it may be. Refused: an empty
// reference, or one holding a control character (a tab would shift the fields of the result file);
// a quantity or price that is written but is not a number (nombreIllisible, lecturefacture.h); an
// item number that is not finite or beyond 1e15 in magnitude (no device or service total could
// then be checked against it).
QString motifRefus(const Invoice &facture);

// A fingerprint of what the invoice certifies (type, client, levy code, refunded invoice, total and
// every item), so that a reference used again for another content is told apart from a reprint.
// The print mode and other presentation fields are not part of it.
QString empreinteFacture(const Invoice &facture);
