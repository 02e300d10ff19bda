#pragma once

#include <QStringList>

#include <ostream>

// One run of the renderer: arguments (input path, result path), reading of ./app.xml, of the input
// and result files, QR image, document text and output. Console messages go to `console`.
// Always returns 0.
int executerRendu(const QStringList &arguments, const QString &dossierProgramme, std::ostream &console);
