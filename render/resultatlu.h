#pragma once

#include <QString>

class QTextStream;

// The fiscal result as the renderer takes it from the engine's one-line result file
// (tab-separated).
struct ResultatLu
{
    QString signature; // signature grouped by four
    QString mecef_nim;
    QString mecef_compt;
    QString date; // "dd/MM/yyyy HH:mm:ss"
    QString qrcode;
    QString referenceOriginale; // empty for a sale
    QString reference;          // the invoice the result belongs to
    QString mecef_tc;           // total counter, empty in the engine's demonstration result
};

// Reads lines up to the first non-empty one and splits it; a file with no such line gives empty fields.
ResultatLu lireResultat(QTextStream &flux);
