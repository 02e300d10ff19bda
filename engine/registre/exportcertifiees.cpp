#include "exportcertifiees.h"

#include "registre.h"

#include <textesfiscaux.h>
#include <totaux.h>

#include <QLocale>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cmath>

std::optional<QDate> lireJour(const QString &texte)
{
    const QDate jour = QDate::fromString(texte.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (!jour.isValid())
        return std::nullopt;
    return jour;
}

QString texteCertification(const QString &certification)
{
    // Stored as instantCertification writes it: the parts are moved, not read as a date again (a
    // year of rows is exported at a time).
    if (certification.size() < 10 || certification.at(4) != QLatin1Char('-') ||
        certification.at(7) != QLatin1Char('-'))
        return certification;
    return certification.mid(8, 2) + QLatin1Char('/') + certification.mid(5, 2) + QLatin1Char('/') +
           certification.left(4) + certification.mid(10);
}

QString nombreCsv(double valeur)
{
    const double arrondi = std::round(valeur * 100) / 100 + 0.0;
    QString texte = QString::number(arrondi, 'f', 2);
    while (texte.endsWith(QLatin1Char('0')))
        texte.chop(1);
    if (texte.endsWith(QLatin1Char('.')))
        texte.chop(1);
    return texte.replace(QLatin1Char('.'), QLatin1Char(','));
}

namespace {

QString montantCsv(double valeur, int signe)
{
    return QString::number(montantImprime(valeur, signe));
}

// A field holding the separator, a quote or a line break is quoted, its quotes doubled.
QString champ(const QString &texte)
{
    const bool aCiter = std::any_of(texte.cbegin(), texte.cend(), [](QChar c) {
        return c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
    });
    if (!aCiter)
        return texte;
    QString t = texte;
    return QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The withholding's name in `pays` (tablesReference's, without building the whole tables per row).
QString nomRetenue(const QString &pays)
{
    static const QString benin = tablesReference(QStringLiteral("Bénin")).nomTaxeSpecifique;
    static const QString niger = tablesReference(QStringLiteral("Niger")).nomTaxeSpecifique;
    return pays == QStringLiteral("Bénin") ? benin : pays == QStringLiteral("Niger") ? niger : QString();
}

QStringList groupesDe(const QList<MontantsFacture> &factures)
{
    QSet<QString> vus;
    for (const MontantsFacture &f : factures) {
        for (const MontantsGroupe &g : f.groupes)
            vus.insert(g.groupe);
    }
    QStringList groupes(vus.cbegin(), vus.cend());
    groupes.sort();
    return groupes;
}

} // namespace

QStringList enTeteCsv(const QStringList &groupes)
{
    QStringList t = {QStringLiteral("Référence"), QStringLiteral("Type"), QStringLiteral("Date facture"),
                     QStringLiteral("Certification"), QStringLiteral("Caisse"),
                     QStringLiteral("Appareil ou compte"), QStringLiteral("NIM"), QStringLiteral("Compteurs"),
                     QStringLiteral("Code fiscal")};
    for (const QString &g : groupes)
        t << QStringLiteral("HT %1").arg(g) << QStringLiteral("TVA %1").arg(g) << QStringLiteral("TS %1").arg(g);
    t << QStringLiteral("Retenue") << QStringLiteral("Code retenue") << QStringLiteral("Taux retenue")
      << QStringLiteral("Montant retenue") << QStringLiteral("Total TTC") << QStringLiteral("Net à payer")
      << QStringLiteral("Montants");
    return t;
}

QStringList champsCsv(const MontantsFacture &f, const QStringList &groupes)
{
    QStringList c = {f.reference, f.type,  f.dateFacture, texteCertification(f.certification), f.caisse,
                     f.appareil,  f.nim,   f.compteurs,   texteSignature(f.codeFiscal)};
    for (const QString &g : groupes) {
        if (!f.avecMontants) {
            c << QString() << QString() << QString();
            continue;
        }
        const MontantsGroupe s = sommesDuGroupe(f, g);
        c << montantCsv(s.base, f.signe) << montantCsv(s.tva, f.signe) << montantCsv(s.taxeSpecifique, f.signe);
    }
    if (!f.avecMontants) {
        c << QString() << QString() << QString() << QString() << QString() << QString()
          << QStringLiteral("non conservés");
        return c;
    }
    const bool retenue = !f.codeRetenue.isEmpty();
    c << (retenue ? nomRetenue(f.pays) : QString()) << f.codeRetenue
      << (retenue ? nombreCsv(f.tauxRetenue) : QString()) << (retenue ? montantCsv(f.retenue, f.signe) : QString())
      << montantCsv(f.total, f.signe) << montantCsv(f.netAPayer, f.signe) << QStringLiteral("conservés");
    return c;
}

QByteArray texteCsv(const QList<MontantsFacture> &factures)
{
    const QStringList groupes = groupesDe(factures);
    auto ligne = [](const QStringList &champs) {
        QStringList cites;
        for (const QString &c : champs)
            cites << champ(c);
        return cites.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    };
    QString texte = ligne(enTeteCsv(groupes));
    for (const MontantsFacture &f : factures)
        texte += ligne(champsCsv(f, groupes));
    return QByteArray("\xEF\xBB\xBF") + texte.toUtf8();
}

bool ecrireCsv(const QString &chemin, const QList<MontantsFacture> &factures, QString &erreur)
{
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly)) {
        erreur = fichier.errorString();
        return false;
    }
    const QByteArray contenu = texteCsv(factures);
    if (fichier.write(contenu) != contenu.size() || !fichier.commit()) {
        erreur = fichier.errorString();
        fichier.cancelWriting();
        return false;
    }
    return true;
}

IssueExport exporterCertifiees(Registre &registre, const PeriodeCertification &periode, const QString &chemin)
{
    IssueExport issue;
    const std::optional<QList<MontantsFacture>> factures = registre.facturesCertifiees(periode);
    if (!factures) {
        issue.erreur = registre.erreur();
        return issue;
    }
    if (!ecrireCsv(chemin, *factures, issue.erreur)) {
        issue.issue = IssueExport::Issue::FichierImpossible;
        return issue;
    }
    issue.issue = IssueExport::Issue::Ecrit;
    issue.factures = int(factures->size());
    return issue;
}
