#pragma once

#include "etatscertification.h"

#include <QString>

// What the register knows of a refunded invoice.
struct FactureOriginale
{
    QString mecef_nim;
    QString mecef_tc;
    QString mecef_sig;
};

// The run of the engine that holds a reference: its process id and a token of that process's start
// (so that a recycled process id is not taken for the run that died).
struct TitulaireExecution
{
    qint64 pid = 0;
    QString identite;

    bool operator==(const TitulaireExecution &autre) const
    {
        return pid == autre.pid && identite == autre.identite;
    }
};

// One row of the certification journal. Times are UTC, ISO 8601 with milliseconds.
struct LigneJournal
{
    QString reference;
    EtatCertification etat = EtatCertification::Reclamee;
    QString chemin;      // "appareil" or "emcf"
    QString destination; // serial port or service endpoint
    QString empreinte;   // fingerprint of the invoice content
    QString uid;         // e-MCF pending invoice
    TitulaireExecution titulaire;
    QString cree;      // claimed
    QString modifie;   // its state last changed
    QString ouverture; // the new-invoice command was announced to the device (empty: never)
    QString paiement;  // the payment command was announced to the device (empty: never)
    // e-MCF: fingerprint of what the submission carries, to find its pending invoice again when
    // the reply with its uid was lost
    QString empreinteSoumission;
};

inline const QString cheminAppareil = QStringLiteral("appareil");
inline const QString cheminEmcf = QStringLiteral("emcf");
