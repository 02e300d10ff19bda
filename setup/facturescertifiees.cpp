#include "facturescertifiees.h"

#include <registre.h>

#include <formats.h>

#include <QLocale>

namespace {

const QString nomConnexion = QStringLiteral("orvane-setup-certifiees");

// A refund counts negative in the shop's totals.
qint64 deduit(const MontantsFacture &f, double valeur)
{
    return montantImprime(valeur, estAvoir(f.type) ? -1 : 1);
}

QString francs(qint64 valeur)
{
    QString texte = QLocale(QLocale::French).toString(valeur);
    return texte.replace(QLocale(QLocale::French).groupSeparator(), QStringLiteral(" ")) +
           QStringLiteral(" F CFA");
}

} // namespace

SyntheseCertifiees syntheseCertifiees(const QList<MontantsFacture> &factures)
{
    SyntheseCertifiees s;
    s.nombre = int(factures.size());
    for (const MontantsFacture &f : factures) {
        if (!f.avecMontants) {
            ++s.sansMontants;
            continue;
        }
        SyntheseCertifiees::ParType &type = s.types[f.type];
        ++type.nombre;
        type.total += deduit(f, f.total);
        for (const MontantsGroupe &g : f.groupes) {
            SyntheseCertifiees::ParGroupe &groupe = s.groupes[g.groupe];
            groupe.base += deduit(f, g.base);
            groupe.tva += deduit(f, g.tva);
            groupe.taxeSpecifique += deduit(f, g.taxeSpecifique);
        }
        s.retenue += deduit(f, f.retenue);
        s.total += deduit(f, f.total);
        s.net += deduit(f, f.netAPayer);
    }
    return s;
}

QString texteSynthese(const SyntheseCertifiees &s)
{
    if (s.nombre == 0)
        return QStringLiteral("Aucune facture certifiée sur cette période.");
    QStringList lignes;
    lignes << (s.nombre == 1 ? QStringLiteral("1 facture certifiée")
                             : QStringLiteral("%1 factures certifiées").arg(s.nombre)) +
                  (s.sansMontants == 0 ? QStringLiteral(".")
                                       : QStringLiteral(", dont %1 enregistrée(s) sans montants (avant leur "
                                                        "conservation au registre), comptée(s) dans aucun total.")
                                             .arg(s.sansMontants));
    QStringList types;
    for (auto t = s.types.cbegin(); t != s.types.cend(); ++t)
        types << QStringLiteral("%1: %2 pour %3").arg(t.key()).arg(t->nombre).arg(francs(t->total));
    if (!types.isEmpty())
        lignes << QStringLiteral("Par type: ") + types.join(QStringLiteral(" | "));
    QStringList groupes;
    for (auto g = s.groupes.cbegin(); g != s.groupes.cend(); ++g)
        groupes << QStringLiteral("[%1] HT %2, TVA %3, TS %4")
                       .arg(g.key(), francs(g->base), francs(g->tva), francs(g->taxeSpecifique));
    if (!groupes.isEmpty())
        lignes << QStringLiteral("Par groupe de taxe: ") + groupes.join(QStringLiteral(" | "));
    lignes << QStringLiteral("Total TTC: %1 | Retenues: %2 | Net: %3 (avoirs déduits)")
                  .arg(francs(s.total), francs(s.retenue), francs(s.net));
    return lignes.join(QLatin1Char('\n'));
}

ListeCertifiees lireCertifiees(const EmplacementRegistre &emplacement, const PeriodeCertification &periode)
{
    ListeCertifiees liste;
    Registre registre(nomConnexion);
    if (!registre.ouvrirExistant(emplacement)) {
        liste.erreur = registre.erreur();
        return liste;
    }
    const std::optional<QList<MontantsFacture>> factures = registre.facturesCertifiees(periode);
    if (!factures) {
        liste.erreur = registre.erreur();
        return liste;
    }
    liste.lisible = true;
    liste.factures = *factures;
    return liste;
}

IssueExport exporterCertifiees(const EmplacementRegistre &emplacement, const PeriodeCertification &periode,
                               const QString &chemin)
{
    Registre registre(nomConnexion);
    if (!registre.ouvrirExistant(emplacement)) {
        IssueExport issue;
        issue.erreur = registre.erreur();
        return issue;
    }
    return exporterCertifiees(registre, periode, chemin);
}

QStringList cellulesCertifiee(const MontantsFacture &f)
{
    return {f.reference,
            texteCertification(f.certification).left(16),
            f.type,
            f.caisse,
            f.compteurs,
            f.avecMontants ? remplacerSeparateurGroupes(texteMontant(f.total, f.signe))
                           : QStringLiteral("non conservé")};
}
