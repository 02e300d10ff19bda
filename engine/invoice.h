#pragma once

#include <ligneentree.h>

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>
#include <ostream>

// One item line of the invoice, as the device and web paths read it. All texts are the trimmed
// fields of the input file, except `tva`, which the parser computes.
struct InvoiceItem
{
    QString designation;
    QString quantite;
    QString prixHT;
    QString tva; // line VAT, rounded to a whole number, written with the French locale
    QString prixTTC;
    QString complementArticle;
    QString taxeSpecifiqueHT;
    QString taxeSpecifique;
    QString groupeTaxe;
};

// A comment line: a kind (label) and a text (value).
struct InvoiceComment
{
    QString libelle;
    QString valeur;
};

// The invoice record of one run.
struct Invoice
{
    QString reference;
    QString typeFacture;
    QString nomOperateur = QStringLiteral("Orvane");
    QString idOperateur = QStringLiteral("1");
    QString codePaiement;
    QString nomClient;
    QString ifuClient;
    QString adresseClient;
    QString contactClient;
    QString contactClient2;
    QString codeTaxeSpecifique;
    QString impression;
    QString referenceOriginale; // fiscal reference of the refunded invoice; empty for a sale
    double totalFacture = 0;
    QList<InvoiceItem> articles;
    QList<InvoiceComment> commentaires;
    int nombreLignes = 0; // counted lines read so far; 0 while the header is awaited
};

// Reference tables filled at start from the country.
struct TablesReference
{
    QString nomTaxeSpecifique;            // "AIB" in Bénin, "ISB" in Niger
    QMap<QString, double> tauxTaxe;       // withholding code -> percent
    QMap<QString, QString> modesPaiement; // payment code -> payment name

    double taux(const QString &code) const { return tauxTaxe.value(code, 0); }
};

TablesReference tablesReference(const QString &pays);

// What the register knows of a refunded invoice.
struct FactureOriginale
{
    QString mecef_nim;
    QString mecef_tc;
    QString mecef_sig;
};

// Everything the line parser needs besides the line and the record.
struct ContexteAnalyse
{
    QString pays;
    bool modeEnLigne = false;
    const TablesReference *tables = nullptr;
    // Looks a business reference up in the register (nothing when absent or on a query failure).
    std::function<std::optional<FactureOriginale>(const QString &)> trouverOriginale;
};

// Parses one counted line (U+0000 already removed) into the record and prints the parser's console
// lines. The caller increments nombreLignes afterwards.
void analyserLigne(const QString &ligne, Invoice &facture, const ContexteAnalyse &contexte,
                   std::ostream &console);

// A whole number written with the French locale (digits grouped by its separator).
QString entierFrancais(double valeur);

#include <QStringConverter>
// Encoding of the input file from the `encodage` setting: its number as QStringConverter::Encoding
// (0 UTF-8 ... 7 Latin-1, 8 system); a text that is not a number, or a code outside 0..8, gives UTF-8.
QStringConverter::Encoding encodageEntree(const QString &encodage);
