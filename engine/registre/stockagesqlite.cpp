#include "stockagesqlite.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

struct ColonneAjoutee
{
    QString nom;
    QString declaration;
    QString LigneJournal::*champ;
};

namespace {

// The version of the tables this program writes, kept in SQLite's user_version: 0 for a file made
// before the journal knew when an invoice was opened and paid on the device, 2 before it kept what an
// e-MCF submission carried.
constexpr int versionSchema = 3;

// Journal columns added since the first version: how each is declared and the field it holds. A
// register that could not be migrated (locked, read-only) is read and written without the ones it
// lacks.
const QList<ColonneAjoutee> colonnesAjoutees = {
    {QStringLiteral("ouverture"), QStringLiteral("text"), &LigneJournal::ouverture},
    {QStringLiteral("paiement"), QStringLiteral("text"), &LigneJournal::paiement},
    {QStringLiteral("soumission"), QStringLiteral("text"), &LigneJournal::empreinteSoumission},
};

// Empty texts are stored as empty texts: a null QString would be bound as SQL NULL, which no
// equality ever finds again.
QString texte(const QString &valeur)
{
    return valeur.isNull() ? QString(QLatin1String("")) : valeur;
}

// Rows are found by reference whether an empty reference was stored as '' or as NULL.
const QString parReference = QStringLiteral(" where (reference = ? or (reference is null and ? = ''))");

void lierReference(QSqlQuery &q, const QString &reference)
{
    q.addBindValue(texte(reference));
    q.addBindValue(texte(reference));
}

const QString colonnesJournal =
    QStringLiteral("reference, etat, chemin, destination, empreinte, uid, pid, identite, cree, modifie");

} // namespace

StockageSqlite::StockageSqlite(const QString &nomConnexion) : m_nomConnexion(nomConnexion) {}

StockageSqlite::~StockageSqlite()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nomConnexion);
}

std::unique_ptr<StockageSqlite> StockageSqlite::ouvrir(const QString &nomConnexion, const QString &chemin,
                                                       Ouverture mode, QString &erreur)
{
    if (mode == Ouverture::Existant && !QFileInfo(chemin).isFile()) {
        erreur = (QFileInfo::exists(chemin) ? QStringLiteral("%1 n'est pas un fichier")
                                            : QStringLiteral("fichier %1 introuvable"))
                     .arg(chemin);
        return nullptr;
    }
    std::unique_ptr<StockageSqlite> stockage(new StockageSqlite(nomConnexion));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nomConnexion);
    // Several runs may reach the register at once: a run waits a few seconds for another's
    // transaction instead of failing at once. The operator's tools never create the file: SQLite
    // opens it by URI in mode "rw", which fails when it is missing.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
    if (mode == Ouverture::Existant) {
        options += QStringLiteral(";QSQLITE_OPEN_URI");
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(chemin).absoluteFilePath()).toString(QUrl::FullyEncoded) +
            QStringLiteral("?mode=rw"));
    } else {
        db.setDatabaseName(chemin);
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        erreur = db.lastError().text();
        return nullptr;
    }
    if (mode == Ouverture::CreerOuMettreAJour)
        stockage->preparerTables();
    stockage->lireColonnes();
    return stockage;
}

bool StockageSqlite::executer(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (q.exec(sql))
        return true;
    m_erreur = q.lastError().text();
    return false;
}

void StockageSqlite::preparerTables()
{
    // Write-ahead logging: one sync per committed transaction instead of several (the journal writes
    // a few per invoice while the customer waits), readers never block the run that writes, and a
    // commit stays durable (synchronous stays FULL). A register that cannot switch keeps its mode.
    executer(QStringLiteral("pragma journal_mode=wal"));
    QSqlQuery version(QSqlDatabase::database(m_nomConnexion, false));
    if (version.exec(QStringLiteral("pragma user_version")) && version.next() &&
        version.value(0).toInt() >= versionSchema)
        return;
    version.finish();
    // A register installed earlier may already hold duplicate references: the index is deliberately
    // not unique. The first failure ends the statements: on a locked register each one would wait
    // its full busy timeout; a file that is not a usable register makes them fail, which the claim
    // reports. One transaction: one commit (and its disk syncs) instead of one per statement.
    if (!executer(QStringLiteral("begin immediate")))
        return;
    bool fait =
        executer(
            QStringLiteral("create table if not exists facture (reference text, qrcode text, mecef_tc text, "
                           "mecef_sig text, mecef_nim text, mecef_compt text, mecef_date text)")) &&
        executer(QStringLiteral("create index if not exists facture_reference on facture (reference)")) &&
        executer(QStringLiteral("create table if not exists certification (reference text primary key, etat "
                                "text not null, chemin text, destination text, empreinte text, uid text, pid "
                                "integer, identite text, cree text, modifie text)"));
    if (fait) {
        lireColonnes();
        for (const ColonneAjoutee &colonne : colonnesAjoutees) {
            if (!m_colonnes.contains(colonne.nom))
                fait = fait && executer(QStringLiteral("alter table certification add column %1 %2")
                                            .arg(colonne.nom, colonne.declaration));
        }
    }
    fait = fait && executer(QStringLiteral("pragma user_version = %1").arg(versionSchema));
    if (!(fait && executer(QStringLiteral("commit"))))
        executer(QStringLiteral("rollback"));
}

