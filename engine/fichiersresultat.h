#pragma once

#include <resultatfiscal.h>
#include <textesfiscaux.h>

#include <QString>

// The one-line result file: eight tab-separated fields, no line end.
QString ligneResultat(const QString &reference, const ResultatFiscal &resultat, const QString &referenceOriginale);
