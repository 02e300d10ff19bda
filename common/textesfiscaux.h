#pragma once

#include <QString>

// The fiscal result's texts as the result file and the documents show them.

// Signature grouped by four with "-" (a text that already holds a dash is left as it is).
QString texteSignature(const QString &mecef_sig);
// "yyyyMMddHHmmss" as "dd/MM/yyyy HH:mm:ss"; a text holding "/" is left as it is, an unreadable one
// gives an empty text.
QString texteDate(const QString &mecef_date);
