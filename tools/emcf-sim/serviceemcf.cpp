#include "serviceemcf.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

// Code and description, in the order the information requests list them.
const QList<QPair<QString, QString>> typesFacture = {
    {QStringLiteral("FV"), QStringLiteral("Facture de vente")},
    {QStringLiteral("FA"), QStringLiteral("Facture d'avoir")},
    {QStringLiteral("EV"), QStringLiteral("Facture de vente a l'exportation")},
    {QStringLiteral("EA"), QStringLiteral("Facture d'avoir a l'exportation")},
    {QStringLiteral("FT"), QStringLiteral("Facture d'acompte")},
    {QStringLiteral("ET"), QStringLiteral("Facture d'acompte a l'exportation")}};
const QList<QPair<QString, QString>> modesPaiement = {
    {QStringLiteral("ESPECES"), QStringLiteral("Especes")},
    {QStringLiteral("VIREMENT"), QStringLiteral("Virement")},
    {QStringLiteral("CARTEBANCAIRE"), QStringLiteral("Carte bancaire")},
    {QStringLiteral("MOBILEMONEY"), QStringLiteral("Mobile money")},
    {QStringLiteral("CHEQUES"), QStringLiteral("Cheques")},
    {QStringLiteral("CREDIT"), QStringLiteral("Credit")},
    {QStringLiteral("AUTRE"), QStringLiteral("Autre")}};
const QString groupes = QStringLiteral("ABCDEF");
const QStringList informations = {QStringLiteral("status"), QStringLiteral("taxGroups"),
                                  QStringLiteral("invoiceTypes"), QStringLiteral("paymentTypes")};

bool connu(const QList<QPair<QString, QString>> &liste, const QString &code)
{
    return std::any_of(liste.begin(), liste.end(), [&](const auto &p) { return p.first == code; });
}

QJsonArray listeInformation(const QList<QPair<QString, QString>> &liste)
{
    QJsonArray a;
    for (const auto &[code, description] : liste)
        a.append(QJsonObject{{QStringLiteral("type"), code}, {QStringLiteral("description"), description}});
    return a;
}

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

ReponseService erreur(int statut, const QString &titre)
{
    return {statut, "application/json",
            json({{QStringLiteral("status"), statut}, {QStringLiteral("title"), titre}}), false};
}

// The service takes amounts and quantities as JSON numbers or as numeric texts.
std::optional<double> nombre(const QJsonValue &valeur)
{
    double n = 0;
    if (valeur.isDouble()) {
        n = valeur.toDouble();
    } else if (valeur.isString()) {
        bool ok = false;
        n = valeur.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(n))
        return std::nullopt;
    return n;
}

double arrondiCentimes(double montant)
{
    return std::round(montant * 100) / 100;
}

// VAT rate of a tax group: 18 % on B and D in Bénin; 19 % on B and 5 % on D in Niger, the rates our
// invoices print; none on the other groups.
double tauxGroupe(QChar groupe, bool niger)
{
    if (groupe == QLatin1Char('B'))
        return niger ? 0.19 : 0.18;
    if (groupe == QLatin1Char('D'))
        return niger ? 0.05 : 0.18;
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

std::function<qint64()> horlogeSysteme()
{
    auto chrono = std::make_shared<QElapsedTimer>();
    chrono->start();
    return [chrono] { return chrono->elapsed(); };
}

// A JSON object reply grown to `taille` bytes with a padding text: still valid JSON, only too big.
QByteArray agrandir(const QByteArray &corps, qint64 taille)
{
    QJsonObject o = QJsonDocument::fromJson(corps).object();
    const qint64 manque = taille - corps.size() - qint64(sizeof(",\"remplissage\":\"\"") - 1);
    o.insert(QStringLiteral("remplissage"), QString(qMax<qint64>(0, manque), QLatin1Char('x')));
    return json(o);
}

} // namespace

