#include "sqlmontants.h"

#include "schemaregistre.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QVariant>

namespace sqlmontants {

namespace {

const QStringList colonnes = {
    QStringLiteral("reference"), QStringLiteral("type"),         QStringLiteral("date_facture"),
    QStringLiteral("certification"), QStringLiteral("caisse"),   QStringLiteral("appareil"),
    QStringLiteral("nim"),       QStringLiteral("compteurs"),    QStringLiteral("code"),
    QStringLiteral("pays"),      QStringLiteral("signe"),        QStringLiteral("groupes"),
    QStringLiteral("code_retenue"), QStringLiteral("taux_retenue"), QStringLiteral("retenue"),
    QStringLiteral("total"),     QStringLiteral("net"),
};

// The groups' sums as a JSON array, the one column whose length varies with the invoice. Doubles
// are written in their shortest exact form: read back, they are the same numbers.
QString texteGroupes(const QList<MontantsGroupe> &groupes)
{
    QJsonArray tableau;
    for (const MontantsGroupe &g : groupes)
        tableau.append(QJsonObject{{QStringLiteral("groupe"), g.groupe},
                                   {QStringLiteral("base"), g.base},
                                   {QStringLiteral("tva"), g.tva},
                                   {QStringLiteral("ts"), g.taxeSpecifique}});
    return QString::fromUtf8(QJsonDocument(tableau).toJson(QJsonDocument::Compact));
}

QList<MontantsGroupe> lireGroupes(const QString &texte)
{
    QList<MontantsGroupe> groupes;
    for (const QJsonValue &v : QJsonDocument::fromJson(texte.toUtf8()).array()) {
        const QJsonObject g = v.toObject();
        groupes << MontantsGroupe{g.value(QStringLiteral("groupe")).toString(),
                                  g.value(QStringLiteral("base")).toDouble(),
                                  g.value(QStringLiteral("tva")).toDouble(),
                                  g.value(QStringLiteral("ts")).toDouble()};
    }
    return groupes;
}

QVariant nombre(bool connu, double valeur)
{
    return connu ? QVariant(valeur) : QVariant(QMetaType::fromType<double>());
}

} // namespace

QString creationTable()
{
    return QStringLiteral(
        "create table if not exists montants_facture (reference text primary key, type text, "
        "date_facture text, certification text, caisse text, appareil text, nim text, compteurs text, "
        "code text, pays text, signe integer, groupes text, code_retenue text, taux_retenue double "
        "precision, retenue double precision, total double precision, net double precision)");
}

QString creationIndex()
{
    return QStringLiteral("create index if not exists montants_facture_certification on montants_facture "
                          "(certification)");
}

QString reprise()
{
    // mecef_date as the device ("yyyyMMddHHmmss") or the service ("dd/MM/yyyy HH:mm:ss") wrote it.
    return QStringLiteral(
        "insert into montants_facture (reference, certification, nim, compteurs, code, signe) select "
        "reference, case when mecef_date like '__/__/____ __:__:__' then substr(mecef_date, 7, 4) || '-' || "
        "substr(mecef_date, 4, 2) || '-' || substr(mecef_date, 1, 2) || ' ' || substr(mecef_date, 12, 8) "
        "when length(mecef_date) = 14 then substr(mecef_date, 1, 4) || '-' || substr(mecef_date, 5, 2) || "
        "'-' || substr(mecef_date, 7, 2) || ' ' || substr(mecef_date, 9, 2) || ':' || substr(mecef_date, "
        "11, 2) || ':' || substr(mecef_date, 13, 2) else '' end, mecef_nim, mecef_compt, mecef_sig, 1 from "
        "facture where reference is not null on conflict (reference) do nothing");
}

QString insertion(const QString &depuis)
{
    QStringList miseAJour;
    for (const QString &c : colonnes.mid(1))
        miseAJour << c + QStringLiteral(" = excluded.") + c;
    const QString marques = QStringList(colonnes.size(), QStringLiteral("?")).join(QStringLiteral(", "));
    const QString source = depuis.isEmpty() ? QStringLiteral("values (%1)").arg(marques)
                                            : QStringLiteral("select %1 from %2").arg(marques, depuis);
    return QStringLiteral("insert into montants_facture (%1) %2 on conflict (reference) do update set %3")
        .arg(colonnes.join(QStringLiteral(", ")), source, miseAJour.join(QStringLiteral(", ")));
}

QVariantList valeurs(const MontantsFacture &m)
{
    QVariantList v;
    for (const QString &texte : {m.reference, m.type, m.dateFacture, m.certification, m.caisse, m.appareil,
                                 m.nim, m.compteurs, m.codeFiscal, m.pays})
        v << texteNonNul(texte);
    v << m.signe;
    v << (m.avecMontants ? QVariant(texteGroupes(m.groupes)) : QVariant(QMetaType::fromType<QString>()));
    v << texteNonNul(m.codeRetenue);
    v << nombre(m.avecMontants, m.tauxRetenue) << nombre(m.avecMontants, m.retenue)
      << nombre(m.avecMontants, m.total) << nombre(m.avecMontants, m.netAPayer);
    return v;
}

QString selection(const PeriodeCertification &periode)
{
    QString sql = QStringLiteral("select ") + colonnes.join(QStringLiteral(", ")) +
                  QStringLiteral(" from montants_facture where certification >= ? and certification < ?");
    if (!periode.recherche.isEmpty())
        sql += QStringLiteral(" and lower(reference) like ? escape '!'");
    return sql + QStringLiteral(" order by certification, reference");
}

QVariantList valeursSelection(const PeriodeCertification &periode)
{
    QVariantList v{periode.debut(), periode.fin()};
    if (!periode.recherche.isEmpty()) {
        QString motif = periode.recherche.toLower();
        motif.replace(QLatin1Char('!'), QStringLiteral("!!"))
            .replace(QLatin1Char('%'), QStringLiteral("!%"))
            .replace(QLatin1Char('_'), QStringLiteral("!_"));
        v << QStringLiteral("%") + motif + QStringLiteral("%");
    }
    return v;
}

MontantsFacture lire(const QVariantList &ligne, int d)
{
    MontantsFacture m;
    QString *textes[] = {&m.reference, &m.type, &m.dateFacture, &m.certification, &m.caisse,
                         &m.appareil,  &m.nim,  &m.compteurs,   &m.codeFiscal,    &m.pays};
    int i = d;
    for (QString *t : textes)
        *t = ligne.value(i++).toString();
    m.signe = ligne.value(i++).toInt() < 0 ? -1 : 1;
    m.avecMontants = !ligne.value(i).isNull();
    m.groupes = lireGroupes(ligne.value(i++).toString());
    m.codeRetenue = ligne.value(i++).toString();
    m.tauxRetenue = ligne.value(i++).toDouble();
    m.retenue = ligne.value(i++).toDouble();
    m.total = ligne.value(i++).toDouble();
    m.netAPayer = ligne.value(i++).toDouble();
    return m;
}

QString presence()
{
    return QStringLiteral("select count(*) from montants_facture where 1 = 0");
}

} // namespace sqlmontants
