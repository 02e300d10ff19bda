#pragma once

#include "invoice.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <string>

struct ParametresMoteur;

// What a reply handler of the e-MCF exchange does once it has read a reply body: the console
// text it prints after the raw reply, then either the next request or the end of the exchange.
struct DecisionEmcf
{
    enum class Suite {
        Terminer,  // end the event loop
        Soumettre, // POST the invoice
        Confirmer, // PUT .../uid/confirm
        Annuler,   // PUT .../uid/cancel
    };

    std::string console;
    Suite suite = Suite::Terminer;
    QByteArray corps;          // Soumettre: the JSON body, indented, UTF-8
    double sommeQuantites = 0; // Soumettre: sum of the item quantities
    QString uid;               // Confirmer, Annuler: "uid" of the pending invoice (empty when not a text)
    QStringList resultat;      // Terminer after a confirmation: the six fiscal texts
};

// Everything the submission needs from the run.
struct DonneesFacture
{
    const Invoice &facture;
    const ParametresMoteur &parametres;
    const TablesReference &tables;
};

// Reply to the status request: submit when "status" is true; otherwise end, with the service's
// error report when it gives a "title". Anything that is not a JSON object with "status" is invalid.
DecisionEmcf decisionEtatServeur(const QByteArray &reponse, const DonneesFacture &donnees);

// Reply to the submission: confirm when the service's total is within the allowance, else cancel.
// Anything that is not a JSON object with "uid" is a failed submission.
DecisionEmcf decisionEnregistrement(const QByteArray &reponse, double totalFacture, double tolerance,
                                    double sommeQuantites);

// Reply to the confirmation or the cancellation: a reply with "qrCode" yields the fiscal result.
DecisionEmcf decisionConfirmation(const QByteArray &reponse, const QString &pays);

// URL of the decision on a pending invoice: the endpoint, "/", the uid and "/confirm" or "/cancel".
// The uid is a text from the service: it is percent-encoded so that it stays one path segment.
QUrl urlDecision(const QString &adresseApi, const QString &uid, bool confirmer);

// Whether a reply to GET on a pending invoice's uid shows it still pending: a JSON object with its
// details and no "errorCode" (an unknown, confirmed or cancelled uid gets an error).
bool factureEnAttente(const QByteArray &reponse);