ServiceEmcf::ServiceEmcf(OptionsService options, std::function<qint64()> horlogeMs)
    : m_options(std::move(options)), m_horlogeMs(horlogeMs ? std::move(horlogeMs) : horlogeSysteme()),
      m_compteurTotal(m_options.compteurInitial)
{
}

QDateTime ServiceEmcf::maintenant() const
{
    return m_options.dateFixe.isValid() ? m_options.dateFixe : QDateTime::currentDateTime();
}

ReponseService ServiceEmcf::refus(int code, const QString &raison) const
{
    // The service answers a refusal with HTTP 200; its clients read "errorCode" whatever the status.
    const int statut = !m_options.refusHttp400 ? 200 : code == CodeRefus::uidInconnu ? 404 : 400;
    return {
        statut, "application/json",
        json({{QStringLiteral("errorCode"), QString::number(code)}, {QStringLiteral("errorDesc"), raison}}),
        false};
}

void ServiceEmcf::oublierExpirees()
{
    const qint64 maintenantMs = m_horlogeMs();
    m_enAttente.removeIf(
        [&](const FactureEnAttente &f) { return maintenantMs - f.depuisMs >= m_options.expirationMs; });
}

qsizetype ServiceEmcf::indexEnAttente(const QString &uid) const
{
    for (qsizetype i = 0; i < m_enAttente.size(); ++i) {
        if (m_enAttente.at(i).uid == uid)
            return i;
    }
    return -1;
}

ReponseService ServiceEmcf::traiter(const RequeteHttp &requete)
{
    QString chemin = QString::fromUtf8(requete.chemin);
    // Published clients ask for ".../invoice/": a trailing slash names the same resource.
    if (chemin.size() > 1 && chemin.endsWith(QLatin1Char('/')))
        chemin.chop(1);
    const QString base = m_options.chemin;
    const QString baseInformation = cheminInformation();
    std::optional<EtapeEmcf> etape;
    QString uid;
    QString nomInformation;
    if (chemin == base) {
        if (requete.methode == "GET")
            etape = EtapeEmcf::Etat;
        else if (requete.methode == "POST")
            etape = EtapeEmcf::Soumission;
        else
            return erreur(405, QStringLiteral("Methode non permise"));
    } else if (chemin.startsWith(base + QLatin1Char('/'))) {
        // base/uid (details), base/uid/confirm or base/uid/cancel (the uid may be empty). The
        // service finalises an invoice with these two English actions only: another action, such as
        // "annuler", is no resource and leaves the invoice pending until it expires.
        const QStringList parties = chemin.mid(base.size() + 1).split(QLatin1Char('/'));
        uid = QUrl::fromPercentEncoding(parties.at(0).toUtf8());
        if (parties.size() == 1) {
            if (requete.methode != "GET")
                return erreur(405, QStringLiteral("Methode non permise"));
        } else if (parties.size() == 2 && (parties.at(1) == QStringLiteral("confirm") ||
                                           parties.at(1) == QStringLiteral("cancel"))) {
            if (requete.methode != "PUT")
                return erreur(405, QStringLiteral("Methode non permise"));
            etape =
                parties.at(1) == QStringLiteral("confirm") ? EtapeEmcf::Confirmation : EtapeEmcf::Annulation;
        } else {
            return erreur(404, QStringLiteral("Ressource introuvable"));
        }
    } else if (chemin.startsWith(baseInformation + QLatin1Char('/'))) {
        nomInformation = chemin.mid(baseInformation.size() + 1);
        if (!informations.contains(nomInformation))
            return erreur(404, QStringLiteral("Ressource introuvable"));
        if (requete.methode != "GET")
            return erreur(405, QStringLiteral("Methode non permise"));
    } else {
        return erreur(404, QStringLiteral("Ressource introuvable"));
    }

    if (etape) {
        if (m_options.silence.contains(*etape))
            return {200, {}, {}, true};
        if (m_options.nonJson.contains(*etape))
            return {500, "text/html", "<html><body><h1>502 Bad Gateway</h1></body></html>", false};
        if (m_options.tableau.contains(*etape))
            return {200, "application/json", "[{\"status\":true,\"uid\":\"x\",\"qrCode\":\"x\"}]", false};
    }

    if (requete.entete("authorization") != "Bearer " + m_options.jeton.toUtf8())
        return erreur(401, QStringLiteral("Jeton invalide ou expire"));

    oublierExpirees();
    ReponseService reponse;
    if (!nomInformation.isEmpty())
        reponse = information(nomInformation);
    else if (!etape)
        reponse = details(uid);
    else if (*etape == EtapeEmcf::Etat)
        reponse = etat();
    else if (*etape == EtapeEmcf::Soumission)
        reponse = soumettre(requete.corps);
    else if (*etape == EtapeEmcf::Confirmation)
        reponse = confirmer(uid);
    else
        reponse = annuler(uid);
    if (etape && m_options.corpsGeant.contains(*etape))
        reponse.corps = agrandir(reponse.corps, m_options.tailleCorpsGeant);
    return reponse;
}

