#pragma once

#include <QString>

// The e-MCF invoice endpoint of a country and mode; empty for a country other than
// "Bénin" and "Niger". Only the exact mode "Développement" selects the test server.
QString adresseApiPour(const QString &pays, const QString &modeMCF);
