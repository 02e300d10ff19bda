#include "stockagesql.h"

#include "sqlmontants.h"

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

bool StockageSql::executer(const QString &sql, const QVariantList &valeurs, ReponseSql *reponse)
{
    QList<ReponseSql> reponses;
    if (!executerSuite({{sql, valeurs}}, &reponses))
        return false;
    if (reponse)
        *reponse = reponses.value(0);
    return true;
}

bool StockageSql::enTransaction(const std::function<bool()> &travail)
{
    // Taken at once for writing, so that two runs never both read a reference as free.
    if (!commencerEcriture())
        return false;
    if (!travail() || !executer(QStringLiteral("commit"))) {
        const QString raison = m_erreur;
        annulerTransaction();
        m_erreur = raison;
        return false;
    }
    return true;
}

bool StockageSql::annulerTransaction()
{
    return executer(QStringLiteral("rollback"));
}

namespace {

const QString colonnesResultat =
    QStringLiteral("qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date");

// The fiscal result in the six columns of `ligne` from `d` on.
ResultatFiscal resultatDepuis(const QVariantList &ligne, int d = 0)
{
    return ResultatFiscal{ligne.value(d).toString(),     ligne.value(d + 1).toString(),
                          ligne.value(d + 2).toString(), ligne.value(d + 3).toString(),
                          ligne.value(d + 4).toString(), ligne.value(d + 5).toString()};
}

} // namespace

bool StockageSql::lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat)
{
    resultat.reset();
    ReponseSql r;
    if (!executer(QStringLiteral("select ") + colonnesResultat + QStringLiteral(" from facture") +
                      parReference,
                  parLaReference(reference), &r))
        return false;
    if (!r.lignes.isEmpty())
        resultat = resultatDepuis(r.lignes.first());
    return true;
}

bool StockageSql::lireFactures(QList<QPair<QString, ResultatFiscal>> &factures)
{
    factures.clear();
    ReponseSql r;
    if (!executer(QStringLiteral("select reference, ") + colonnesResultat + QStringLiteral(" from facture"),
                  {}, &r))
        return false;
    for (const QVariantList &ligne : std::as_const(r.lignes))
        factures.append({ligne.value(0).toString(), resultatDepuis(ligne, 1)});
    return true;
}

bool StockageSql::lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale)
{
    originale.reset();
    ReponseSql r;
    if (!executer(QStringLiteral("select mecef_nim, mecef_tc, mecef_sig from facture") + parReference,
                  parLaReference(reference), &r))
        return false;
    if (!r.lignes.isEmpty()) {
        const QVariantList &l = r.lignes.first();
        originale = FactureOriginale{l.value(0).toString(), l.value(1).toString(), l.value(2).toString()};
    }
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
    return executer(QStringLiteral("insert into facture (reference, ") + colonnesResultat +
                        QStringLiteral(") values (?, ?, ?, ?, ?, ?, ?)"),
                    valeursFacture(reference, r));
}

InstructionSql StockageSql::instructionEssaiFacture(const QString &reference)
{
    return {QStringLiteral("insert into facture (reference, ") + colonnesResultat +
                QStringLiteral(") values (?, 'F', '1', 'S', 'N', '1/1 FV', '20000101000000')"),
            {texte(reference)}};
}

bool StockageSql::factureInserable(const QString &reference)
{
    // The trial and its undoing in one exchange; when the trial fails, the undoing (not applied) is
    // sent again on its own, which also brings the transaction back from the failure.
    const QList<InstructionSql> annulation = {{QStringLiteral("rollback to essai"), {}},
                                              {QStringLiteral("release essai"), {}}};
    QList<ReponseSql> reponses;
    if (executerSuite(QList<InstructionSql>{{QStringLiteral("savepoint essai"), {}},
                                            instructionEssaiFacture(reference)} +
                          annulation,
                      &reponses))
        return true;
    const QString raison = m_erreur;
    // The savepoint itself failed: there is nothing to undo.
    if (!reponses.isEmpty())
        executerSuite(annulation, nullptr);
    // Inserted but not undone: the transaction must not go on (the caller rolls it back).
    m_erreur =
        reponses.size() >= 2 ? QStringLiteral("essai d'insertion non annule (%1)").arg(raison) : raison;
    return false;
}

LigneJournal StockageSql::ligneDepuis(const QVariantList &q, int d) const
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
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    for (int i = 0; i < colonnes.size(); ++i)
        l.*(colonnes.at(i)->champ) = q.value(d + 10 + i).toString();
    return l;
}

namespace {

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
    ReponseSql r;
    if (!executer(selectionJournal(ajoutees()) + QStringLiteral(" where reference = ?"), {texte(reference)},
                  &r))
        return false;
    if (!r.lignes.isEmpty())
        ligne = ligneDepuis(r.lignes.first());
    return true;
}

