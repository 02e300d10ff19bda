#pragma once

#include "lignejournal.h"

#include <QList>
#include <QString>

// The layout of the register's tables, the same in every database that holds them.

// The version of the tables this program writes: 0 for a register made before the journal knew
// when an invoice was opened and paid on the device, 2 before it kept what an e-MCF submission
// carried, 3 before it kept the amounts of each invoice (table montants_facture).
inline constexpr int versionSchema = 4;

// Journal columns added since the first version: how each is declared and the field it holds. A
// register that could not be migrated (locked, read-only) is read and written without the ones it
// lacks.
struct ColonneAjoutee
{
    QString nom;
    QString declaration;
    QString LigneJournal::*champ;
};

inline const QList<ColonneAjoutee> colonnesAjoutees = {
    {QStringLiteral("ouverture"), QStringLiteral("text"), &LigneJournal::ouverture},
    {QStringLiteral("paiement"), QStringLiteral("text"), &LigneJournal::paiement},
    {QStringLiteral("soumission"), QStringLiteral("text"), &LigneJournal::empreinteSoumission},
};

// The journal's columns of the first version, in the order every statement lists them.
inline const QString colonnesJournal =
    QStringLiteral("reference, etat, chemin, destination, empreinte, uid, pid, identite, cree, modifie");

// Empty texts are stored as empty texts: a null QString would be bound as SQL NULL, which no
// equality ever finds again.
inline QString texteNonNul(const QString &valeur)
{
    return valeur.isNull() ? QString(QLatin1String("")) : valeur;
}
