#pragma once

#include "etatappareil.h"

#include <invoice.h>
#include <reglesmcf.h>
#include <resultatfiscal.h>

#include <QString>
#include <QStringList>

#include <optional>

// Pure parts of the device commands: the data text each command sends, and how a reply is read.
// The operations that send them are in commandesmcf.h.

namespace codes {
constexpr int etatMachine = 0xC1;
constexpr int client = 0xC3;
constexpr int nouvelleFacture = 0xC0;
constexpr int article = 0x31;
constexpr int commentaire = 0x36;
constexpr int sousTotal = 0x33;
constexpr int paiement = 0x35;
constexpr int fermeture = 0x38;
} // namespace codes

// A reply split on "," with empty fields kept: an empty reply is one empty field.
QStringList champsReponse(const QString &reponse);

// x rounded to the nearest whole number, halves away from zero, without decimals or grouping.
QString montantArrondi(double valeur);

// The device state a machine-state reply describes (10 fields: Bénin, 29: Niger), or nothing.
std::optional<EtatAppareil> lireEtatMachine(const QStringList &champs);

QString donneesClient(const QString &ifuClient, const QString &nomClient, const QString &adresseClient,
                      const QString &contactClient, const QString &contactClient2);

// The header fields of a new fiscal invoice.
struct EnteteFacture
{
    QString reference;
    QString typeFacture;
    QString referenceOriginale;
    QString ifuClient;
    QString nomClient;
    QString codeTaxeSpecifique;
    QString nomOperateur;
    QString idOperateur;
};

QString donneesFactureBenin(const EnteteFacture &entete, const EtatAppareil &appareil);
// `isf` is the identifier actually sent (the caller substitutes the default for an empty setting).
QString donneesFactureNiger(const EnteteFacture &entete, const EtatAppareil &appareil,
                            const QString &modePrix, const QString &isf);

QString donneesArticleBenin(const InvoiceItem &article);
QString donneesArticleNiger(const InvoiceItem &article, const EtatAppareil &appareil,
                            const QString &modePrix);

QString donneesCommentaire(const QString &genre, const QString &texte);

// The payment code the device knows: the invoice's own when it is one of V C M D E A, else "A".
QString codePaiementMCF(const QString &codePaiement);
QString donneesConfirmation(const QString &codePaiement, const QString &sousTotal);

// A number with at most 6 significant digits, trailing zeros dropped, in exponent notation only
// for very small or very large values.
QString texteDifference(double difference);

// Judgement of the device's subtotal against the invoice total.
struct EvaluationSousTotal
{
    bool accepte = false;
    QString sousTotal;    // field 0 of the reply, as received
    QStringList messages; // the log lines, in order
};

// `sommeQuantites` is the allowance used when `tolerance` is 0.
EvaluationSousTotal evaluerSousTotal(const QStringList &champs, double totalFacture, double sommeQuantites,
                                     double tolerance);

// Outcome of the close command.
struct Fermeture
{
    enum Issue { Validee, Annulee, Inattendue } issue = Inattendue;
    // Validated: the fiscal result the reply carries.
    std::optional<ResultatFiscal> resultat;
};

Fermeture lireFermeture(const QStringList &champs);
