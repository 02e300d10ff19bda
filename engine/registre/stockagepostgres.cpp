#include "stockagepostgres.h"

#include "sqlmontants.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#include <limits>
#include <utility>

namespace {

// The register's advisory locks have two keys: the first names the register (its schema, so that
// two registers in one database never share a lock), the second what is locked.
// Creating or migrating the tables.
constexpr int verrouSchema = 1;
// Every write transaction of the journal.
constexpr int verrouEcriture = 2;
// Runs' own locks use the run's number, from the sequence, which starts above these.
constexpr int premiereExecution = 16;

// Marks the holders recorded by this storage: a row copied from a till's SQLite file names a
// process of that till, which no session here vouches for.
const QString prefixeSession = QStringLiteral("session ");

// FNV-1a of the schema's name, kept positive: the same number on every till.
int cleRegistre(const QString &schema)
{
    quint32 h = 2166136261u;
    for (const char octet : (QStringLiteral("orvane ") + schema).toUtf8()) {
        h ^= quint8(octet);
        h *= 16777619u;
    }
    return int(h & 0x7fffffffu);
}

// A libpq option value, quoted as its connection strings want.
QString valeurOption(const QString &valeur)
{
    QString v = valeur;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

StockagePostgres::StockagePostgres(const QString &nomConnexion) : StockageSql(nomConnexion) {}

std::unique_ptr<StockagePostgres> StockagePostgres::ouvrir(const QString &nomConnexion,
                                                           const EmplacementRegistre &emplacement,
                                                           Ouverture mode, QString &erreur)
{
    const std::optional<ConnexionPostgres> connexion = lireAdresseRegistre(emplacement.adresse, erreur);
    if (!connexion)
        return nullptr;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        erreur = QStringLiteral("pilote PostgreSQL de Qt (QPSQL) introuvable");
        return nullptr;
    }
    std::unique_ptr<StockagePostgres> stockage(new StockagePostgres(nomConnexion));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nomConnexion);
    db.setHostName(connexion->hote);
    if (connexion->port > 0)
        db.setPort(connexion->port);
    db.setDatabaseName(connexion->base);
    db.setUserName(connexion->utilisateur);
    db.setPassword(emplacement.motDePasse.isEmpty() ? connexion->motDePasse : emplacement.motDePasse);
    // Every wait is bounded, so that a dead server never hangs a till: the connection, the data sent
    // and not acknowledged (tcp_user_timeout), and, through keepalives, a connection gone silent.
    const int delaiMs = qMax(1, emplacement.delaiRequete) * 1000;
    QStringList options = {
        QStringLiteral("connect_timeout=%1").arg(qMax(1, emplacement.delaiConnexion)),
        QStringLiteral("keepalives=1"),
        QStringLiteral("keepalives_idle=%1").arg(qMax(1, emplacement.delaiRequete)),
        QStringLiteral("keepalives_interval=1"),
        QStringLiteral("keepalives_count=3"),
        QStringLiteral("tcp_user_timeout=%1").arg(delaiMs),
    };
    // Statements and waits for another till's lock are bounded by the server too, and a session
    // left inside a transaction (a till stopped in the middle) is ended so that it holds no lock:
    // set at connection (libpq's "options"), before any URI's own, without a round trip.
    QString reglages = QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%1 "
                                      "-c idle_in_transaction_session_timeout=%2")
                           .arg(delaiMs)
                           .arg(2 * delaiMs);
    bool nomApplication = false;
    for (const auto &[cle, valeur] : connexion->options) {
        if (cle == QStringLiteral("options"))
            reglages += QLatin1Char(' ') + valeur;
        else
            options << cle + QLatin1Char('=') + valeurOption(valeur);
        nomApplication = nomApplication || cle == QStringLiteral("application_name");
    }
    options << QStringLiteral("options=") + valeurOption(reglages);
    if (!nomApplication)
        options << QStringLiteral("application_name=orvane-engine");
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        erreur = db.lastError().text().simplified();
        return nullptr;
    }
    // A register of this version, the usual case, costs one question; an older or missing one is
    // made ready under the schema's lock.
    int version = 0;
    const bool versionLue = stockage->lireSchemaEtVersion(version);
    if ((!versionLue && !stockage->lireCle()) ||
        (mode == Ouverture::CreerOuMettreAJour && version < versionSchema && !stockage->preparerTables())) {
        erreur = stockage->erreur();
        return nullptr;
    }
    if (versionLue && version >= versionSchema) {
        // Every column of this version is there.
        stockage->m_colonnes = {QStringLiteral("reference")};
        for (const ColonneAjoutee &c : colonnesAjoutees)
            stockage->m_colonnes.insert(c.nom);
        stockage->m_journalLu = true;
        stockage->m_montants = true;
    } else {
        stockage->lireColonnes();
    }
    // The operator's tools never create a register: one without its journal is not there.
    if (mode == Ouverture::Existant && stockage->m_colonnes.isEmpty()) {
        erreur = QStringLiteral("aucun registre dans cette base (table certification absente)");
        return nullptr;
    }
    // The operator's tools claim nothing: they hold no session of their own (and an older register
    // may lack the sequence that numbers them).
    if (mode == Ouverture::CreerOuMettreAJour && !stockage->prendreSession()) {
        erreur = stockage->erreur();
        return nullptr;
    }
    return stockage;
}

