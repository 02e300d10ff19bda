#pragma once

#include <adresseregistre.h>
#include <exportcertifiees.h>
#include <montantsfacture.h>

#include <QList>
#include <QMap>
#include <QString>

// The certified invoices of a period, or why they could not be read.
struct ListeCertifiees
{
    bool lisible = false;
    QString erreur; // the register's reason when it is not readable
    QList<MontantsFacture> factures;
};

// What the page shows below the rows. Amounts in whole francs as the documents print them, refunds
// deducted (counted negative whatever the country prints).
struct SyntheseCertifiees
{
    struct ParType
    {
        int nombre = 0;
        qint64 total = 0; // total with tax
    };
    struct ParGroupe
    {
        qint64 base = 0;
        qint64 tva = 0;
        qint64 taxeSpecifique = 0;
    };
    int nombre = 0;
    int sansMontants = 0; // recorded before the register kept amounts: in no sum
    QMap<QString, ParType> types;
    QMap<QString, ParGroupe> groupes;
    qint64 retenue = 0;
    qint64 total = 0;
    qint64 net = 0;
};

SyntheseCertifiees syntheseCertifiees(const QList<MontantsFacture> &factures);
// The summary as the page writes it, in French.
QString texteSynthese(const SyntheseCertifiees &synthese);

// The register's certified invoices as orvane-setup shows them: the register at `emplacement` (the
// file beside orvane-engine or the shared one), opened for each reading and closed right after,
// never created nor changed.
ListeCertifiees lireCertifiees(const EmplacementRegistre &emplacement, const PeriodeCertification &periode);
// Writes the file of "orvane-engine --exporter" for `periode` to `chemin`, through the same code.
IssueExport exporterCertifiees(const EmplacementRegistre &emplacement, const PeriodeCertification &periode,
                               const QString &chemin);
// The cells of the page's table for `facture`: reference, certification date, type, till, counters,
// total.
QStringList cellulesCertifiee(const MontantsFacture &facture);
