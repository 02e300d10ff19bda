#include "decisionsemcf.h"

#include "corpsfacture.h"
#include "resultatemcf.h"
#include "verificationtotal.h"
#include "vocabulaireemcf.h"

#include <parametres.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <optional>
#include <sstream>

namespace {

std::optional<QJsonDocument> lireJson(const QByteArray &reponse)
{
    QJsonParseError erreur;
    const QJsonDocument document = QJsonDocument::fromJson(reponse, &erreur);
    if (erreur.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

// The service reports its error status as a number; anything else prints as 0.
long long entierStatut(const QJsonValue &statut)
{
    return statut.isDouble() ? static_cast<long long>(statut.toDouble()) : 0;
}

} // namespace

DecisionEmcf decisionEtatServeur(const QByteArray &reponse, const DonneesFacture &donnees)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJson(reponse);
    if (!document || !document->isObject() || !document->object().contains(QStringLiteral("status"))) {
        decision.console = "Reponse invalide\n";
        return decision;
    }
    const QJsonObject etat = document->object();
    const QJsonValue statut = etat.value(QStringLiteral("status"));
    if (statut != QJsonValue(true)) {
        if (etat.contains(QStringLiteral("title"))) {
            std::ostringstream texte;
            texte << "\nLe serveur a retourne: " << entierStatut(statut) << " "
                  << etat.value(QStringLiteral("title")).toString().toStdString() << "\n";
            decision.console = texte.str();
        }
        return decision;
    }

    const SoumissionEmcf soumission =
        corpsSoumission(donnees.facture, donnees.parametres, donnees.tables, etat);
    decision.console = "\nLe serveur est pret pour la facturation\n\nEnregistrement de la facture\n";
    decision.suite = DecisionEmcf::Suite::Soumettre;
    decision.corps = QJsonDocument(soumission.corps).toJson(QJsonDocument::Indented);
    decision.sommeQuantites = soumission.sommeQuantites;
    return decision;
}

DecisionEmcf decisionEnregistrement(const QByteArray &reponse, double totalFacture, double tolerance,
                                    double sommeQuantites)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJson(reponse);
    if (!document || !document->isObject() || !document->object().contains(QStringLiteral("uid"))) {
        decision.console = "Echec enregistrement\n";
        return decision;
    }
    const QJsonObject enregistrement = document->object();
    const double totalService = enregistrement.value(QStringLiteral("total")).toDouble(0);
    const double difference = totalService - totalFacture;
    const bool acceptable = totalAcceptable(totalService, totalFacture, tolerance, sommeQuantites);

    // Numbers print with the stream's default formatting, like every number of the console log.
    std::ostringstream texte;
    texte << "\nEnregistrement reussi\n\n";
    if (difference != 0)
        texte << "Difference facture: " << difference << "\n";
    texte << (acceptable ? "Total facture acceptable: " : "Total facture inacceptable: ") << totalService
          << "\n\n";
    texte << (acceptable ? "\nValidation de la facture\n" : "\nAnnulation de la facture\n");
    decision.console = texte.str();
    decision.suite = acceptable ? DecisionEmcf::Suite::Confirmer : DecisionEmcf::Suite::Annuler;
    decision.uid = enregistrement.value(QStringLiteral("uid")).toString();
    return decision;
}

DecisionEmcf decisionConfirmation(const QByteArray &reponse, const QString &pays)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJson(reponse);
    if (!document) {
        decision.console = "Echec confirmation\n";
        return decision;
    }
    if (!document->isObject())
        return decision;
    const QJsonObject confirmation = document->object();
    if (!confirmation.contains(QStringLiteral("qrCode"))) {
        decision.console = "\nAnnulation reussie.\n\n";
        return decision;
    }
    const QString code = confirmation.value(vocabulaireEmcf(pays).cleCodeFiscal).toString();
    decision.console = "\nQR: " + code.toStdString() + "\nValidation reussie.\n\n";
    decision.resultat = resultatConfirmation(confirmation, pays);
    return decision;
}

QUrl urlDecision(const QString &adresseApi, const QString &uid, bool confirmer)
{
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(uid));
    return QUrl(adresseApi + QLatin1Char('/') + segment +
                    (confirmer ? QStringLiteral("/confirm") : QStringLiteral("/cancel")),
                QUrl::TolerantMode);
}

bool factureEnAttente(const QByteArray &reponse)
{
    const std::optional<QJsonDocument> document = lireJson(reponse);
    // Only the details of a pending invoice (with its total) say so; an error of any shape does not.
    return document && document->isObject() && !document->object().contains(QStringLiteral("errorCode")) &&
           document->object().value(QStringLiteral("total")).isDouble();
}