bool StockagePostgres::lireSchemaEtVersion(int &version)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!q.exec(QStringLiteral("select current_schema(), coalesce(max(version), 0) from version_registre")) ||
        !q.next())
        return false;
    m_cle = cleRegistre(q.value(0).toString());
    version = q.value(1).toInt();
    return true;
}

bool StockagePostgres::lireCle()
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!q.exec(QStringLiteral("select current_schema()")) || !q.next()) {
        m_erreur = q.lastError().text();
        return false;
    }
    m_cle = cleRegistre(q.value(0).toString());
    return true;
}

bool StockagePostgres::preparerTables()
{
    // Several tills may start on an empty database at once: the first to take the lock creates the
    // tables, the others find them made. The lock ends with the transaction.
    if (!executer(QStringLiteral("begin")))
        return false;
    bool fait = executer(QStringLiteral("select pg_advisory_xact_lock(%1, %2)").arg(m_cle).arg(verrouSchema));
    int version = 0;
    if (fait) {
        QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
        // to_regclass answers null instead of failing when the table does not exist.
        fait = q.exec(QStringLiteral("select to_regclass('version_registre') is not null")) && q.next();
        if (fait && q.value(0).toBool()) {
            q.finish();
            fait =
                q.exec(QStringLiteral("select coalesce(max(version), 0) from version_registre")) && q.next();
            version = fait ? q.value(0).toInt() : 0;
        }
        if (!fait)
            m_erreur = q.lastError().text();
    }
    if (fait && version < versionSchema) {
        fait =
            executer(QStringLiteral("create table if not exists facture (reference text, qrcode text, "
                                    "mecef_tc text, mecef_sig text, mecef_nim text, mecef_compt text, "
                                    "mecef_date text)")) &&
            executer(QStringLiteral("create index if not exists facture_reference on facture (reference)")) &&
            executer(QStringLiteral("create table if not exists certification (reference text primary key, "
                                    "etat text not null, chemin text, destination text, empreinte text, "
                                    "uid text, pid bigint, identite text, cree text, modifie text)")) &&
            executer(QStringLiteral("create sequence if not exists execution_registre as integer "
                                    "minvalue %1 cycle")
                         .arg(premiereExecution)) &&
            executer(
                QStringLiteral("create table if not exists version_registre (version integer not null)"));
        for (const ColonneAjoutee &colonne : colonnesAjoutees)
            fait = fait && executer(QStringLiteral("alter table certification add column if not exists %1 %2")
                                        .arg(colonne.nom, colonne.declaration));
        fait = fait && executer(sqlmontants::creationTable()) && executer(sqlmontants::creationIndex()) &&
               executer(sqlmontants::reprise());
        // The roles that record invoices (the tills') record their amounts too, in the same
        // transaction: without this grant an updated register would refuse every till's invoice.
        fait = fait &&
               executer(QStringLiteral(
                   "do $$ declare r record; begin for r in select distinct grantee from "
                   "information_schema.role_table_grants where table_schema = current_schema() and "
                   "table_name = 'facture' and privilege_type = 'INSERT' and grantee <> current_user loop "
                   "execute format('grant select, insert, update on montants_facture to %I', r.grantee); end "
                   "loop; end $$"));
        fait =
            fait && executer(QStringLiteral("delete from version_registre")) &&
            executer(QStringLiteral("insert into version_registre (version) values (%1)").arg(versionSchema));
    }
    if (fait && executer(QStringLiteral("commit")))
        return true;
    const QString raison = m_erreur;
    executer(QStringLiteral("rollback"));
    m_erreur = raison;
    return false;
}

bool StockagePostgres::prendreSession()
{
    // A number is reused only after the sequence has cycled; the lock tells whether a run holds it.
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!q.exec(QStringLiteral("select s.n, pg_advisory_lock(%1, s.n::integer) from (select "
                               "nextval('execution_registre') as n) s")
                    .arg(m_cle)) ||
        !q.next()) {
        m_erreur = q.lastError().text();
        return false;
    }
    const qint64 numero = q.value(0).toLongLong();
    // The machine's name without spaces: the operator reads which till holds a reference.
    m_titulaire = {numero, prefixeSession + QSysInfo::machineHostName().remove(QLatin1Char(' ')) +
                               QLatin1Char(' ') + QString::number(QCoreApplication::applicationPid())};
    return true;
}

