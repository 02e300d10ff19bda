#include "serviceemcf.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUuid>

#include <cmath>

namespace {

const QSet<QString> typesFacture = {QStringLiteral("FV"), QStringLiteral("FA"), QStringLiteral("EV"),
                                    QStringLiteral("EA"), QStringLiteral("FT"), QStringLiteral("ET")};
const QSet<QString> modesPaiement = {QStringLiteral("ESPECES"),       QStringLiteral("VIREMENT"),
                                     QStringLiteral("CARTEBANCAIRE"), QStringLiteral("MOBILEMONEY"),
                                     QStringLiteral("CHEQUES"),       QStringLiteral("CREDIT"),
                                     QStringLiteral("AUTRE")};

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

ReponseService erreur(int statut, const QString &titre)
{
    return {statut, "application/json",
            json({{QStringLiteral("status"), statut}, {QStringLiteral("title"), titre}}), false};
}

// A refused invoice: an error report without "uid".
ReponseService refus(const QString &raison)
{
    return {400, "application/json",
            json({{QStringLiteral("errorCode"), QStringLiteral("3")}, {QStringLiteral("errorDesc"), raison}}),
            false};
}

std::optional<double> nombreTexte(const QJsonValue &valeur)
{
    if (!valeur.isString())
        return std::nullopt;
    bool ok = false;
    const double n = valeur.toString().toDouble(&ok);
    if (!ok || !std::isfinite(n))
        return std::nullopt;
    return n;
}

double arrondiCentimes(double montant)
{
    return std::round(montant * 100) / 100;
}

// VAT rate of a tax group: the standard rate for B and D (18 % in Bénin, 19 % in Niger), none else.
double tauxGroupe(const QString &groupe, bool niger)
{
    if (groupe == QStringLiteral("B") || groupe == QStringLiteral("D"))
        return niger ? 0.19 : 0.18;
    return 0;
}

// The levy codes: AIB A 1 % and B 5 % of the tax-exclusive amounts in Bénin; ISB A 2 % and B 5 % of
// the tax-inclusive amounts in Niger.
std::optional<double> tauxPrelevement(const QString &code, bool niger)
{
    if (code == QStringLiteral("A"))
        return niger ? 0.02 : 0.01;
    if (code == QStringLiteral("B"))
        return 0.05;
    return std::nullopt;
}

// A fiscal code of 24 capitals and digits, shown in groups of four.
QString codeFiscal(const QString &graine)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    const QByteArray empreinte = QCryptographicHash::hash(graine.toUtf8(), QCryptographicHash::Sha256);
    QString code;
    for (int i = 0; i < 24; ++i) {
        if (i > 0 && i % 4 == 0)
            code += QLatin1Char('-');
        code += QLatin1Char(alphabet[static_cast<unsigned char>(empreinte.at(i)) % 32]);
    }
    return code;
}

} // namespace

ServiceEmcf::ServiceEmcf(OptionsService options)
    : m_options(std::move(options)), m_compteurTotal(m_options.compteurInitial)
{
}

QDateTime ServiceEmcf::maintenant() const
{
    return m_options.dateFixe.isValid() ? m_options.dateFixe : QDateTime::currentDateTime();
}

ReponseService ServiceEmcf::traiter(const RequeteHttp &requete)
{
    const QString chemin = QString::fromUtf8(requete.chemin);
    const QString base = m_options.chemin;
    EtapeEmcf etape;
    QString uid;
    QString decision;
    if (chemin == base) {
        if (requete.methode == "GET")
            etape = EtapeEmcf::Etat;
        else if (requete.methode == "POST")
            etape = EtapeEmcf::Soumission;
        else
            return erreur(405, QStringLiteral("Methode non permise"));
    } else if (chemin.startsWith(base + QLatin1Char('/'))) {
        // base/uid/confirm or base/uid/cancel (the uid may be empty).
        const QStringList parties = chemin.mid(base.size() + 1).split(QLatin1Char('/'));
        if (parties.size() != 2 ||
            (parties.at(1) != QStringLiteral("confirm") && parties.at(1) != QStringLiteral("cancel")))
            return erreur(404, QStringLiteral("Ressource introuvable"));
        if (requete.methode != "PUT")
            return erreur(405, QStringLiteral("Methode non permise"));
        etape = EtapeEmcf::Decision;
        uid = QUrl::fromPercentEncoding(parties.at(0).toUtf8());
        decision = parties.at(1);
    } else {
        return erreur(404, QStringLiteral("Ressource introuvable"));
    }

    if (m_options.silence.contains(etape))
        return {200, {}, {}, true};
    if (m_options.nonJson.contains(etape))
        return {500, "text/html", "<html><body><h1>502 Bad Gateway</h1></body></html>", false};
    if (m_options.tableau.contains(etape))
        return {200, "application/json", "[{\"status\":true,\"uid\":\"x\",\"qrCode\":\"x\"}]", false};

    if (requete.entete("authorization") != "Bearer " + m_options.jeton.toUtf8())
        return erreur(401, QStringLiteral("Jeton invalide ou expire"));

    switch (etape) {
    case EtapeEmcf::Etat:
        return etat();
    case EtapeEmcf::Soumission:
        return soumettre(requete.corps);
    case EtapeEmcf::Decision:
        return decision == QStringLiteral("confirm") ? confirmer(uid) : annuler(uid);
    }
    return erreur(500, QStringLiteral("Erreur interne"));
}

