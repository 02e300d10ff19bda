#pragma once

#include <QStringList>

#include <ostream>

// One run of the renderer: arguments (input path, result path), reading of ./app.xml, of the input
// and result files, QR image, document text and output. Console messages go to `console`, among
// them why an invoice is printed with the mark "FACTURE NON CERTIFIEE".
// Returns 0, or 1 when a quantity or price is not a number (nombreIllisible): nothing is output,
// or when the document could not be put out (no printer, PDF not written).
int executerRendu(const QStringList &arguments, const QString &dossierProgramme, std::ostream &console);
