#pragma once

#include <ostream>

class QCoreApplication;

// One run of orvane-engine on the application's command line: settings, invoice, certification,
// register, result files. Returns the process exit code.
int executerMoteur(QCoreApplication &application, std::ostream &console);
