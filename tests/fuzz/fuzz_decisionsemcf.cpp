// A reply body from the e-MCF service, given to every reply handler of the exchange.
#include <web/decisionsemcf.h>

#include <parametres.h>
#include <totaux.h>

#include <QByteArray>

namespace {

Invoice factureExemple()
{
    Invoice facture;
    facture.reference = QStringLiteral("FAC-1");
    facture.typeFacture = QStringLiteral("FV");
    InvoiceItem article;
    article.designation = QStringLiteral("Pain");
    article.quantite = QStringLiteral("2");
    article.prixTTC = QStringLiteral("118");
    article.groupeTaxe = QStringLiteral("B");
    article.nombres.quantite = 2;
    article.nombres.prixTTC = 118;
    facture.articles.append(article);
    facture.totalFacture = 236;
    return facture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray reponse(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    static const Invoice facture = factureExemple();
    for (const QString &pays : {QStringLiteral("Bénin"), QStringLiteral("Niger")}) {
        ParametresMoteur parametres;
        parametres.pays = pays;
        const TablesReference tables = tablesReference(pays);
        (void)decisionEtatServeur(reponse, {facture, parametres, tables});
        (void)decisionConfirmation(reponse, pays);
    }
    (void)decisionEnregistrement(reponse, facture.totalFacture, 0, 2);
    (void)decisionEnregistrement(reponse, facture.totalFacture, 0.5, 0);
    (void)decisionAnnulation(reponse);
    (void)factureEnAttente(reponse);
    return 0;
}
