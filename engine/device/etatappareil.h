#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What the engine learns from the fiscal device's machine-state reply, and the link's own state,
// which lives for the whole run.
struct EtatAppareil
{
    QString codePays;                   // "BJ" or "NE"; empty until recognised
    QString identifiantMCF;             // field 1 of the machine-state reply
    QMap<QString, QString> tauxGroupes; // tax-group letter -> rate text, as reported

    // Sequence number of the last frame built; the first frame of a run carries 0x20.
    int numeroSequence = 0x1F;
    // Bytes of the reply to the frame in flight; emptied just before each frame is written.
    QByteArray tamponReponse;
};
