#include "montantsfacture.h"

#include <invoice.h>
#include <totaux.h>

#include <textesfiscaux.h>

#include <QTime>

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
    // Date and time read apart, as the result file reads them: no time zone can make a valid time
    // unreadable.
    const QString texte = texteDate(mecef_date.trimmed());
    const QDate jour = QDate::fromString(texte.left(10), QStringLiteral("dd/MM/yyyy"));
    const QTime heure = QTime::fromString(texte.mid(11), QStringLiteral("HH:mm:ss"));
    if (texte.size() != 19 || !jour.isValid() || !heure.isValid())
        return {};
    return jour.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + heure.toString(QStringLiteral("HH:mm:ss"));
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
