#pragma once

#include <invoice.h>
#include <resultatfiscal.h>

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <string>

struct ParametresMoteur;

// Replies longer than this are not read: they are refused as a failure of the exchange.
constexpr qsizetype tailleMaximaleReponse = 1024 * 1024;

// A finished reply as the transport hands it over: its body and what went wrong on the way.
struct ReponseEmcf
{
    enum class Echec {
        Aucun,
        Delai,              // the time limit ran out
        ConnexionRefusee,   // nobody listens at the address
        ServeurIntrouvable, // the host name does not resolve
        Certificat,         // the TLS handshake failed, the server's certificate was refused
        TropLongue,         // the body grew over tailleMaximaleReponse
        Proxy,              // the proxy could not be reached or refused to carry the request
        ProxyAuthentification, // the proxy wants credentials, which nobody gives it
        Reseau,             // any other network failure
    };

    QByteArray corps; // empty after any failure but an HTTP error status
    Echec echec = Echec::Aucun;
    int statutHttp = 0; // 0 when no HTTP answer came
    int delaiMs = 0;    // Delai: the limit that ran out
    std::string detail; // Reseau, Proxy: the system's text

    ReponseEmcf() = default;
    // A body that came whole, without a transport failure.
    ReponseEmcf(const QByteArray &corpsRecu) : corps(corpsRecu) {}
};

// What the console shows of a reply: the body unchanged, nothing for a body over the maximum.
std::string texteReponse(const ReponseEmcf &reponse);

// The one line that says why an exchange failed, empty when the transport and the HTTP status have
// nothing to tell: "Cause: delai de 30000 ms depasse.\n", "Cause: jeton refuse (HTTP 401).\n"...
std::string ligneCause(const ReponseEmcf &reponse);

// What a reply handler of the e-MCF exchange does once it has read a reply body: the console
// text it prints after the raw reply, then either the next request or the end of the exchange.
struct DecisionEmcf
{
    enum class Suite {
        Terminer,  // end the event loop
        Soumettre, // POST the invoice
        Confirmer, // PUT .../uid/confirm
        Annuler,   // PUT .../uid/cancel; after a failed confirmation, gives up the pending invoice
    };

    std::string console;
    Suite suite = Suite::Terminer;
    QByteArray corps;          // Soumettre: the JSON body, indented, UTF-8
    double sommeQuantites = 0; // Soumettre: sum of the item quantities
    QString uid;               // Confirmer, Annuler: "uid" of the pending invoice (empty when not a text)
    std::optional<ResultatFiscal> resultat; // Terminer after a confirmation: its fiscal result
    bool annulee = false;                   // after a cancellation: the service cancelled the pending invoice
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
// A failure is followed by its cause.
DecisionEmcf decisionEtatServeur(const ReponseEmcf &reponse, const DonneesFacture &donnees);

// Reply to the submission: confirm when the service's total is within the allowance, else cancel.
// Anything that is not a JSON object with "uid" is a failed submission, followed by the service's
// "errorCode" and "errorDesc" when it gave them, else by the cause.
DecisionEmcf decisionEnregistrement(const ReponseEmcf &reponse, double totalFacture, double tolerance,
                                    double sommeQuantites);

// Reply to the confirmation: only a JSON object with "qrCode", without "errorCode" and without an
// HTTP error status, yields the fiscal result. Anything else is a failed confirmation (with the
// service's error or the cause) after which the pending invoice is given up (Suite::Annuler),
// unless the service said that the uid is unknown or already finalised (code 20).
DecisionEmcf decisionConfirmation(const ReponseEmcf &reponse, const QString &pays);

// Reply to a cancellation: a JSON object without "errorCode" and without an HTTP error status is a
// successful cancellation; anything else a failed decision, with the service's error or the cause.
DecisionEmcf decisionAnnulation(const ReponseEmcf &reponse);

// The line that announces the cancellation of a pending invoice after a failed confirmation.
std::string ligneAbandon(const QString &uid);

// URL of the decision on a pending invoice: the endpoint, "/", the uid and "/confirm" or "/cancel".
// The uid is a text from the service: it is percent-encoded so that it stays one path segment.
QUrl urlDecision(const QString &adresseApi, const QString &uid, bool confirmer);

// Whether a reply to GET on a pending invoice's uid shows it still pending: a JSON object with its
// details and no "errorCode" (an unknown, confirmed or cancelled uid gets an error).
bool factureEnAttente(const ReponseEmcf &reponse);
