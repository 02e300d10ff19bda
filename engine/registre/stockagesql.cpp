#include "stockagesql.h"

#include "sqlmontants.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <tuple>

namespace {

QString texte(const QString &valeur)
{
    return texteNonNul(valeur);
}

// Rows are found by reference whether an empty reference was stored as '' or as NULL.
const QString parReference = QStringLiteral(" where (reference = ? or (reference is null and ? = ''))");

QVariantList parLaReference(const QString &reference)
{
    return {texte(reference), texte(reference)};
}

} // namespace

StockageSql::StockageSql(const QString &nomConnexion) : m_nomConnexion(nomConnexion) {}

StockageSql::~StockageSql()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nomConnexion);
}

void StockageSql::retenirErreur(const QSqlQuery &q)
{
    m_erreur = q.lastError().text();
    m_codeErreur = q.lastError().nativeErrorCode();
}

bool StockageSql::executer(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (q.exec(sql)) {
        ++m_reussies;
        return true;
    }
    retenirErreur(q);
    return false;
}

QString StockageSql::texteAvecValeurs(const QString &sql, const QVariantList &valeurs) const
{
    const QSqlDriver *pilote = QSqlDatabase::database(m_nomConnexion, false).driver();
    QString texteSql;
    qsizetype suivante = 0;
    for (const QChar c : sql) {
        if (c != QLatin1Char('?') || suivante >= valeurs.size()) {
            texteSql += c;
            continue;
        }
        const QVariant &v = valeurs.at(suivante++);
        QSqlField champ(QString(), v.metaType());
        champ.setValue(v);
        texteSql += pilote->formatValue(champ);
    }
    return texteSql;
}

bool StockageSql::executer(QSqlQuery &q, const QString &sql, const QVariantList &valeurs)
{
    bool fait = false;
    if (!valeursDansLeTexte()) {
        q.prepare(sql);
        for (const QVariant &v : valeurs)
            q.addBindValue(v);
        fait = q.exec();
    } else {
        fait = q.exec(texteAvecValeurs(sql, valeurs));
    }
    if (fait)
        ++m_reussies;
    else
        retenirErreur(q);
    return fait;
}

bool StockageSql::enTransaction(const std::function<bool()> &travail)
{
    m_codeErreur.clear();
    // Taken at once for writing, so that two runs never both read a reference as free.
    if (!commencerEcriture())
        return false;
    if (!travail() || !executer(QStringLiteral("commit"))) {
        const QString raison = m_erreur;
        const QString code = m_codeErreur;
        executer(QStringLiteral("rollback"));
        m_erreur = raison;
        m_codeErreur = code;
        return false;
    }
    return true;
}

bool StockageSql::lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat)
{
    resultat.reset();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(
            q,
            QStringLiteral("select qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date from "
                           "facture") +
                parReference,
            parLaReference(reference)))
        return false;
    if (q.next())
        resultat = ResultatFiscal{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                  q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
    return true;
}

bool StockageSql::lireFactures(QList<QPair<QString, ResultatFiscal>> &factures)
{
    factures.clear();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "select reference, qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date "
            "from facture"))) {
        m_erreur = q.lastError().text();
        return false;
    }
    while (q.next())
        factures.append(
            {q.value(0).toString(),
             ResultatFiscal{q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                            q.value(4).toString(), q.value(5).toString(), q.value(6).toString()}});
    return true;
}

bool StockageSql::lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale)
{
    originale.reset();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(q, QStringLiteral("select mecef_nim, mecef_tc, mecef_sig from facture") + parReference,
                  parLaReference(reference)))
        return false;
    if (q.next())
        originale = FactureOriginale{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    return true;
}

QVariantList StockageSql::valeursFacture(const QString &reference, const ResultatFiscal &r)
{
    QVariantList valeurs;
    for (const QString &valeur :
         {reference, r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date})
        valeurs << texte(valeur);
    return valeurs;
}