ReponseService ServiceEmcf::etat() const
{
    if (!m_options.etatStatus.isEmpty()) {
        // Any JSON text as "status", written as given (1e19 stays 1e19).
        const QByteArray corps =
            "{\"status\":" + m_options.etatStatus.toUtf8() + ",\"title\":\"Service indisponible\"}";
        return {200, "application/json", corps, false};
    }
    QJsonObject o = etatService();
    if (m_options.etatSansStatus)
        o.remove(QStringLiteral("status"));
    return {200, "application/json", json(o), false};
}

QJsonObject ServiceEmcf::etatService() const
{
    QJsonObject o;
    o.insert(QStringLiteral("status"), true);
    o.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    o.insert(cleIdentifiant(), m_options.identifiantVendeur);
    o.insert(QStringLiteral("nim"), m_options.nim);
    o.insert(QStringLiteral("tokenValid"), maintenant().addYears(1).toString(Qt::ISODate));
    o.insert(QStringLiteral("serverDateTime"), maintenant().toString(Qt::ISODate));
    o.insert(QStringLiteral("pendingRequestsCount"), static_cast<int>(m_enAttente.size()));
    QJsonArray liste;
    for (const FactureEnAttente &f : m_enAttente)
        liste.append(QJsonObject{{QStringLiteral("uid"), f.uid},
                                 {QStringLiteral("date"), f.date.toString(Qt::ISODate)}});
    o.insert(QStringLiteral("pendingRequestsList"), liste);
    return o;
}

QJsonObject ServiceEmcf::etatInformation() const
{
    // The service's own state and the seller's e-MCF units (this double has one), without the
    // pending invoices that the invoice path's status lists.
    QJsonObject o = etatService();
    o.remove(QStringLiteral("pendingRequestsCount"));
    o.remove(QStringLiteral("pendingRequestsList"));
    const QJsonObject unite{{QStringLiteral("nim"), m_options.nim},
                            {QStringLiteral("status"), QStringLiteral("active")},
                            {QStringLiteral("shopName"), m_options.nomBoutique},
                            {QStringLiteral("address1"), m_options.niger ? QStringLiteral("Niamey")
                                                                         : QStringLiteral("Cotonou")},
                            {QStringLiteral("address2"), QString()},
                            {QStringLiteral("address3"), QString()},
                            {QStringLiteral("contact1"), QString()},
                            {QStringLiteral("contact2"), QString()},
                            {QStringLiteral("contact3"), QString()}};
    o.insert(QStringLiteral("emcfList"), QJsonArray{unite});
    return o;
}

QString ServiceEmcf::cheminInformation() const
{
    // The information resources are the invoices' sibling: /emcf/api/invoice gives /emcf/api/info.
    QString parent = m_options.chemin;
    while (parent.endsWith(QLatin1Char('/')))
        parent.chop(1);
    parent.truncate(qMax<qsizetype>(0, parent.lastIndexOf(QLatin1Char('/'))));
    return parent + QStringLiteral("/info");
}

