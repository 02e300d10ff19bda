#pragma once

#include <QString>

// The e-MCF invoice endpoint of a country and mode; empty for a country other than
// "Bénin" and "Niger". Only the exact mode "Développement" selects the test server.
QString adresseApiPour(const QString &pays, const QString &modeMCF);

// The endpoint the web client talks to: ORVANE_EMCF_URL when that variable is set and not empty
// (integration and tests, whatever the country), otherwise `adresseApi`.
QString adresseApiEffective(const QString &adresseApi);
