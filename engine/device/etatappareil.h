#pragma once

#include <QMap>
#include <QString>

// What the engine learns from the fiscal device's machine-state reply; it lives for the whole run.
struct EtatAppareil
{
    QString codePays;                   // "BJ" or "NE"; empty until recognised
    QString identifiantMCF;             // field 1 of the machine-state reply
    QMap<QString, QString> tauxGroupes; // tax-group letter -> rate text, as reported
};
