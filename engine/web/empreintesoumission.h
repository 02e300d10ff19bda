#pragma once

#include "decisionsemcf.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The fingerprint of what an e-MCF submission carries: the same for the body a run sends and for the
// details the service gives back of that pending invoice, so that a submission whose reply was lost
// can be found among the pending invoices. Only the invoice's own content counts (type, items,
// client, operator, payment, levy code, refund reference, Niger's keys), not the seller's number nor
// anything the service adds; numbers count by value, whether sent as texts or as JSON numbers; empty
// texts and nulls count as missing.
QString empreinteSoumission(const QJsonObject &facture);

// The uids of the pending invoices that a status reply lists ("pendingRequestsList", each with its
// "uid"); nothing when the reply is not a status object.
std::optional<QStringList> uidsEnAttente(const ReponseEmcf &etat);

// The details of a pending invoice from the reply to GET on its uid; nothing when it is not pending.
std::optional<QJsonObject> detailsEnAttente(const ReponseEmcf &reponse);
