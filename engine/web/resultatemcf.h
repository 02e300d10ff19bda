#pragma once

#include <QJsonObject>
#include <resultatfiscal.h>

#include <QStringList>

// The total counter of a "counters" text such as "82/87 FV": what follows the first "/" up to the
// first space. Without "/" it starts at the beginning; without a space after that start it runs to
// the end.
QString compteurTotal(const QString &compteurs);

// The fiscal result of a confirmation reply: qrCode, total counter, fiscal code (the country's key),
// nim, counters, dateTime. A key that is missing or not a JSON string gives an empty text.
ResultatFiscal resultatConfirmation(const QJsonObject &reponse, const QString &pays);
