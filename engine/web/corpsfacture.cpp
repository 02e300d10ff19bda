#include "corpsfacture.h"

#include "vocabulaireemcf.h"

#include <parametres.h>

#include <QJsonArray>
#include <QLocale>

namespace {

QJsonObject objetArticle(const InvoiceItem &article, const VocabulaireEmcf &vocabulaire, bool prixHorsTaxe)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), article.designation);
    o.insert(QStringLiteral("price"), prixHorsTaxe ? article.prixHT : article.prixTTC);
    o.insert(QStringLiteral("quantity"), article.quantite);
    o.insert(QStringLiteral("taxGroup"), groupeTaxeEnvoye(article));
    if (!article.taxeSpecifiqueHT.isEmpty())
        o.insert(vocabulaire.cleTaxeSpecifique, article.taxeSpecifiqueHT);
    return o;
}

QJsonObject objetClient(const Invoice &facture, const VocabulaireEmcf &vocabulaire)
{
    QJsonObject o;
    o.insert(vocabulaire.cleIdentifiantFiscal, facture.ifuClient);
    if (!facture.nomClient.isEmpty())
        o.insert(QStringLiteral("name"), facture.nomClient);
    if (!facture.contactClient.isEmpty() || !facture.contactClient2.isEmpty())
        o.insert(QStringLiteral("contact"),
                 facture.contactClient + QLatin1Char(' ') + facture.contactClient2);
    if (!facture.adresseClient.isEmpty())
        o.insert(QStringLiteral("address"), facture.adresseClient);
    return o;
}

QJsonObject objetOperateur(const Invoice &facture)
{
    QJsonObject o;
    if (!facture.idOperateur.isEmpty())
        o.insert(QStringLiteral("id"), facture.idOperateur);
    o.insert(QStringLiteral("name"), facture.nomOperateur);
    return o;
}

QJsonObject objetPaiement(const Invoice &facture, const TablesReference &tables,
                          const VocabulaireEmcf &vocabulaire)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"),
             tables.modesPaiement.value(facture.codePaiement, vocabulaire.paiementParDefaut));
    o.insert(QStringLiteral("amount"), facture.totalFacture);
    return o;
}

// Niger comments travel as "cmta" to "cmth": the label is the letter, the value the text. Any other
// label is not sent; a later comment with the same letter replaces an earlier one.
void ajouterCommentaires(QJsonObject &corps, const QList<InvoiceComment> &commentaires)
{
    for (const InvoiceComment &c : commentaires) {
        if (!genreCommentaireConnu(c.libelle))
            continue;
        corps.insert(QStringLiteral("cmt") + c.libelle.toLower(), c.valeur);
    }
}

// The service's levy group of the same rate as the code in the country (reglesmcf.h).
QString codePrelevement(const QString &codeTaxeSpecifique, const QString &pays)
{
    return codePrelevementEmcf(codeTaxeSpecifique, pays);
}

} // namespace

SoumissionEmcf corpsSoumission(const Invoice &facture, const ParametresMoteur &parametres,
                               const TablesReference &tables, const QJsonObject &etatServeur)
{
    const VocabulaireEmcf vocabulaire = vocabulaireEmcf(parametres.pays);
    // Niger alone may send tax-exclusive prices; Bénin invoices always carry tax-inclusive ones.
    const bool prixHorsTaxe = vocabulaire.niger && parametres.modePrix == QStringLiteral("HT");

    SoumissionEmcf soumission;
    QJsonObject &corps = soumission.corps;
    // The seller's number is copied as the service gave it, whatever its JSON type. A missing key
    // must be sent as null: inserting an undefined value would drop the key instead.
    const QJsonValue vendeur = etatServeur.value(vocabulaire.cleIdentifiantFiscal);
    corps.insert(vocabulaire.cleIdentifiantFiscal,
                 vendeur.isUndefined() ? QJsonValue(QJsonValue::Null) : vendeur);
    corps.insert(QStringLiteral("type"), facture.typeFacture);

    QJsonArray articles;
    for (const InvoiceItem &article : facture.articles) {
        soumission.sommeQuantites += nombreEntree(article.quantite);
        articles.append(objetArticle(article, vocabulaire, prixHorsTaxe));
    }
    corps.insert(QStringLiteral("items"), articles);
    corps.insert(QStringLiteral("client"), objetClient(facture, vocabulaire));
    corps.insert(QStringLiteral("operator"), objetOperateur(facture));
    corps.insert(QStringLiteral("payment"), QJsonArray{objetPaiement(facture, tables, vocabulaire)});

    if (vocabulaire.niger) {
        corps.insert(QStringLiteral("isf"), isfEnvoye(parametres.isf));
        corps.insert(QStringLiteral("mode"), parametres.modePrix.toLower());
        corps.insert(QStringLiteral("rn"), facture.reference);
        ajouterCommentaires(corps, facture.commentaires);
    }
    if (facture.typeFacture == QStringLiteral("FA") || facture.typeFacture == QStringLiteral("EA"))
        corps.insert(QStringLiteral("reference"), facture.referenceOriginale);
    if (!facture.codeTaxeSpecifique.isEmpty())
        corps.insert(vocabulaire.cleTaxePrelevement,
                     codePrelevement(facture.codeTaxeSpecifique, parametres.pays));
    return soumission;
}
