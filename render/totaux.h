#pragma once

#include "vuefacture.h"

#include <QMap>
#include <QString>

// Country words of the document.
struct Vocabulaire
{
    QString nomModule;      // "MECeF" / "SECeF"
    QString libelleRetenue; // "AIB" / "Précompte ISB"
    QString libelleNumero;  // "IFU" / "NIF"
};

Vocabulaire vocabulaire(const QString &pays);

// Withholding rate in percent of a withholding code; 0 for an unknown code.
double tauxTaxe(const QString &code);

// Sums of one tax group.
struct SommesGroupe
{
    double ht = 0;
    double taxeSpecifiqueHT = 0;
    double tva = 0;
};

struct TotauxFacture
{
    double totalTSHT = 0;
    double totalTS = 0;
    double totalHT = 0;
    double totalTTC = 0;
    double totalTVA = 0; // group "A" (exempt) left out
    double totalQuantite = 0;
    // Share of the client (partClient percent of each line) and of the insurer (the rest).
    double clientHT = 0, clientTTC = 0, clientTVA = 0, clientTSHT = 0;
    double assuranceHT = 0, assuranceTTC = 0, assuranceTVA = 0, assuranceTSHT = 0;
    QMap<QString, SommesGroupe> groupes; // by group text, ascending

    double tauxRetenue = 0;
    double montantRetenue = 0;
    double retenueClient = 0;
    double retenueAssurance = 0;
    double netAPayer = 0;
    double netClient = 0;
    double netAssurance = 0;
};

// Line amounts of one item.
double ligneHT(const ArticleRendu &article);
double ligneTTC(const ArticleRendu &article); // quantity x unit price with tax + specific tax

TotauxFacture calculerTotaux(const VueFacture &vue, const QString &pays);
