#include "totaux.h"

Vocabulaire vocabulaire(const QString &pays)
{
    if (pays == QStringLiteral("Bénin"))
        return {QStringLiteral("MECeF"), QStringLiteral("AIB"), QStringLiteral("IFU")};
    if (pays == QStringLiteral("Niger"))
        return {QStringLiteral("SECeF"), QStringLiteral("Précompte ISB"), QStringLiteral("NIF")};
    return {};
}

double tauxTaxe(const QString &code)
{
    static const QMap<QString, double> table{{QStringLiteral("AIB1"), 1}, {QStringLiteral("AIB5"), 5},
                                             {QStringLiteral("A"), 2},    {QStringLiteral("B"), 5},
                                             {QStringLiteral("C"), 0},    {QStringLiteral("D"), 0}};
    return table.value(code, 0);
}

double ligneHT(const ArticleRendu &a)
{
    return nombreEntree(a.quantite) * nombreEntree(a.prixHT);
}

double ligneTTC(const ArticleRendu &a)
{
    return nombreEntree(a.quantite) * nombreEntree(a.prixTTC) + nombreEntree(a.taxeSpecifique);
}

TotauxFacture calculerTotaux(const VueFacture &vue, const QString &pays)
{
    TotauxFacture t;
    t.totalTSHT = vue.totalTSHT;
    t.totalTS = vue.totalTS;
    for (const ArticleRendu &a : vue.articles) {
        const double ht = ligneHT(a);
        const double ttc = ligneTTC(a);
        const double tsHT = nombreEntree(a.taxeSpecifiqueHT);
        const bool exonere = a.groupeTaxe == QStringLiteral("A");
        const double part = a.partClient.isEmpty() ? 100 : nombreEntree(a.partClient);
        t.totalHT += ht;
        t.totalTTC += ttc;
        t.totalQuantite += nombreEntree(a.quantite);
        t.clientHT += ht * part / 100;
        t.clientTTC += ttc * part / 100;
        t.clientTSHT += tsHT * part / 100;
        t.assuranceHT += ht * (100 - part) / 100;
        t.assuranceTTC += ttc * (100 - part) / 100;
        t.assuranceTSHT += tsHT * (100 - part) / 100;
        if (!exonere) {
            t.totalTVA += a.tva;
            t.clientTVA += a.tva * part / 100;
            t.assuranceTVA += a.tva * (100 - part) / 100;
        }
        SommesGroupe &g = t.groupes[a.groupeTaxe];
        g.ht += ht;
        g.taxeSpecifiqueHT += tsHT;
        g.tva += a.tva;
    }

    if (!vue.codeTaxeSpecifique.isEmpty()) {
        const double r = tauxTaxe(vue.codeTaxeSpecifique);
        t.tauxRetenue = r;
        // The base is the one the engine certifies: amounts without tax plus the specific tax
        // without tax in Bénin, amounts with tax (the specific tax already in them) in Niger. The
        // client's and the insurer's withholdings are their shares of that same base, so they add
        // up to the whole.
        if (pays == QStringLiteral("Bénin")) {
            t.montantRetenue = (t.totalTSHT + t.totalHT) * r / 100;
            t.retenueClient = (t.clientTSHT + t.clientHT) * r / 100;
            t.retenueAssurance = (t.assuranceTSHT + t.assuranceHT) * r / 100;
        } else if (pays == QStringLiteral("Niger")) {
            t.montantRetenue = t.totalTTC * r / 100;
            t.retenueClient = t.clientTTC * r / 100;
            t.retenueAssurance = t.assuranceTTC * r / 100;
        }
    }
    t.netAPayer = t.totalTTC + t.montantRetenue;
    t.netClient = t.clientTTC + t.retenueClient;
    t.netAssurance = t.assuranceTTC + t.retenueAssurance;
    return t;
}
