#include "decisionsemcf.h"

#include "corpsfacture.h"
#include "resultatemcf.h"
#include "verificationtotal.h"
#include "vocabulaireemcf.h"

#include <parametres.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <limits>
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

// The service reports its error status as a number; anything else prints as 0, and so does a number
// that no integer holds (1e19), which would not convert safely.
long long entierStatut(const QJsonValue &statut)
{
    if (!statut.isDouble())
        return 0;
    const double valeur = statut.toDouble();
    constexpr double limite = 9223372036854775808.0; // 2^63
    if (!(valeur >= -limite && valeur < limite))
        return 0;
    return static_cast<long long>(valeur);
}

bool erreurHttp(const ReponseEmcf &reponse)
{
    return reponse.statutHttp >= 400;
}

// The service's own report of a refusal: "errorCode" (a text or a number) and "errorDesc".
std::optional<std::string> ligneErreurService(const std::optional<QJsonDocument> &document)
{
    if (!document || !document->isObject())
        return std::nullopt;
    const QJsonValue code = document->object().value(QStringLiteral("errorCode"));
    std::string texteCode;
    if (code.isString())
        texteCode = code.toString().toStdString();
    else if (code.isDouble())
        texteCode = std::to_string(entierStatut(code));
    else
        return std::nullopt;
    std::string ligne = "Erreur " + texteCode;
    const QJsonValue description = document->object().value(QStringLiteral("errorDesc"));
    if (description.isString() && !description.toString().isEmpty())
        ligne += ": " + description.toString().toStdString();
    return ligne + "\n";
}

// After a failure: the service's error when it gave one, else the cause.
std::string ligneEchec(const std::optional<QJsonDocument> &document, const ReponseEmcf &reponse)
{
    if (reponse.echec == ReponseEmcf::Echec::Aucun) {
        if (const auto ligne = ligneErreurService(document))
            return *ligne;
    }
    return ligneCause(reponse);
}

std::optional<QJsonDocument> lireJsonReponse(const ReponseEmcf &reponse)
{
    if (reponse.echec != ReponseEmcf::Echec::Aucun)
        return std::nullopt;
    return lireJson(reponse.corps);
}

} // namespace

std::string texteReponse(const ReponseEmcf &reponse)
{
    if (reponse.echec == ReponseEmcf::Echec::TropLongue)
        return {};
    return QString::fromUtf8(reponse.corps).toStdString();
}

std::string ligneCause(const ReponseEmcf &reponse)
{
    using Echec = ReponseEmcf::Echec;
    switch (reponse.echec) {
    case Echec::Delai:
        return "Cause: delai de " + std::to_string(reponse.delaiMs) + " ms depasse.\n";
    case Echec::ConnexionRefusee:
        return "Cause: connexion refusee.\n";
    case Echec::ServeurIntrouvable:
        return "Cause: serveur introuvable.\n";
    case Echec::Certificat:
        return "Cause: certificat du serveur refuse.\n";
    case Echec::TropLongue:
        return "Cause: reponse de plus de " + std::to_string(tailleMaximaleReponse) +
               " octets refusee, non affichee.\n";
    case Echec::Proxy:
        return "Cause: proxy injoignable (" + reponse.detail + ").\n";
    case Echec::ProxyAuthentification:
        return "Cause: le proxy demande une authentification, qui n'est pas prise en charge.\n";
    case Echec::Reseau:
        return "Cause: erreur reseau (" + reponse.detail + ").\n";
    case Echec::Aucun:
        break;
    }
    if (reponse.statutHttp == 401 || reponse.statutHttp == 403)
        return "Cause: jeton refuse (HTTP " + std::to_string(reponse.statutHttp) + ").\n";
    if (erreurHttp(reponse))
        return "Cause: statut HTTP " + std::to_string(reponse.statutHttp) + ".\n";
    return {};
}

std::string ligneAbandon(const QString &uid)
{
    return "Abandon: annulation de la facture en attente " + uid.toStdString() + "\n";
}

DecisionEmcf decisionEtatServeur(const ReponseEmcf &reponse, const DonneesFacture &donnees)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJsonReponse(reponse);
    if (!document || !document->isObject() || !document->object().contains(QStringLiteral("status"))) {
        decision.console = "Reponse invalide\n" + ligneCause(reponse);
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
        decision.console += ligneCause(reponse);
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

DecisionEmcf decisionEnregistrement(const ReponseEmcf &reponse, double totalFacture, double tolerance,
                                    double sommeQuantites)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJsonReponse(reponse);
    if (!document || !document->isObject() || !document->object().contains(QStringLiteral("uid"))) {
        decision.console = "Echec enregistrement\n" + ligneEchec(document, reponse);
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

DecisionEmcf decisionConfirmation(const ReponseEmcf &reponse, const QString &pays)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJsonReponse(reponse);
    const bool confirmee = document && document->isObject() && !erreurHttp(reponse) &&
                           document->object().contains(QStringLiteral("qrCode")) &&
                           !document->object().contains(QStringLiteral("errorCode"));
    if (!confirmee) {
        decision.console = "Echec confirmation\n" + ligneEchec(document, reponse);
        // Code 20: the service holds nothing pending under this uid, there is nothing to give up.
        const QJsonValue code = document && document->isObject()
                                    ? document->object().value(QStringLiteral("errorCode"))
                                    : QJsonValue();
        const bool rienEnAttente = code.toString() == QStringLiteral("20") || code.toDouble() == 20;
        if (!rienEnAttente)
            decision.suite = DecisionEmcf::Suite::Annuler;
        return decision;
    }
    const QJsonObject confirmation = document->object();
    const QString code = confirmation.value(vocabulaireEmcf(pays).cleCodeFiscal).toString();
    decision.console = "\nQR: " + code.toStdString() + "\nValidation reussie.\n\n";
    decision.resultat = resultatConfirmation(confirmation, pays);
    return decision;
}

DecisionEmcf decisionAnnulation(const ReponseEmcf &reponse)
{
    DecisionEmcf decision;
    const std::optional<QJsonDocument> document = lireJsonReponse(reponse);
    if (document && document->isObject() && !erreurHttp(reponse) &&
        !document->object().contains(QStringLiteral("errorCode"))) {
        decision.console = "\nAnnulation reussie.\n\n";
        decision.annulee = true;
        return decision;
    }
    // The decision step failed: the text for a failed decision reply, then why.
    decision.console = "Echec confirmation\n" + ligneEchec(document, reponse);
    return decision;
}

QUrl urlDecision(const QString &adresseApi, const QString &uid, bool confirmer)
{
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(uid));
    return QUrl(adresseApi + QLatin1Char('/') + segment +
                    (confirmer ? QStringLiteral("/confirm") : QStringLiteral("/cancel")),
                QUrl::TolerantMode);
}

bool factureEnAttente(const ReponseEmcf &reponse)
{
    const std::optional<QJsonDocument> document = lireJsonReponse(reponse);
    // Only the details of a pending invoice say so: the invoice as submitted (its items), or as the
    // service computed it (its total); an error of any shape does not.
    if (!document || !document->isObject())
        return false;
    const QJsonObject details = document->object();
    return !details.contains(QStringLiteral("errorCode")) &&
           (details.value(QStringLiteral("items")).isArray() || details.value(QStringLiteral("total")).isDouble());
}
