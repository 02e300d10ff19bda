#pragma once

#include <resultatfiscal.h>

#include <QString>

// Signature grouped by four with "-" (a text that already holds a dash is left as it is).
QString texteSignature(const QString &mecef_sig);
// "yyyyMMddHHmmss" as "dd/MM/yyyy HH:mm:ss"; a text holding "/" is left as it is, an unreadable one
// gives an empty text.
QString texteDate(const QString &mecef_date);
// The one-line result file: eight tab-separated fields, no line end.
QString ligneResultat(const QString &reference, const ResultatFiscal &resultat, const QString &referenceOriginale);