ReponseService ServiceEmcf::etat() const
{
    QJsonObject o;
    if (!m_options.etatSansStatus)
        o.insert(QStringLiteral("status"), true);
    o.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    o.insert(cleIdentifiant(), m_options.identifiantVendeur);
    o.insert(QStringLiteral("nim"), m_options.nim);
    o.insert(QStringLiteral("serverDateTime"), maintenant().toString(Qt::ISODate));
    o.insert(QStringLiteral("pendingRequestsCount"), static_cast<int>(m_enAttente.size()));
    return {200, "application/json", json(o), false};
}

ServiceEmcf::Calcul ServiceEmcf::calculer(const QJsonObject &f) const
{
    const bool niger = m_options.niger;
    Calcul calcul;
    auto refuser = [&calcul](const QString &raison) {
        calcul.refus = raison;
        return calcul;
    };

    if (f.value(cleIdentifiant()).toString() != m_options.identifiantVendeur)
        return refuser(QStringLiteral("Numero fiscal du vendeur incorrect"));
    const QString type = f.value(QStringLiteral("type")).toString();
    if (!typesFacture.contains(type))
        return refuser(QStringLiteral("Type de facture inconnu"));
    const QJsonArray articles = f.value(QStringLiteral("items")).toArray();
    if (articles.isEmpty())
        return refuser(QStringLiteral("Facture sans article"));
    if (!f.value(QStringLiteral("client")).isObject() ||
        !f.value(QStringLiteral("client")).toObject().value(cleIdentifiant()).isString())
        return refuser(QStringLiteral("Client invalide"));
    if (!f.value(QStringLiteral("operator")).toObject().value(QStringLiteral("name")).isString())
        return refuser(QStringLiteral("Operateur invalide"));
    const QJsonArray paiements = f.value(QStringLiteral("payment")).toArray();
    if (paiements.isEmpty())
        return refuser(QStringLiteral("Paiement absent"));
    for (const QJsonValue &p : paiements) {
        if (!modesPaiement.contains(p.toObject().value(QStringLiteral("name")).toString()) ||
            !p.toObject().value(QStringLiteral("amount")).isDouble())
            return refuser(QStringLiteral("Paiement invalide"));
    }
    bool prixHorsTaxe = false;
    if (niger) {
        const QString mode = f.value(QStringLiteral("mode")).toString();
        if (!f.value(QStringLiteral("isf")).isString() || !f.value(QStringLiteral("rn")).isString() ||
            !(mode.isEmpty() || mode == QStringLiteral("ttc") || mode == QStringLiteral("ht")))
            return refuser(QStringLiteral("Informations du systeme de facturation invalides"));
        prixHorsTaxe = mode == QStringLiteral("ht");
    }
    if (type == QStringLiteral("FA") || type == QStringLiteral("EA")) {
        if (!m_referencesConfirmees.contains(f.value(QStringLiteral("reference")).toString()))
            return refuser(QStringLiteral("Facture d'origine introuvable"));
    }
    const QString cleTaxeSpecifique =
        niger ? QStringLiteral("taxSpecificAmount") : QStringLiteral("taxSpecific");

    double totalTtc = 0;
    double baseHorsTaxe = 0;
    for (const QJsonValue &valeur : articles) {
        const QJsonObject article = valeur.toObject();
        const auto prix = nombreTexte(article.value(QStringLiteral("price")));
        const auto quantite = nombreTexte(article.value(QStringLiteral("quantity")));
        const QString groupe = article.value(QStringLiteral("taxGroup")).toString();
        if (article.value(QStringLiteral("name")).toString().isEmpty() || !prix || !quantite ||
            *quantite == 0)
            return refuser(QStringLiteral("Article invalide"));
        if (groupe.size() != 1 || groupe.at(0) < QLatin1Char('A') || groupe.at(0) > QLatin1Char('F'))
            return refuser(QStringLiteral("Groupe de taxe invalide"));
        double taxeSpecifique = 0;
        if (article.contains(cleTaxeSpecifique)) {
            const auto ts = nombreTexte(article.value(cleTaxeSpecifique));
            if (!ts)
                return refuser(QStringLiteral("Taxe specifique invalide"));
            taxeSpecifique = *ts;
        }
        const double taux = tauxGroupe(groupe, niger);
        const double montant = *prix * *quantite;
        const double ttc = prixHorsTaxe ? montant * (1 + taux) : montant;
        totalTtc += ttc + taxeSpecifique;
        baseHorsTaxe += ttc / (1 + taux) + taxeSpecifique;
    }

    const QString cleCode = niger ? QStringLiteral("isb") : QStringLiteral("aib");
    if (f.contains(cleCode)) {
        const auto taux = tauxPrelevement(f.value(cleCode).toString(), niger);
        if (!taux)
            return refuser(QStringLiteral("Code de prelevement invalide"));
        calcul.prelevement = arrondiCentimes((niger ? totalTtc : baseHorsTaxe) * *taux);
    }
    calcul.total = arrondiCentimes(totalTtc + calcul.prelevement);
    return calcul;
}