bool StockagePostgres::titulaireVivant(const TitulaireExecution &titulaire)
{
    if (m_titulaire.pid != 0 && titulaire == m_titulaire)
        return true;
    if (!titulaire.identite.startsWith(prefixeSession) || titulaire.pid < premiereExecution ||
        titulaire.pid > std::numeric_limits<qint32>::max())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    const QString sql =
        QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and granted and "
                       "database = (select oid from pg_database where datname = "
                       "current_database()) and classid = %1 and objid = %2 and objsubid = 2")
            .arg(m_cle)
            .arg(titulaire.pid);
    // A register that cannot be asked keeps the row held: nothing is taken over on a guess.
    if (!q.exec(sql) || !q.next()) {
        m_erreur = q.lastError().text();
        return true;
    }
    return q.value(0).toInt() > 0;
}

bool StockagePostgres::commencerEcriture()
{
    // One round trip: the transaction, its lock and, for a claim, the trial of its invoice row. The
    // driver reports only how the first statement of a text ended: a later one that fails leaves the
    // transaction aborted, and the transaction's next statement fails (enTransaction).
    QString sql =
        QStringLiteral("begin; select pg_advisory_xact_lock(%1, %2)").arg(m_cle).arg(verrouEcriture);
    m_essaiFait = std::exchange(m_essaiPrevu, QString());
    if (!m_essaiFait.isEmpty())
        sql += QStringLiteral("; savepoint essai; ") +
               texteAvecValeurs(instructionEssaiFacture(), {texteNonNul(m_essaiFait)}) +
               QStringLiteral("; rollback to essai; release essai");
    if (executer(sql)) {
        m_reussiesAvantEssai = m_reussies;
        return true;
    }
    m_essaiFait.clear();
    const QString raison = m_erreur;
    executer(QStringLiteral("rollback"));
    m_erreur = raison;
    return false;
}

bool StockagePostgres::enTransaction(const std::function<bool()> &travail)
{
    const bool essai = !m_essaiPrevu.isEmpty();
    const bool fait = StockageSql::enTransaction(travail);
    m_essaiFait.clear();
    // A statement of the opening text failed unreported and the transaction's next statement was
    // refused: it is taken again without the trial, which then says on its own why it fails.
    constexpr auto transactionAbandonnee = "25P02";
    if (fait || !essai || m_codeErreur != QLatin1String(transactionAbandonnee))
        return fait;
    return StockageSql::enTransaction(travail);
}

bool StockagePostgres::factureInserable(const QString &reference)
{
    // Tried as the transaction started: a statement of the transaction that succeeded since then
    // shows that it succeeded too.
    if (!m_essaiFait.isEmpty() && m_essaiFait == reference && m_reussies > m_reussiesAvantEssai)
        return true;
    return StockageSql::factureInserable(reference);
}

bool StockagePostgres::enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                                          const std::optional<MontantsFacture> &montants,
                                          const LigneJournal &avant, const LigneJournal &ligne, bool &ecrite)
{
    ecrite = false;
    if (avant.reference != ligne.reference || reference != ligne.reference) {
        m_erreur = QStringLiteral("remplacement d'une ligne par celle d'une autre facture");
        return false;
    }
    // One statement, one transaction: the invoice row is added only with the journal row's update,
    // which applies only while the row is `avant`, and its amounts only with the invoice row.
    const auto [miseAJour, valeurs] = instructionRemplacement(avant, ligne);
    const QString ajoutFacture = QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, "
                                                "mecef_nim, mecef_compt, mecef_date) select ?, ?, ?, ?, ?, ?, "
                                                "? from fin");
    QString sql = QStringLiteral("with fin as (") + miseAJour + QStringLiteral(" returning 1) ") + ajoutFacture;
    QVariantList tous = valeurs + valeursFacture(reference, resultat);
    if (montants && montantsPresents()) {
        sql = QStringLiteral("with fin as (") + miseAJour + QStringLiteral(" returning 1), ajout as (") +
              ajoutFacture + QStringLiteral(" returning 1) ") + sqlmontants::insertion(QStringLiteral("ajout"));
        tous += sqlmontants::valeurs(*montants);
    }
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!executer(q, sql, tous))
        return false;
    ecrite = q.numRowsAffected() == 1;
    return true;
}

QString StockagePostgres::instructionEcriture(const QString &noms, const QString &marques) const
{
    QStringList miseAJour;
    for (const QString &nom : noms.split(QStringLiteral(", ")))
        if (nom != QStringLiteral("reference"))
            miseAJour << nom + QStringLiteral(" = excluded.") + nom;
    return QStringLiteral(
               "insert into certification (%1) values (%2) on conflict (reference) do update set %3")
        .arg(noms, marques, miseAJour.join(QStringLiteral(", ")));
}

void StockagePostgres::lireColonnes()
{
    m_colonnes.clear();
    m_journalLu = false;
    m_montants.reset();
    montantsPresents();
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (!q.exec(QStringLiteral("select column_name from information_schema.columns where table_name = "
                               "'certification' and table_schema = current_schema()")))
        return;
    m_journalLu = true;
    while (q.next())
        m_colonnes.insert(q.value(0).toString());
}
