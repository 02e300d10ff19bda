#include "totaux.h"

#include "invoice.h"

namespace {

const QMap<QString, double> &tableTaux(const QString &pays)
{
    static const QMap<QString, double> table{{QStringLiteral("AIB1"), 1}, {QStringLiteral("AIB5"), 5},
                                             {QStringLiteral("A"), 2},    {QStringLiteral("B"), 5},
                                             {QStringLiteral("C"), 0},    {QStringLiteral("D"), 0}};
    // Bénin: the letters name the service's AIB groups, A 1 % and B 5 %.
    static const QMap<QString, double> benin{{QStringLiteral("AIB1"), 1}, {QStringLiteral("AIB5"), 5},
                                             {QStringLiteral("A"), 1},    {QStringLiteral("B"), 5},
                                             {QStringLiteral("C"), 0},    {QStringLiteral("D"), 0}};
    return pays == QStringLiteral("Bénin") ? benin : table;
}

} // namespace

double tauxTaxe(const QString &code, const QString &pays)
{
    return tableTaux(pays).value(code, 0);
}

TablesReference tablesReference(const QString &pays)
{
    TablesReference t;
    if (pays == QStringLiteral("Bénin"))
        t.nomTaxeSpecifique = QStringLiteral("AIB");
    else if (pays == QStringLiteral("Niger"))
        t.nomTaxeSpecifique = QStringLiteral("ISB");
    t.tauxTaxe = tableTaux(pays);
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

double retenue(const QString &pays, double taux, double baseHT, double baseTTC)
{
    if (pays == QStringLiteral("Bénin"))
        return baseHT * taux / 100;
    if (pays == QStringLiteral("Niger"))
        return baseTTC * taux / 100;
    return 0;
}

double ligneHT(const InvoiceItem &a)
{
    return a.nombres.quantite * a.nombres.prixHT;
}

double ligneTTC(const InvoiceItem &a)
{
    return a.nombres.quantite * a.nombres.prixTTC + a.nombres.taxeSpecifique;
}

double ligneTVA(const InvoiceItem &a)
{
    const NombresArticle &n = a.nombres;
    return n.quantite * n.prixTTC - n.quantite * n.prixHT + n.taxeSpecifique - n.taxeSpecifiqueHT;
}

LigneCertifiee ligneCertifiee(const InvoiceItem &a, const QString &codeTaxeSpecifique, const QString &pays)
{
    const NombresArticle &n = a.nombres;
    LigneCertifiee l;
    const double ht = n.quantite * n.prixHT;
    l.ttc = n.quantite * n.prixTTC;
    if (!codeTaxeSpecifique.isEmpty())
        l.retenue = retenue(pays, tauxTaxe(codeTaxeSpecifique, pays), n.taxeSpecifiqueHT + ht,
                            n.taxeSpecifique + l.ttc);
    l.total = l.retenue + l.ttc + n.taxeSpecifique;
    return l;
}

TotauxFacture calculerTotaux(const Invoice &facture, const QString &pays)
{
    TotauxFacture t;
    for (const InvoiceItem &a : facture.articles) {
        const NombresArticle &n = a.nombres;
        const double ht = ligneHT(a);
        const double ttc = ligneTTC(a);
        const double tva = ligneTVA(a);
        const bool exonere = a.groupeTaxe == QStringLiteral("A");
        const double part = n.partClient;
        t.totalTSHT += n.taxeSpecifiqueHT;
        t.totalTS += n.taxeSpecifique;
        t.totalHT += ht;
        t.totalTTC += ttc;
        t.totalQuantite += n.quantite;
        t.clientHT += ht * part / 100;
        t.clientTTC += ttc * part / 100;
        t.clientTSHT += n.taxeSpecifiqueHT * part / 100;
        t.assuranceHT += ht * (100 - part) / 100;
        t.assuranceTTC += ttc * (100 - part) / 100;
        t.assuranceTSHT += n.taxeSpecifiqueHT * (100 - part) / 100;
        if (!exonere) {
            t.totalTVA += tva;
            t.clientTVA += tva * part / 100;
            t.assuranceTVA += tva * (100 - part) / 100;
        }
        SommesGroupe &g = t.groupes[a.groupeTaxe];
        g.ht += ht;
        g.taxeSpecifiqueHT += n.taxeSpecifiqueHT;
        g.tva += tva;
    }

    if (!facture.codeTaxeSpecifique.isEmpty()) {
        const double r = tauxTaxe(facture.codeTaxeSpecifique, pays);
        t.tauxRetenue = r;
        // The same base as the engine's lines: in Niger the amounts with tax already hold the
        // specific tax. The client's and the insurer's withholdings are their shares of that base,
        // so they add up to the whole.
        t.montantRetenue = retenue(pays, r, t.totalTSHT + t.totalHT, t.totalTTC);
        t.retenueClient = retenue(pays, r, t.clientTSHT + t.clientHT, t.clientTTC);
        t.retenueAssurance = retenue(pays, r, t.assuranceTSHT + t.assuranceHT, t.assuranceTTC);
    }
    t.netAPayer = t.totalTTC + t.montantRetenue;
    t.netClient = t.clientTTC + t.retenueClient;
    t.netAssurance = t.assuranceTTC + t.retenueAssurance;
    return t;
}