bool StockageSql::ajouterFacture(const QString &reference, const ResultatFiscal &r)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    return executer(q,
                    QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                                   "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"),
                    valeursFacture(reference, r));
}

QString StockageSql::instructionEssaiFacture()
{
    return QStringLiteral(
        "insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
        "mecef_compt, mecef_date) values (?, 'F', '1', 'S', 'N', '1/1 FV', '20000101000000')");
}

bool StockageSql::factureInserable(const QString &reference)
{
    const QString essai = instructionEssaiFacture();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(QStringLiteral("savepoint essai")))
        return false;
    if (valeursDansLeTexte()) {
        // The trial and its undoing in one text. The driver reports only how the first statement of
        // a text ended, so the trial comes first; an undoing that failed leaves the transaction
        // aborted, and the statements after it fail.
        if (executer(q, essai + QStringLiteral("; rollback to essai; release essai"), {texte(reference)}))
            return true;
        const QString raison = m_erreur;
        q.finish();
        if (executer(QStringLiteral("rollback to essai")) && executer(QStringLiteral("release essai")))
            m_erreur = raison;
        return false;
    }
    const bool inserable = executer(q, essai, {texte(reference)});
    const QString raison = m_erreur;
    q.finish();
    if (!executer(QStringLiteral("rollback to essai")) || !executer(QStringLiteral("release essai"))) {
        if (inserable)
            m_erreur = QStringLiteral("essai d'insertion non annule");
        return false;
    }
    if (!inserable)
        m_erreur = raison;
    return inserable;
}

namespace {

// The journal row in the columns of `q` from `d` on.
LigneJournal lireLigneJournal(const QSqlQuery &q, const QList<const ColonneAjoutee *> &ajoutees, int d = 0)
{
    LigneJournal l;
    l.reference = q.value(d).toString();
    // A state written by a later version is never read as free: it waits for the operator.
    l.etat = etatDepuisNom(q.value(d + 1).toString()).value_or(EtatCertification::IssueInconnue);
    l.chemin = q.value(d + 2).toString();
    l.destination = q.value(d + 3).toString();
    l.empreinte = q.value(d + 4).toString();
    l.uid = q.value(d + 5).toString();
    l.titulaire = {q.value(d + 6).toLongLong(), q.value(d + 7).toString()};
    l.cree = q.value(d + 8).toString();
    l.modifie = q.value(d + 9).toString();
    for (int i = 0; i < ajoutees.size(); ++i)
        l.*(ajoutees.at(i)->champ) = q.value(d + 10 + i).toString();
    return l;
}

// The values of a journal row's text columns, in the order of nomsJournal, and its process id
// second to last of the first ten.
QVariantList valeursLigne(const LigneJournal &l, const QList<const ColonneAjoutee *> &ajoutees)
{
    QVariantList valeurs;
    for (const QString &v : {l.reference, nomEtat(l.etat), l.chemin, l.destination, l.empreinte, l.uid})
        valeurs << texte(v);
    valeurs << l.titulaire.pid << texte(l.titulaire.identite) << texte(l.cree) << texte(l.modifie);
    for (const ColonneAjoutee *c : ajoutees)
        valeurs << texte(l.*(c->champ));
    return valeurs;
}

} // namespace

QList<const ColonneAjoutee *> StockageSql::ajoutees() const
{
    QList<const ColonneAjoutee *> presentes;
    for (const ColonneAjoutee &c : colonnesAjoutees) {
        if (m_colonnes.contains(c.nom))
            presentes << &c;
    }
    return presentes;
}

QStringList StockageSql::nomsJournal(const QList<const ColonneAjoutee *> &ajoutees, const QString &prefixe)
{
    QStringList noms;
    for (const QString &nom : colonnesJournal.split(QStringLiteral(", ")))
        noms << prefixe + nom;
    for (const ColonneAjoutee *c : ajoutees)
        noms << prefixe + c->nom;
    return noms;
}