ReponseService ServiceEmcf::information(const QString &nom) const
{
    // The same rates and codes as the submissions are checked and computed with.
    if (nom == QStringLiteral("status"))
        return {200, "application/json", json(etatInformation()), false};
    if (nom == QStringLiteral("taxGroups")) {
        QJsonObject o;
        for (const QChar g : groupes)
            o.insert(QString(g.toLower()), arrondiCentimes(tauxGroupe(g, m_options.niger) * 100));
        const QString prelevement = m_options.niger ? QStringLiteral("isb") : QStringLiteral("aib");
        for (const QString &code : {QStringLiteral("A"), QStringLiteral("B")})
            o.insert(prelevement + code, arrondiCentimes(*tauxPrelevement(code, m_options.niger) * 100));
        return {200, "application/json", json(o), false};
    }
    const QJsonArray liste =
        listeInformation(nom == QStringLiteral("invoiceTypes") ? typesFacture : modesPaiement);
    return {200, "application/json", QJsonDocument(liste).toJson(QJsonDocument::Compact), false};
}

ServiceEmcf::Calcul ServiceEmcf::calculer(const QJsonObject &f) const
{
    const bool niger = m_options.niger;
    Calcul calcul;
    auto refuser = [&calcul](int code, const QString &raison) {
        calcul.codeRefus = code;
        calcul.refus = raison;
        return calcul;
    };

    if (f.value(cleIdentifiant()).toString() != m_options.identifiantVendeur)
        return refuser(CodeRefus::autre, QStringLiteral("Numero fiscal du vendeur incorrect"));
    const QString type = f.value(QStringLiteral("type")).toString();
    if (!connu(typesFacture, type))
        return refuser(CodeRefus::typeInconnu, QStringLiteral("Type de facture inconnu"));
    const QJsonArray articles = f.value(QStringLiteral("items")).toArray();
    if (articles.isEmpty())
        return refuser(CodeRefus::sansArticle, QStringLiteral("Facture sans article"));
    // Published clients may leave out the client and the payment, or send them as null, and leave
    // out any field of the client, its tax number too (a sale to a private person).
    const QJsonValue client = f.value(QStringLiteral("client"));
    if (!client.isUndefined() && !client.isNull() && !client.isObject())
        return refuser(CodeRefus::autre, QStringLiteral("Client invalide"));
    for (const QString &cle : {cleIdentifiant(), QStringLiteral("name"), QStringLiteral("contact"),
                               QStringLiteral("address")}) {
        const QJsonValue champ = client.toObject().value(cle);
        if (!champ.isUndefined() && !champ.isNull() && !champ.isString())
            return refuser(CodeRefus::autre, QStringLiteral("Client invalide"));
    }
    if (!f.value(QStringLiteral("operator")).toObject().value(QStringLiteral("name")).isString())
        return refuser(CodeRefus::autre, QStringLiteral("Operateur invalide"));
    const QJsonValue paiement = f.value(QStringLiteral("payment"));
    const QJsonArray paiements = paiement.toArray();
    if (!paiement.isUndefined() && !paiement.isNull() && (!paiement.isArray() || paiements.isEmpty()))
        return refuser(CodeRefus::paiementInvalide, QStringLiteral("Liste des paiements vide ou invalide"));
    for (const QJsonValue &p : paiements) {
        if (!connu(modesPaiement, p.toObject().value(QStringLiteral("name")).toString()) ||
            !p.toObject().value(QStringLiteral("amount")).isDouble())
            return refuser(CodeRefus::paiementInvalide, QStringLiteral("Paiement invalide"));
    }
    bool prixHorsTaxe = false;
    if (niger) {
        const QString mode = f.value(QStringLiteral("mode")).toString();
        if (!f.value(QStringLiteral("isf")).isString() || !f.value(QStringLiteral("rn")).isString() ||
            !(mode.isEmpty() || mode == QStringLiteral("ttc") || mode == QStringLiteral("ht")))
            return refuser(CodeRefus::autre,
                           QStringLiteral("Informations du systeme de facturation invalides"));
        prixHorsTaxe = mode == QStringLiteral("ht");
    }
    const bool avoir = type == QStringLiteral("FA") || type == QStringLiteral("EA");
    const QString reference = f.value(QStringLiteral("reference")).toString();
    if (avoir) {
        if (reference.isEmpty())
            return refuser(CodeRefus::referenceAbsente,
                           QStringLiteral("Reference de la facture d'origine absente"));
        // A Bénin original invoice is named by its 24-character code.
        if (!niger && reference.size() != 24)
            return refuser(CodeRefus::referenceMalFormee,
                           QStringLiteral("La reference de la facture d'origine doit avoir 24 caracteres"));
        if (!m_totauxConfirmes.contains(reference))
            return refuser(CodeRefus::origineIntrouvable, QStringLiteral("Facture d'origine introuvable"));
    }
    const QString cleTaxeSpecifique =
        niger ? QStringLiteral("taxSpecificAmount") : QStringLiteral("taxSpecific");

    double totalTtc = 0;
    double baseHorsTaxe = 0;
    double taxesSpecifiques = 0;
    QMap<QChar, double> totauxGroupes;
    QMap<QChar, double> basesGroupes;
    for (const QJsonValue &valeur : articles) {
        const QJsonObject article = valeur.toObject();
        const auto prix = nombre(article.value(QStringLiteral("price")));
        const auto quantite = nombre(article.value(QStringLiteral("quantity")));
        const QString groupe = article.value(QStringLiteral("taxGroup")).toString();
        if (article.value(QStringLiteral("name")).toString().isEmpty() || !prix || !quantite ||
            *quantite == 0)
            return refuser(CodeRefus::autre, QStringLiteral("Article invalide"));
        if (groupe.size() != 1 || !groupes.contains(groupe.at(0)))
            return refuser(CodeRefus::groupeTaxeInvalide, QStringLiteral("Groupe de taxe invalide"));
        double taxeSpecifique = 0;
        if (article.contains(cleTaxeSpecifique)) {
            const auto ts = nombre(article.value(cleTaxeSpecifique));
            if (!ts)
                return refuser(CodeRefus::autre, QStringLiteral("Taxe specifique invalide"));
            taxeSpecifique = *ts;
        }
        const double taux = tauxGroupe(groupe.at(0), niger);
        const double montant = *prix * *quantite;
        const double ttc = prixHorsTaxe ? montant * (1 + taux) : montant;
        totalTtc += ttc + taxeSpecifique;
        baseHorsTaxe += ttc / (1 + taux) + taxeSpecifique;
        taxesSpecifiques += taxeSpecifique;
        totauxGroupes[groupe.at(0)] += ttc;
        basesGroupes[groupe.at(0)] += ttc / (1 + taux);
    }

    const QString cleCode = niger ? QStringLiteral("isb") : QStringLiteral("aib");
    if (f.contains(cleCode)) {
        const auto taux = tauxPrelevement(f.value(cleCode).toString(), niger);
        if (!taux)
            return refuser(CodeRefus::prelevementInvalide, QStringLiteral("Code de prelevement invalide"));
        calcul.prelevement = arrondiCentimes((niger ? totalTtc : baseHorsTaxe) * *taux);
    }
    calcul.total = arrondiCentimes(totalTtc + calcul.prelevement);
    if (avoir && calcul.total > m_totauxConfirmes.value(reference))
        return refuser(CodeRefus::avoirTropGrand,
                       QStringLiteral("Le montant de l'avoir depasse celui de la facture d'origine"));

    // The breakdown: VAT rates of groups A to D in percent, the tax-inclusive total of each group,
    // the tax-exclusive amount and the VAT of the taxed groups B and D, the specific taxes.
    const QString lettres = QStringLiteral("abcdef");
    for (int i = 0; i < 4; ++i)
        calcul.ventilation.insert(QStringLiteral("t") + lettres.at(i),
                                  arrondiCentimes(tauxGroupe(groupes.at(i), niger) * 100));
    for (int i = 0; i < 6; ++i)
        calcul.ventilation.insert(QStringLiteral("ta") + lettres.at(i),
                                  arrondiCentimes(totauxGroupes.value(groupes.at(i))));
    for (const QChar g : {QLatin1Char('B'), QLatin1Char('D')}) {
        const QString l = g.toLower();
        calcul.ventilation.insert(QStringLiteral("ha") + l, arrondiCentimes(basesGroupes.value(g)));
        calcul.ventilation.insert(QStringLiteral("va") + l,
                                  arrondiCentimes(totauxGroupes.value(g) - basesGroupes.value(g)));
    }
    calcul.ventilation.insert(QStringLiteral("ts"), arrondiCentimes(taxesSpecifiques));
    return calcul;
}

