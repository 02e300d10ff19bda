#include "invoice.h"

#include <ligneentree.h>

#include <QLocale>
#include <QStringList>

#include <cmath>

TablesReference tablesReference(const QString &pays)
{
    TablesReference t;
    if (pays == QStringLiteral("Bénin"))
        t.nomTaxeSpecifique = QStringLiteral("AIB");
    else if (pays == QStringLiteral("Niger"))
        t.nomTaxeSpecifique = QStringLiteral("ISB");
    t.tauxTaxe = {{QStringLiteral("AIB1"), 1}, {QStringLiteral("AIB5"), 5}, {QStringLiteral("A"), 2},
                  {QStringLiteral("B"), 5},    {QStringLiteral("C"), 0},    {QStringLiteral("D"), 0}};
    t.modesPaiement = {{QStringLiteral("V"), QStringLiteral("VIREMENT")},
                       {QStringLiteral("C"), QStringLiteral("CARTEBANCAIRE")},
                       {QStringLiteral("M"), QStringLiteral("MOBILEMONEY")},
                       {QStringLiteral("D"), QStringLiteral("CHEQUES")},
                       {QStringLiteral("E"), QStringLiteral("ESPECES")},
                       {QStringLiteral("A"), QStringLiteral("AUTRE")},
                       {QStringLiteral("CR"), QStringLiteral("CREDIT")},
                       {QStringLiteral("CREDIT"), QStringLiteral("CREDIT")}};
    return t;
}

QString entierFrancais(double valeur)
{
    // std::round rounds halves away from zero; adding 0.0 turns a -0 into 0 so no "-0" is written.
    return QLocale(QLocale::French).toString(std::round(valeur) + 0.0, 'f', 0);
}

namespace {

std::string utf8(const QString &texte)
{
    return texte.toStdString();
}

std::string quatreDecimales(double valeur)
{
    return QString::asprintf("%.4f", valeur).toStdString();
}

void analyserEntete(const QStringList &c, Invoice &f, const ContexteAnalyse &ctx, std::ostream &console)
{
    // A header field beyond the end of the line is not read: the record keeps its value.
    auto prendre = [&c](int position, QString &cible) {
        if (c.size() > position)
            cible = c.at(position);
    };
    prendre(0, f.reference);
    prendre(1, f.typeFacture);
    prendre(2, f.nomOperateur);
    if (c.size() <= 3)
        return;
    prendre(3, f.idOperateur);
    prendre(4, f.codePaiement);
    prendre(5, f.nomClient);
    prendre(6, f.ifuClient);
    prendre(7, f.adresseClient);
    prendre(8, f.contactClient);
    prendre(9, f.contactClient2);
    prendre(10, f.codeTaxeSpecifique);

    const QString originale = champLigne(c, 11);
    if (!originale.isEmpty()) {
        std::optional<FactureOriginale> trouvee;
        if (ctx.trouverOriginale)
            trouvee = ctx.trouverOriginale(originale);
        if (trouvee) {
            if (!ctx.modeEnLigne)
                f.referenceOriginale = trouvee->mecef_nim + QLatin1Char('-') + trouvee->mecef_tc;
            else if (ctx.pays == QStringLiteral("Bénin"))
                f.referenceOriginale = QString(trouvee->mecef_sig).remove(QLatin1Char('-'));
            else if (ctx.pays == QStringLiteral("Niger"))
                f.referenceOriginale = trouvee->mecef_nim + QLatin1Char('-') + trouvee->mecef_tc;
            console << "Facture retrouvee: " << utf8(f.referenceOriginale) << "\n";
        } else if (originale.contains(QLatin1Char('-'))) {
            f.referenceOriginale = originale;
            console << "Facture non retrouvee: " << utf8(f.referenceOriginale) << "\n";
        }
    }
    prendre(12, f.impression);

    const QString nomTaxe = ctx.tables ? ctx.tables->nomTaxeSpecifique : QString();
    console << "Utilisateur: " << utf8(f.nomOperateur) << "\n";
    console << "Client: " << utf8(f.nomClient) << " IFU: " << utf8(f.ifuClient) << " , ";
    if (!f.codeTaxeSpecifique.isEmpty()) {
        const double taux = ctx.tables ? ctx.tables->taux(f.codeTaxeSpecifique) : 0;
        console << "Taux " << utf8(nomTaxe) << " " << taux << "%\n\n";
    } else {
        console << utf8(nomTaxe) << " non applicable\n\n";
    }
}

void analyserArticle(const QStringList &c, Invoice &f, const ContexteAnalyse &ctx, std::ostream &console)
{
    if (c.size() < 4)
        return;
    InvoiceItem article;
    article.groupeTaxe = champLigne(c, 0);
    article.designation = champLigne(c, 1);
    article.quantite = champLigne(c, 2);
    article.prixHT = champLigne(c, 3);
    article.prixTTC = champLigne(c, 4);
    article.complementArticle = champLigne(c, 5);
    article.taxeSpecifiqueHT = champLigne(c, 6);
    article.taxeSpecifique = champLigne(c, 7);

    const double q = nombreEntree(article.quantite);
    const double ht = q * nombreEntree(article.prixHT);
    const double ttc = q * nombreEntree(article.prixTTC);
    const double tsHT = nombreEntree(article.taxeSpecifiqueHT);
    const double ts = nombreEntree(article.taxeSpecifique);
    article.tva = entierFrancais(ttc - ht);
    f.articles.append(article);

    double retenue = 0;
    if (!f.codeTaxeSpecifique.isEmpty()) {
        const double r = ctx.tables ? ctx.tables->taux(f.codeTaxeSpecifique) : 0;
        if (ctx.pays == QStringLiteral("Bénin"))
            retenue = (tsHT + ht) * r / 100;
        else if (ctx.pays == QStringLiteral("Niger"))
            retenue = (ts + ttc) * r / 100;
    }
    const double totalLigne = retenue + ttc + ts;
    f.totalFacture += totalLigne;

    console << utf8(article.designation) << " (" << utf8(article.quantite) << " * " << utf8(article.prixTTC)
            << ") = " << quatreDecimales(ttc);
    if (!article.taxeSpecifique.isEmpty() && article.taxeSpecifique != QStringLiteral("0"))
        console << " + TS (" << utf8(article.taxeSpecifique) << ")";
    if (retenue != 0)
        console << " + AIB (" << quatreDecimales(retenue) << ")";
    console << " = " << quatreDecimales(totalLigne) << "\n";
}

} // namespace

void analyserLigne(const QString &ligne, Invoice &facture, const ContexteAnalyse &contexte,
                   std::ostream &console)
{
    const QStringList c = champsLigne(ligne);
    if (facture.nombreLignes == 0) {
        analyserEntete(c, facture, contexte, console);
    } else if (ligne.startsWith(QLatin1Char('#'))) {
        facture.commentaires.append({champLigne(c, 1), champLigne(c, 2)});
    } else {
        analyserArticle(c, facture, contexte, console);
    }
}

#include <parametres.h>

QStringConverter::Encoding encodageEntree(const QString &encodage)
{
    const int code = versEntier(encodage);
    if (code < 0 || code > static_cast<int>(QStringConverter::System))
        return QStringConverter::Utf8;
    return static_cast<QStringConverter::Encoding>(code);
}
