#include "empreintesoumission.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// What each level of the invoice keeps: its keys, and for objects and arrays of objects, the keys
// of their own members.
const QStringList clesArticle = {"name", "price", "quantity", "taxGroup", "taxSpecific", "taxSpecificAmount"};
const QStringList clesClient = {"ifu", "nif", "name", "contact", "address"};
const QStringList clesOperateur = {"id", "name"};
const QStringList clesPaiement = {"name", "amount"};
const QStringList clesFacture = {"type", "reference", "aib", "isb", "isf", "mode", "rn", "cmta", "cmtb",
                                 "cmtc", "cmtd", "cmte", "cmtf", "cmtg", "cmth"};

// A scalar as it counts: numbers (JSON numbers or numeric texts) by value, other texts as they are,
// empty texts and nulls not at all.
QJsonValue valeurComptee(const QJsonValue &v)
{
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    if (v.isString()) {
        const QString texte = v.toString();
        if (texte.isEmpty())
            return QJsonValue::Undefined;
        bool nombre = false;
        const double d = texte.trimmed().toDouble(&nombre);
        return nombre ? QString::number(d, 'g', 15) : texte;
    }
    if (v.isBool())
        return v;
    return QJsonValue::Undefined;
}

QJsonObject garder(const QJsonObject &source, const QStringList &cles)
{
    QJsonObject o;
    for (const QString &cle : cles) {
        const QJsonValue v = valeurComptee(source.value(cle));
        if (!v.isUndefined())
            o.insert(cle, v);
    }
    return o;
}

QJsonArray garderListe(const QJsonValue &source, const QStringList &cles)
{
    QJsonArray a;
    for (const QJsonValue &membre : source.toArray())
        a.append(garder(membre.toObject(), cles));
    return a;
}

} // namespace

QString empreinteSoumission(const QJsonObject &facture)
{
    QJsonObject contenu = garder(facture, clesFacture);
    contenu.insert(QStringLiteral("items"), garderListe(facture.value(QStringLiteral("items")), clesArticle));
    contenu.insert(QStringLiteral("client"), garder(facture.value(QStringLiteral("client")).toObject(), clesClient));
    contenu.insert(QStringLiteral("operator"),
                   garder(facture.value(QStringLiteral("operator")).toObject(), clesOperateur));
    contenu.insert(QStringLiteral("payment"), garderListe(facture.value(QStringLiteral("payment")), clesPaiement));
    // QJsonObject keeps its keys sorted: the same content always gives the same text.
    const QByteArray texte = QJsonDocument(contenu).toJson(QJsonDocument::Compact);
    return QString::fromLatin1(QCryptographicHash::hash(texte, QCryptographicHash::Sha256).toHex().left(32));
}

namespace {

std::optional<QJsonObject> objetRecu(const ReponseEmcf &reponse)
{
    if (reponse.echec != ReponseEmcf::Echec::Aucun || reponse.statutHttp >= 400)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(reponse.corps);
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace

std::optional<QStringList> uidsEnAttente(const ReponseEmcf &etat)
{
    const std::optional<QJsonObject> objet = objetRecu(etat);
    if (!objet || objet->value(QStringLiteral("status")) != QJsonValue(true))
        return std::nullopt;
    QStringList uids;
    for (const QJsonValue &attente : objet->value(QStringLiteral("pendingRequestsList")).toArray()) {
        const QString uid = attente.toObject().value(QStringLiteral("uid")).toString();
        if (!uid.isEmpty())
            uids << uid;
    }
    return uids;
}

std::optional<QJsonObject> detailsEnAttente(const ReponseEmcf &reponse)
{
    if (!factureEnAttente(reponse))
        return std::nullopt;
    return objetRecu(reponse);
}
