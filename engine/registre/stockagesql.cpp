#include "stockagesql.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

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

bool StockageSql::executer(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (q.exec(sql))
        return true;
    m_erreur = q.lastError().text();
    return false;
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
        // Each "?" of the statement's text (never of a value) gives way to the next value, quoted
        // by the driver as a literal of its database.
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
        fait = q.exec(texteSql);
    }
    if (!fait)
        m_erreur = q.lastError().text();
    return fait;
}

bool StockageSql::enTransaction(const std::function<bool()> &travail)
{
    // Taken at once for writing, so that two runs never both read a reference as free.
    if (!commencerEcriture())
        return false;
    if (!travail()) {
        const QString raison = m_erreur;
        executer(QStringLiteral("rollback"));
        m_erreur = raison;
        return false;
    }
    if (!executer(QStringLiteral("commit"))) {
        const QString raison = m_erreur;
        executer(QStringLiteral("rollback"));
        m_erreur = raison;
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

bool StockageSql::ajouterFacture(const QString &reference, const ResultatFiscal &r)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    QVariantList valeurs;
    for (const QString &valeur :
         {reference, r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date})
        valeurs << texte(valeur);
    return executer(q,
                    QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                                   "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"),
                    valeurs);
}

bool StockageSql::factureInserable(const QString &reference)
{
    const QString essai =
        QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                       "mecef_compt, mecef_date) values (?, 'F', '1', 'S', 'N', '1/1 FV', '20000101000000')");
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (valeursDansLeTexte()) {
        // One text, one round trip: the trial and its undoing. A trial that fails stops the text
        // there; it is then undone on its own.
        if (executer(q,
                     QStringLiteral("savepoint essai; ") + essai +
                         QStringLiteral("; rollback to essai; release essai"),
                     {texte(reference)}))
            return true;
        const QString raison = m_erreur;
        q.finish();
        if (executer(QStringLiteral("rollback to essai")) && executer(QStringLiteral("release essai")))
            m_erreur = raison;
        return false;
    }
    if (!executer(QStringLiteral("savepoint essai")))
        return false;
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

LigneJournal lireLigneJournal(const QSqlQuery &q, const QList<const ColonneAjoutee *> &ajoutees)
{
    LigneJournal l;
    l.reference = q.value(0).toString();
    // A state written by a later version is never read as free: it waits for the operator.
    l.etat = etatDepuisNom(q.value(1).toString()).value_or(EtatCertification::IssueInconnue);
    l.chemin = q.value(2).toString();
    l.destination = q.value(3).toString();
    l.empreinte = q.value(4).toString();
    l.uid = q.value(5).toString();
    l.titulaire = {q.value(6).toLongLong(), q.value(7).toString()};
    l.cree = q.value(8).toString();
    l.modifie = q.value(9).toString();
    for (int i = 0; i < ajoutees.size(); ++i)
        l.*(ajoutees.at(i)->champ) = q.value(10 + i).toString();
    return l;
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

QString StockageSql::selectionJournal(const QList<const ColonneAjoutee *> &ajoutees)
{
    QString sql = QStringLiteral("select ") + colonnesJournal;
    for (const ColonneAjoutee *c : ajoutees)
        sql += QStringLiteral(", ") + c->nom;
    return sql + QStringLiteral(" from certification");
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
    QString noms = colonnesJournal;
    for (const ColonneAjoutee *c : colonnes)
        noms += QStringLiteral(", ") + c->nom;
    QStringList marques(10 + colonnes.size(), QStringLiteral("?"));
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    QVariantList valeurs;
    for (const QString &v : {l.reference, nomEtat(l.etat), l.chemin, l.destination, l.empreinte, l.uid})
        valeurs << texte(v);
    valeurs << l.titulaire.pid << texte(l.titulaire.identite) << texte(l.cree) << texte(l.modifie);
    for (const ColonneAjoutee *c : colonnes)
        valeurs << texte(l.*(c->champ));
    return executer(q, instructionEcriture(noms, marques.join(QStringLiteral(", "))), valeurs);
}
