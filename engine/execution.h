#pragma once

#include "device/etatappareil.h"
#include "invoice.h"
#include "web/transportemcf.h"

#include <parametres.h>

class QNetworkAccessManager;

// The three network access managers of the web path, one per exchange; each one's `finished`
// signal is connected to the handler of the reply it carries.
struct GestionnairesReseau
{
    QNetworkAccessManager *etat = nullptr;           // status request -> traiterEtatServeur
    QNetworkAccessManager *enregistrement = nullptr; // submission -> traiterEnregistrement
    QNetworkAccessManager *confirmation = nullptr;   // confirm/cancel -> traiterConfirmation
};

// The state of one run of the engine, owned by the run and passed by reference.
struct Execution
{
    QString dossierApplication; // where app.xml, mcf.s3db and orvane-render are
    QString cheminEntree;
    QString cheminResultat;
    ParametresMoteur parametres;
    TablesReference tables;
    Invoice facture;
    // Sum of the item quantities: the default allowed difference of the total checks.
    double sommeQuantites = 0;
    // Device path state.
    EtatAppareil appareil;

    // Web path state.
    GestionnairesReseau reseau;
    TransportEmcf transport; // trusted authorities and time limit, set when the web path starts
};
