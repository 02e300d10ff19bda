#pragma once

#include "montantsfacture.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Registre;

// The certified invoices of a period as a CSV file that a French spreadsheet opens by a double
// click: UTF-8 with a byte-order mark, ";" between fields, a decimal comma, a header row, then one
// row per invoice. Amounts are those the documents print: whole francs, refunds signed as printed.
// "orvane-engine --exporter" and the page of orvane-setup write it through exporterCertifiees.

// A day written "JJ/MM/AAAA"; nothing when the text is not such a day.
std::optional<QDate> lireJour(const QString &texte);

// The fields of the header row and of each invoice's row. The tax groups are those the invoices
// have, in order: three columns each (base, VAT, specific tax).
QStringList enTeteCsv(const QStringList &groupes);
QStringList champsCsv(const MontantsFacture &facture, const QStringList &groupes);
// The whole file.
QByteArray texteCsv(const QList<MontantsFacture> &factures);

// A stored certification time as the documents print it, "dd/MM/yyyy HH:mm:ss".
QString texteCertification(const QString &certification);
// The fiscal code as the documents print it, grouped by four, is texteSignature (textesfiscaux.h).

// A number with a decimal comma and no grouping, as few decimals as it needs (two at most).
QString nombreCsv(double valeur);

struct IssueExport
{
    enum class Issue {
        Ecrit,
        RegistreIllisible, // `erreur`: the database's reason
        FichierImpossible, // `erreur`: why the file could not be written; nothing is left of it
    };
    Issue issue = Issue::RegistreIllisible;
    int factures = 0;
    QString erreur;
};

// Reads the invoices of `periode` from `registre` and writes them to `chemin` all at once: the file
// is replaced only when it is whole.
IssueExport exporterCertifiees(Registre &registre, const PeriodeCertification &periode, const QString &chemin);
// Writes `factures` to `chemin` the same way; false, with the reason in `erreur`, when it could not.
bool ecrireCsv(const QString &chemin, const QList<MontantsFacture> &factures, QString &erreur);