ReponseService ServiceEmcf::soumettre(const QByteArray &corps)
{
    QJsonParseError erreurJson;
    const QJsonDocument document = QJsonDocument::fromJson(corps, &erreurJson);
    if (erreurJson.error != QJsonParseError::NoError || !document.isObject())
        return refus(QStringLiteral("Corps de la facture illisible"));
    const Calcul calcul = calculer(document.object());
    if (!calcul.refus.isEmpty())
        return refus(calcul.refus);

    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const double total = calcul.total + m_options.ecartTotal;
    m_enAttente.insert(uid, {document.object().value(QStringLiteral("type")).toString(), total});
    QJsonObject o{{QStringLiteral("uid"), uid}, {QStringLiteral("total"), total}};
    o.insert(m_options.niger ? QStringLiteral("isb") : QStringLiteral("aib"), calcul.prelevement);
    return {200, "application/json", json(o), false};
}

ReponseService ServiceEmcf::confirmer(const QString &uid)
{
    if (!m_enAttente.contains(uid))
        return {404, "application/json",
                json({{QStringLiteral("errorCode"), QStringLiteral("20")},
                      {QStringLiteral("errorDesc"), QStringLiteral("Facture en attente introuvable")}}),
                false};
    const FactureEnAttente facture = m_enAttente.take(uid);
    const int compteurType = ++m_compteursParType[facture.type] + m_options.compteurInitial;
    const int compteurTotal = ++m_compteurTotal;
    const QString compteurs = QString::number(compteurType) + QLatin1Char('/') +
                              QString::number(compteurTotal) + QLatin1Char(' ') + facture.type;
    const QString code = codeFiscal(uid + QString::number(compteurTotal));
    const QString codeCompact = QString(code).remove(QLatin1Char('-'));
    const QDateTime date = maintenant();

    // What a later refund names as its original invoice: the code without dashes in Bénin, the
    // unit's identifier and total counter in Niger.
    m_referencesConfirmees.insert(
        m_options.niger ? m_options.nim + QLatin1Char('-') + QString::number(compteurTotal) : codeCompact);
    const QString qr = QStringLiteral("F;") + m_options.nim + QLatin1Char(';') + codeCompact +
                       QLatin1Char(';') + m_options.identifiantVendeur + QLatin1Char(';') +
                       date.toString(QStringLiteral("yyyyMMddHHmmss"));
    const QJsonObject o{
        {QStringLiteral("dateTime"), date.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))},
        {QStringLiteral("qrCode"), qr},
        {m_options.niger ? QStringLiteral("codeSECeFDGI") : QStringLiteral("codeMECeFDGI"), code},
        {QStringLiteral("counters"), compteurs},
        {QStringLiteral("nim"), m_options.nim}};
    return {200, "application/json", json(o), false};
}

ReponseService ServiceEmcf::annuler(const QString &uid)
{
    if (!m_enAttente.remove(uid))
        return {404, "application/json",
                json({{QStringLiteral("errorCode"), QStringLiteral("20")},
                      {QStringLiteral("errorDesc"), QStringLiteral("Facture en attente introuvable")}}),
                false};
    return {
        200, "application/json",
        json({{QStringLiteral("dateTime"), maintenant().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))}}),
        false};
}