QString StockageSql::selectionJournal(const QList<const ColonneAjoutee *> &ajoutees)
{
    return QStringLiteral("select ") + nomsJournal(ajoutees).join(QStringLiteral(", ")) +
           QStringLiteral(" from certification");
}

bool StockageSql::lireLigne(const QString &reference, std::optional<LigneJournal> &ligne)
{
    ligne.reset();
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(q, selectionJournal(colonnes) + QStringLiteral(" where reference = ?"), {texte(reference)}))
        return false;
    if (q.next())
        ligne = lireLigneJournal(q, colonnes);
    return true;
}

bool StockageSql::lireLignes(const QString &chemin, const QString &destination, QList<LigneJournal> &lignes)
{
    lignes.clear();
    // A register written before the journal existed (or an empty file) has no journal: no rows.
    if (m_journalLu && m_colonnes.isEmpty())
        return true;
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    QString sql = selectionJournal(colonnes);
    // Finished rows, the bulk of the journal, are never wanted; a state unknown to this version is.
    sql += QStringLiteral(" where etat not in ('%1', '%2')")
               .arg(nomEtat(EtatCertification::Terminee), nomEtat(EtatCertification::Abandonnee));
    const bool filtre = !chemin.isEmpty() || !destination.isEmpty();
    if (filtre)
        sql += QStringLiteral(" and chemin = ? and destination = ?");
    if (!executer(q, sql + QStringLiteral(" order by cree, reference"),
                  filtre ? QVariantList{texte(chemin), texte(destination)} : QVariantList()))
        return false;
    while (q.next())
        lignes << lireLigneJournal(q, colonnes);
    return true;
}

bool StockageSql::ecrireLigne(const LigneJournal &l)
{
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    const QStringList noms = nomsJournal(colonnes);
    QStringList marques(noms.size(), QStringLiteral("?"));
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    return executer(q,
                    instructionEcriture(noms.join(QStringLiteral(", ")), marques.join(QStringLiteral(", "))),
                    valeursLigne(l, colonnes));
}

bool StockageSql::lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                                     std::optional<LigneJournal> &ligne)
{
    resultat.reset();
    ligne.reset();
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    // One statement, so one view of both tables; each side is null when it has no row.
    const QString sql =
        QStringLiteral("select f.presente, f.qrcode, f.mecef_tc, f.mecef_sig, f.mecef_nim, f.mecef_compt, "
                       "f.mecef_date, c.presente, ") +
        nomsJournal(colonnes, QStringLiteral("c.")).join(QStringLiteral(", ")) +
        QStringLiteral(
            " from (select 1 as un) u left join (select 1 as presente, qrcode, mecef_tc, mecef_sig, "
            "mecef_nim, mecef_compt, mecef_date from facture") +
        parReference + QStringLiteral(" limit 1) f on 1 = 1 left join (select 1 as presente, ") +
        nomsJournal(colonnes).join(QStringLiteral(", ")) +
        QStringLiteral(" from certification where reference = ?) c on 1 = 1");
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(q, sql, parLaReference(reference) << texte(reference)))
        return false;
    if (!q.next()) {
        m_erreur = QStringLiteral("lecture sans reponse");
        return false;
    }
    if (!q.value(0).isNull())
        resultat = ResultatFiscal{q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                                  q.value(4).toString(), q.value(5).toString(), q.value(6).toString()};
    if (!q.value(7).isNull())
        ligne = lireLigneJournal(q, colonnes, 8);
    return true;
}

