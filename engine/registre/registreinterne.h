#pragma once

#include "etatscertification.h"

#include <QDateTime>
#include <QString>

// What the register's policy files (registre.cpp, reclamation.cpp, reprise.cpp, abandon.cpp,
// enregistrement.cpp) share and nobody else needs.

// Journal times: UTC, ISO 8601 with milliseconds.
inline QString maintenantRegistre()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

inline QString raisonChangement(EtatCertification de, EtatCertification vers)
{
    return QStringLiteral("changement d'etat refuse: %1 -> %2").arg(nomEtat(de), nomEtat(vers));
}

inline const QString raisonPasTitulaire = QStringLiteral("la facture n'est pas tenue par cette execution");