bool StockageSql::lireLignes(const QString &chemin, const QString &destination, QList<LigneJournal> &lignes)
{
    lignes.clear();
    // A register written before the journal existed (or an empty file) has no journal: no rows.
    if (m_journalLu && m_colonnes.isEmpty())
        return true;
    QString sql = selectionJournal(ajoutees());
    // Finished rows, the bulk of the journal, are never wanted; a state unknown to this version is.
    sql += QStringLiteral(" where etat not in (?, ?)");
    QVariantList valeurs = {nomEtat(EtatCertification::Terminee), nomEtat(EtatCertification::Abandonnee)};
    if (!chemin.isEmpty() || !destination.isEmpty()) {
        sql += QStringLiteral(" and chemin = ? and destination = ?");
        valeurs << texte(chemin) << texte(destination);
    }
    ReponseSql r;
    if (!executer(sql + QStringLiteral(" order by cree, reference"), valeurs, &r))
        return false;
    for (const QVariantList &ligne : std::as_const(r.lignes))
        lignes << ligneDepuis(ligne);
    return true;
}

InstructionSql StockageSql::instructionLigne(const LigneJournal &l) const
{
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    const QStringList noms = nomsJournal(colonnes);
    QStringList marques(noms.size(), QStringLiteral("?"));
    return {instructionEcriture(noms.join(QStringLiteral(", ")), marques.join(QStringLiteral(", "))),
            valeursLigne(l, colonnes)};
}

bool StockageSql::ecrireLigne(const LigneJournal &l)
{
    const InstructionSql ecriture = instructionLigne(l);
    return executer(ecriture.sql, ecriture.valeurs);
}

InstructionSql StockageSql::instructionFactureEtLigne(const QString &reference) const
{
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    // One statement, so one view of both tables; each side is null when it has no row.
    const QString sql =
        QStringLiteral("select f.presente, f.qrcode, f.mecef_tc, f.mecef_sig, f.mecef_nim, f.mecef_compt, "
                       "f.mecef_date, c.presente, ") +
        nomsJournal(colonnes, QStringLiteral("c.")).join(QStringLiteral(", ")) +
        QStringLiteral(" from (select 1 as un) u left join (select 1 as presente, ") + colonnesResultat +
        QStringLiteral(" from facture") + parReference +
        QStringLiteral(" limit 1) f on 1 = 1 left join (select 1 as presente, ") +
        nomsJournal(colonnes).join(QStringLiteral(", ")) +
        QStringLiteral(" from certification where reference = ?) c on 1 = 1");
    return {sql, parLaReference(reference) << texte(reference)};
}

bool StockageSql::lireFactureEtLigneDe(const ReponseSql &r, std::optional<ResultatFiscal> &resultat,
                                       std::optional<LigneJournal> &ligne)
{
    resultat.reset();
    ligne.reset();
    if (r.lignes.isEmpty()) {
        m_erreur = QStringLiteral("lecture sans reponse");
        return false;
    }
    const QVariantList &l = r.lignes.first();
    if (!l.value(0).isNull())
        resultat = resultatDepuis(l, 1);
    if (!l.value(7).isNull())
        ligne = ligneDepuis(l, 8);
    return true;
}

bool StockageSql::lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                                     std::optional<LigneJournal> &ligne)
{
    resultat.reset();
    ligne.reset();
    const InstructionSql lecture = instructionFactureEtLigne(reference);
    ReponseSql r;
    return executer(lecture.sql, lecture.valeurs, &r) && lireFactureEtLigneDe(r, resultat, ligne);
}

InstructionSql StockageSql::instructionRemplacement(const LigneJournal &avant,
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
    const InstructionSql remplacement = instructionRemplacement(avant, ligne);
    ReponseSql r;
    if (!executer(remplacement.sql, remplacement.valeurs, &r))
        return false;
    ecrite = r.modifiees == 1;
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
    // would end the transaction it is in. A table that cannot be read counts as absent; its failure
    // is no failure of the caller.
    if (!m_montants) {
        const QString erreur = m_erreur;
        m_montants = executer(sqlmontants::presence());
        m_erreur = erreur;
    }
    return *m_montants;
}

bool StockageSql::ajouterMontants(const MontantsFacture &montants)
{
    if (!montantsPresents())
        return true;
    return executer(sqlmontants::insertion(), sqlmontants::valeurs(montants));
}

bool StockageSql::lireMontants(const PeriodeCertification &periode, QList<MontantsFacture> &montants)
{
    montants.clear();
    if (montantsPresents()) {
        ReponseSql r;
        if (!executer(sqlmontants::selection(periode), sqlmontants::valeursSelection(periode), &r))
            return false;
        for (const QVariantList &ligne : std::as_const(r.lignes))
            montants << sqlmontants::lire(ligne);
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
