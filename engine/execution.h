#pragma once

#include <invoice.h>
#include <parametres.h>

#include <QString>

// What the engine takes from its environment, read once at the start of a run. Tests and
// integrators use these variables to point the engine at the simulators and to shorten waits.
struct EnvironnementMoteur
{
    // ORVANE_MCF_WAIT_MS: longest wait for each group of the device's reply bytes.
    int attenteMcfMs = 30000;
    // ORVANE_EMCF_URL: e-MCF endpoint used instead of the one chosen from pays and modeMCF.
    QString adresseEmcf;
    // ORVANE_EMCF_CA: PEM file of certificate authorities trusted beside the system's.
    QString autoritesEmcf;
    // ORVANE_EMCF_TIMEOUT_MS: time limit of each e-MCF request.
    int delaiEmcfMs = 30000;
};

// Reads the variables above; a variable that is unset, empty or not a positive number keeps its
// default.
EnvironnementMoteur lireEnvironnement();

// The state of one run of the engine, owned by the run and passed by reference.
struct Execution
{
    QString dossierApplication; // where app.xml, mcf.s3db and orvane-render are
    QString cheminEntree;
    QString cheminResultat;
    ParametresMoteur parametres;
    EnvironnementMoteur environnement;
    TablesReference tables;
    Invoice facture;
};