QPair<QString, QVariantList> StockageSql::instructionRemplacement(const LigneJournal &avant,
                                                                  const LigneJournal &ligne) const
{
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    const QStringList noms = nomsJournal(colonnes);
    const QVariantList nouvelles = valeursLigne(ligne, colonnes);
    const QVariantList anciennes = valeursLigne(avant, colonnes);
    // Column 6 is the process id, the one number; the others are texts, empty ones possibly stored
    // as null by another writer.
    constexpr int colonnePid = 6;
    QStringList affectations;
    QStringList conditions;
    QVariantList valeurs;
    for (int i = 1; i < noms.size(); ++i) {
        affectations << noms.at(i) + QStringLiteral(" = ?");
        valeurs << nouvelles.at(i);
    }
    conditions << QStringLiteral("reference = ?");
    QVariantList valeursConditions = {anciennes.at(0)};
    for (int i = 1; i < noms.size(); ++i) {
        conditions << (i == colonnePid ? QStringLiteral("coalesce(%1, 0) = ?")
                                       : QStringLiteral("coalesce(%1, '') = ?"))
                          .arg(noms.at(i));
        valeursConditions << anciennes.at(i);
    }
    return {QStringLiteral("update certification set ") + affectations.join(QStringLiteral(", ")) +
                QStringLiteral(" where ") + conditions.join(QStringLiteral(" and ")),
            valeurs + valeursConditions};
}

bool StockageSql::remplacerLigne(const LigneJournal &avant, const LigneJournal &ligne, bool &ecrite)
{
    ecrite = false;
    if (avant.reference != ligne.reference) {
        m_erreur = QStringLiteral("remplacement d'une ligne par celle d'une autre facture");
        return false;
    }
    const auto [sql, valeurs] = instructionRemplacement(avant, ligne);
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(q, sql, valeurs))
        return false;
    ecrite = q.numRowsAffected() == 1;
    return true;
}

bool StockageSql::enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                                     const std::optional<MontantsFacture> &montants, const LigneJournal &avant,
                                     const LigneJournal &ligne, bool &ecrite)
{
    ecrite = false;
    if (reference != ligne.reference) {
        m_erreur = QStringLiteral("remplacement d'une ligne par celle d'une autre facture");
        return false;
    }
    bool autre = false;
    const bool fait = enTransaction([&] {
        if (!ajouterFacture(reference, resultat) || (montants && !ajouterMontants(*montants)) ||
            !remplacerLigne(avant, ligne, ecrite))
            return false;
        // The row is not as expected: the invoice row is not kept either.
        autre = !ecrite;
        return ecrite;
    });
    return fait || autre;
}

bool StockageSql::montantsPresents()
{
    // Asked when the register is opened, outside any transaction: on PostgreSQL a failed statement
    // would end the transaction it is in.
    if (!m_montants) {
        QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
        m_montants = q.exec(sqlmontants::presence());
    }
    return *m_montants;
}

bool StockageSql::ajouterMontants(const MontantsFacture &montants)
{
    if (!montantsPresents())
        return true;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    return executer(q, sqlmontants::insertion(), sqlmontants::valeurs(montants));
}

bool StockageSql::lireMontants(const PeriodeCertification &periode, QList<MontantsFacture> &montants)
{
    montants.clear();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.setForwardOnly(true);
    if (montantsPresents()) {
        if (!executer(q, sqlmontants::selection(periode), sqlmontants::valeursSelection(periode)))
            return false;
        while (q.next())
            montants << sqlmontants::lire(q);
        return true;
    }
    // A register of an earlier version, opened as it is: its invoices have no amounts, and their
    // certification time is read from each row.
    QList<QPair<QString, ResultatFiscal>> factures;
    if (!lireFactures(factures))
        return false;
    QSet<QString> vues;
    for (const auto &[reference, resultat] : factures) {
        const MontantsFacture m = montantsInconnus(reference, resultat);
        if (periode.contient(m) && !vues.contains(reference)) {
            vues.insert(reference);
            montants << m;
        }
    }
    std::sort(montants.begin(), montants.end(), [](const MontantsFacture &a, const MontantsFacture &b) {
        return std::tie(a.certification, a.reference) < std::tie(b.certification, b.reference);
    });
    return true;
}
