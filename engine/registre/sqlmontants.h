#pragma once

#include "montantsfacture.h"

#include <QString>
#include <QVariantList>

// Table `montants_facture`: one row per certified invoice, keyed by reference, written in the same
// transaction as its `facture` row; an index on the certification time serves the periods. The
// statements are the same on SQLite and PostgreSQL, every value a "?" bound in order.
namespace sqlmontants {

QString creationTable();
QString creationIndex();
// Rows of the invoices recorded before the table existed: their codes and certification time,
// without amounts. A reference already there is left as it is.
QString reprise();
// Adds the row of an invoice, or replaces the row of the same reference; with `depuis`, once for
// each row of that table expression (none: nothing is added).
QString insertion(const QString &depuis = QString());
QVariantList valeurs(const MontantsFacture &montants);
// The rows of a period, in the order of certification.
QString selection(const PeriodeCertification &periode);
QVariantList valeursSelection(const PeriodeCertification &periode);
// A row of `selection`'s columns, from column `d` on, as the storage answers it: each column a
// text (or the database's own type) and a null QVariant for SQL null.
MontantsFacture lire(const QVariantList &ligne, int d = 0);
// Whether the table is there.
QString presence();

} // namespace sqlmontants
