#pragma once

#include <invoice.h>

#include <reglesmcf.h>

#include <QJsonObject>

struct ParametresMoteur;

// The invoice submitted to the e-MCF service, with the sum of the item quantities counted on the way.
struct SoumissionEmcf
{
    QJsonObject corps;
    double sommeQuantites = 0;
};

// Builds the submission body of `facture` in the vocabulary of `parametres.pays`. Every text is sent
// as a JSON string exactly as it stands in the record; the payment amount is the only JSON number.
// `etatServeur` is the status reply, from which the seller's tax number is copied (null when absent).
SoumissionEmcf corpsSoumission(const Invoice &facture, const ParametresMoteur &parametres,
                               const TablesReference &tables, const QJsonObject &etatServeur);