ReponseService ServiceEmcf::soumettre(const QByteArray &corps)
{
    QJsonParseError erreurJson;
    const QJsonDocument document = QJsonDocument::fromJson(corps, &erreurJson);
    if (erreurJson.error != QJsonParseError::NoError || !document.isObject())
        return refus(CodeRefus::autre, QStringLiteral("Corps de la facture illisible"));
    const Calcul calcul = calculer(document.object());
    if (calcul.codeRefus != 0)
        return refus(calcul.codeRefus, calcul.refus);
    if (m_enAttente.size() >= maximumEnAttente)
        return refus(CodeRefus::tropEnAttente, QStringLiteral("Trop de factures en attente"));

    FactureEnAttente attente;
    attente.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    attente.type = document.object().value(QStringLiteral("type")).toString();
    attente.reference = document.object().value(QStringLiteral("reference")).toString();
    attente.total = calcul.total + m_options.ecartTotal;
    attente.depuisMs = m_horlogeMs();
    attente.date = maintenant();
    attente.facture = document.object();
    QJsonObject o;
    o.insert(QStringLiteral("uid"), attente.uid);
    for (auto it = calcul.ventilation.begin(); it != calcul.ventilation.end(); ++it)
        o.insert(it.key(), it.value());
    o.insert(m_options.niger ? QStringLiteral("isb") : QStringLiteral("aib"), calcul.prelevement);
    o.insert(QStringLiteral("total"), attente.total);
    m_enAttente.append(attente);
    return {200, "application/json", json(o), false};
}

