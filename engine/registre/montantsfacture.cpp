#include "montantsfacture.h"

#include <invoice.h>
#include <totaux.h>

#include <QDateTime>

#include <cmath>

MontantsFacture montantsFacture(const Invoice &facture, const QString &pays, const ResultatFiscal &resultat,
                                const QString &caisse, const QString &appareil)
{
    MontantsFacture m = montantsInconnus(facture.reference, resultat);
    m.type = facture.typeFacture;
    m.dateFacture = facture.dateFacture;
    m.caisse = caisse;
    m.appareil = appareil;
    m.pays = pays;
    m.signe = facture.signe;
    m.avecMontants = true;
    const TotauxFacture t = calculerTotaux(facture, pays);
    for (auto g = t.groupes.cbegin(); g != t.groupes.cend(); ++g)
        m.groupes << MontantsGroupe{g.key(), g->ht, g->tva, g->taxeSpecifiqueHT};
    m.codeRetenue = facture.codeTaxeSpecifique;
    m.tauxRetenue = t.tauxRetenue;
    m.retenue = t.montantRetenue;
    m.total = t.totalTTC;
    m.netAPayer = t.netAPayer;
    return m;
}

MontantsFacture montantsInconnus(const QString &reference, const ResultatFiscal &resultat)
{
    MontantsFacture m;
    m.reference = reference;
    m.certification = instantCertification(resultat.mecef_date);
    m.nim = resultat.mecef_nim;
    m.compteurs = resultat.mecef_compt;
    m.codeFiscal = resultat.mecef_sig;
    return m;
}

QString instantCertification(const QString &mecef_date)
{
    const QString texte = mecef_date.trimmed();
    QDateTime instant =
        QDateTime::fromString(texte, texte.contains(QLatin1Char('/')) ? QStringLiteral("dd/MM/yyyy HH:mm:ss")
                                                                      : QStringLiteral("yyyyMMddHHmmss"));
    return instant.isValid() ? instant.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

qint64 montantImprime(double valeur, int signe)
{
    // The rounding of the documents' amounts (entierFrancais): halves away from zero.
    return qint64(std::llround(signe * valeur));
}

bool estAvoir(const QString &type)
{
    return type == QStringLiteral("FA") || type == QStringLiteral("EA");
}

MontantsGroupe sommesDuGroupe(const MontantsFacture &montants, const QString &groupe)
{
    for (const MontantsGroupe &g : montants.groupes) {
        if (g.groupe == groupe)
            return g;
    }
    return {groupe};
}

bool PeriodeCertification::contient(const MontantsFacture &m) const
{
    return m.certification >= debut() && m.certification < fin() &&
           (recherche.isEmpty() || m.reference.contains(recherche, Qt::CaseInsensitive));
}
