#pragma once

#include <QMap>
#include <QString>

struct Invoice;
struct InvoiceItem;

// Tax tables, the withholding rule and the totals of an invoice, for the engine and the renderer.

// Withholding rate in percent of a withholding code in `pays`: "AIB1" 1, "AIB5" 5, "A" 2, "B" 5,
// "C" and "D" 0, except in Bénin, where the letter codes are the e-MCF service's AIB groups: "A" 1
// and "B" 5, as "AIB1" and "AIB5". 0 for an unknown code. The engine, the renderer, the device
// simulator and the levy code sent to the e-MCF service (reglesmcf.h) all follow this table.
double tauxTaxe(const QString &code, const QString &pays);

// Reference tables of the engine, filled at start from the country.
struct TablesReference
{
    QString nomTaxeSpecifique;            // "AIB" in Bénin, "ISB" in Niger
    QMap<QString, double> tauxTaxe;       // withholding code -> percent, in the country
    QMap<QString, QString> modesPaiement; // payment code -> payment name

    double taux(const QString &code) const { return tauxTaxe.value(code, 0); }
};

TablesReference tablesReference(const QString &pays);

// The withholding (AIB in Bénin, ISB in Niger) at `taux` percent: on the amounts without tax plus
// the specific tax without tax in Bénin, on the amounts with tax, specific tax included, in Niger;
// none in another country.
double retenue(const QString &pays, double taux, double baseHT, double baseTTC);

// Amounts of one item line.
double ligneHT(const InvoiceItem &article);  // quantity x unit price without tax
double ligneTTC(const InvoiceItem &article); // quantity x unit price with tax + specific tax
// The line VAT the documents print: TTC - HT of the line, specific taxes included, full precision.
double ligneTVA(const InvoiceItem &article);

// One line as the engine certifies it: its amount with tax (specific tax apart), the withholding of
// the invoice's code on it, and their total with the specific tax.
struct LigneCertifiee
{
    double ttc = 0;
    double retenue = 0;
    double total = 0;
};
LigneCertifiee ligneCertifiee(const InvoiceItem &article, const QString &codeTaxeSpecifique,
                              const QString &pays);

// Sums of one tax group.
struct SommesGroupe
{
    double ht = 0;
    double taxeSpecifiqueHT = 0;
    double tva = 0;
};

// The totals the documents print.
struct TotauxFacture
{
    double totalTSHT = 0;
    double totalTS = 0;
    double totalHT = 0;
    double totalTTC = 0;
    double totalTVA = 0; // group "A" (exempt) left out
    double totalQuantite = 0;
    // Share of the client (partClient percent of each line) and of the insurer (the rest).
    double clientHT = 0, clientTTC = 0, clientTVA = 0, clientTSHT = 0;
    double assuranceHT = 0, assuranceTTC = 0, assuranceTVA = 0, assuranceTSHT = 0;
    QMap<QString, SommesGroupe> groupes; // by group text, ascending

    double tauxRetenue = 0;
    double montantRetenue = 0;
    double retenueClient = 0;
    double retenueAssurance = 0;
    double netAPayer = 0;
    double netClient = 0;
    double netAssurance = 0;
};

TotauxFacture calculerTotaux(const Invoice &facture, const QString &pays);