ReponseService ServiceEmcf::details(const QString &uid) const
{
    const qsizetype i = indexEnAttente(uid);
    if (i < 0)
        return refus(CodeRefus::uidInconnu, QStringLiteral("Facture en attente introuvable"));
    return {200, "application/json", json(m_enAttente.at(i).facture), false};
}

ReponseService ServiceEmcf::confirmer(const QString &uid)
{
    const qsizetype i = indexEnAttente(uid);
    if (i < 0)
        return refus(CodeRefus::uidInconnu, QStringLiteral("Facture en attente introuvable"));
    const FactureEnAttente facture = m_enAttente.takeAt(i);
    const int compteurType = ++m_compteursParType[facture.type] + m_options.compteurInitial;
    const int compteurTotal = ++m_compteurTotal;
    const QString compteurs = QString::number(compteurType) + QLatin1Char('/') +
                              QString::number(compteurTotal) + QLatin1Char(' ') + facture.type;
    const QString code = codeFiscal(uid + QString::number(compteurTotal));
    const QString codeCompact = QString(code).remove(QLatin1Char('-'));
    const QDateTime date = maintenant();

    // What a later refund names as its original invoice: the code without dashes in Bénin, the
    // unit's identifier and total counter in Niger.
    m_totauxConfirmes.insert(
        m_options.niger ? m_options.nim + QLatin1Char('-') + QString::number(compteurTotal) : codeCompact,
        facture.total);
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
    const qsizetype i = indexEnAttente(uid);
    if (i < 0)
        return refus(CodeRefus::uidInconnu, QStringLiteral("Facture en attente introuvable"));
    m_enAttente.removeAt(i);
    return {
        200, "application/json",
        json({{QStringLiteral("dateTime"), maintenant().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))}}),
        false};
}
