#pragma once

#include <resultatfiscal.h>

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

struct Invoice;

// Sums of one tax group of a certified invoice, unsigned and at full precision, as the totals of
// the documents hold them before printing.
struct MontantsGroupe
{
    QString groupe;
    double base = 0;           // amount without tax
    double tva = 0;            // VAT, specific taxes included, as the documents print it
    double taxeSpecifique = 0; // specific tax without tax
};

// What the register keeps of a certified invoice beside its fiscal codes: what it was, where it
// was certified and its amounts. An invoice recorded before the register kept amounts has its
// codes and certification date only (`avecMontants` false).
struct MontantsFacture
{
    QString reference;
    QString type;          // typeFacture
    QString dateFacture;   // the invoice's own date, as the input file wrote it
    QString certification; // "yyyy-MM-dd HH:mm:ss" from mecef_date; empty when unreadable
    QString caisse;        // the till that recorded it
    QString appareil;      // the device (identity or port) or e-MCF account that certified it
    QString nim;
    QString compteurs;
    QString codeFiscal; // mecef_sig
    QString pays;
    int signe = 1; // -1 when the documents print every amount negative
    bool avecMontants = false;
    QList<MontantsGroupe> groupes; // by group text, ascending
    QString codeRetenue;           // withholding code (AIB in Bénin, ISB in Niger); empty: none
    double tauxRetenue = 0;        // percent
    double retenue = 0;
    double total = 0; // total with tax
    double netAPayer = 0;
};

// The amounts of `facture` certified as `resultat`, from the very totals the documents print.
MontantsFacture montantsFacture(const Invoice &facture, const QString &pays, const ResultatFiscal &resultat,
                                const QString &caisse, const QString &appareil);
// An invoice whose amounts are not known: its codes and its certification date only.
MontantsFacture montantsInconnus(const QString &reference, const ResultatFiscal &resultat);

// The certification date and time of `mecef_date` ("yyyyMMddHHmmss" from the device, "dd/MM/yyyy
// HH:mm:ss" from the e-MCF service) as "yyyy-MM-dd HH:mm:ss", which sorts as time does; empty when
// it does not read as a date.
QString instantCertification(const QString &mecef_date);

// An amount as the documents print it: signe x valeur, rounded to whole francs, halves away from
// zero.
qint64 montantImprime(double valeur, int signe);

// Refunds (credit notes) are deducted from the shop's totals.
bool estAvoir(const QString &type);

// The group's sums, zero when the invoice has no line in `groupe`.
MontantsGroupe sommesDuGroupe(const MontantsFacture &montants, const QString &groupe);

// The invoices certified from `du` to `au`, both days included, whose reference contains
// `recherche` (any case) when it is not empty.
struct PeriodeCertification
{
    QDate du;
    QDate au;
    QString recherche;

    // "yyyy-MM-dd" bounds of the stored certification times: from the first (included) to the
    // second (excluded).
    QString debut() const { return du.toString(QStringLiteral("yyyy-MM-dd")); }
    QString fin() const { return au.addDays(1).toString(QStringLiteral("yyyy-MM-dd")); }
    bool contient(const MontantsFacture &m) const;
};