void StockageSqlite::lireColonnes()
{
    m_colonnes.clear();
    m_journalLu = false;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!q.exec(QStringLiteral("pragma table_info(certification)")))
        return;
    m_journalLu = true;
    while (q.next())
        m_colonnes.insert(q.value(1).toString());
}

bool StockageSqlite::enTransaction(const std::function<bool()> &travail)
{
    const QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
    // Taken at once for writing ("immediate"), so that two runs never both read a reference as free.
    if (!executer(QStringLiteral("begin immediate")))
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

bool StockageSqlite::lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat)
{
    resultat.reset();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral(
                  "select qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date from facture") +
              parReference);
    lierReference(q, reference);
    if (!q.exec()) {
        m_erreur = q.lastError().text();
        return false;
    }
    if (q.next())
        resultat = ResultatFiscal{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                  q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
    return true;
}

bool StockageSqlite::lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale)
{
    originale.reset();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("select mecef_nim, mecef_tc, mecef_sig from facture") + parReference);
    lierReference(q, reference);
    if (!q.exec()) {
        m_erreur = q.lastError().text();
        return false;
    }
    if (q.next())
        originale = FactureOriginale{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    return true;
}

bool StockageSqlite::ajouterFacture(const QString &reference, const ResultatFiscal &r)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                             "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"));
    for (const QString &valeur :
         {reference, r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date})
        q.addBindValue(texte(valeur));
    if (q.exec())
        return true;
    m_erreur = q.lastError().text();
    return false;
}

bool StockageSqlite::factureInserable(const QString &reference)
{
    if (!executer(QStringLiteral("savepoint essai")))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral(
        "insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
        "mecef_compt, mecef_date) values (?, 'F', '1', 'S', 'N', '1/1 FV', '20000101000000')"));
    q.addBindValue(texte(reference));
    const bool inserable = q.exec();
    const QString raison = q.lastError().text();
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

QList<const ColonneAjoutee *> StockageSqlite::ajoutees() const
{
    QList<const ColonneAjoutee *> presentes;
    for (const ColonneAjoutee &c : colonnesAjoutees) {
        if (m_colonnes.contains(c.nom))
            presentes << &c;
    }
    return presentes;
}

QString StockageSqlite::selectionJournal(const QList<const ColonneAjoutee *> &ajoutees)
{
    QString sql = QStringLiteral("select ") + colonnesJournal;
    for (const ColonneAjoutee *c : ajoutees)
        sql += QStringLiteral(", ") + c->nom;
    return sql + QStringLiteral(" from certification");
}

bool StockageSqlite::lireLigne(const QString &reference, std::optional<LigneJournal> &ligne)
{
    ligne.reset();
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(selectionJournal(colonnes) + QStringLiteral(" where reference = ?"));
    q.addBindValue(texte(reference));
    if (!q.exec()) {
        m_erreur = q.lastError().text();
        return false;
    }
    if (q.next())
        ligne = lireLigneJournal(q, colonnes);
    return true;
}

bool StockageSqlite::lireLignes(const QString &chemin, const QString &destination,
                                QList<LigneJournal> &lignes)
{
    lignes.clear();
    // A register written before the journal existed (or an empty file) has no journal: no rows.
    if (m_journalLu && m_colonnes.isEmpty())
        return true;
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    QString sql = selectionJournal(colonnes);
    const bool filtre = !chemin.isEmpty() || !destination.isEmpty();
    if (filtre)
        sql += QStringLiteral(" where chemin = ? and destination = ?");
    q.prepare(sql + QStringLiteral(" order by cree, reference"));
    if (filtre) {
        q.addBindValue(texte(chemin));
        q.addBindValue(texte(destination));
    }
    if (!q.exec()) {
        m_erreur = q.lastError().text();
        return false;
    }
    while (q.next())
        lignes << lireLigneJournal(q, colonnes);
    return true;
}

bool StockageSqlite::ecrireLigne(const LigneJournal &l)
{
    const QList<const ColonneAjoutee *> colonnes = ajoutees();
    QString noms = colonnesJournal;
    for (const ColonneAjoutee *c : colonnes)
        noms += QStringLiteral(", ") + c->nom;
    QStringList marques(10 + colonnes.size(), QStringLiteral("?"));
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("insert or replace into certification (%1) values (%2)")
                  .arg(noms, marques.join(QStringLiteral(", "))));
    for (const QString &v : {l.reference, nomEtat(l.etat), l.chemin, l.destination, l.empreinte, l.uid})
        q.addBindValue(texte(v));
    q.addBindValue(l.titulaire.pid);
    q.addBindValue(texte(l.titulaire.identite));
    q.addBindValue(texte(l.cree));
    q.addBindValue(texte(l.modifie));
    for (const ColonneAjoutee *c : colonnes)
        q.addBindValue(texte(l.*(c->champ)));
    if (q.exec())
        return true;
    m_erreur = q.lastError().text();
    return false;
}
