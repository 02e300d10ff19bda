#include "stockagepostgres.h"

#include "sqlmontants.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QVariant>

#include <libpq-fe.h>

#include <limits>
#include <utility>
#include <vector>

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

// `sql` with its "?" numbered as libpq wants them ($1, $2...).
QByteArray texteNumerote(const QString &sql)
{
    QString texte;
    int suivant = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('?'))
            texte += QLatin1Char('$') + QString::number(++suivant);
        else
            texte += c;
    }
    return texte.toUtf8();
}

// What a failure says of the session it happened on, by the SQLSTATE the server gave.
enum class NatureEchec {
    Refus,         // this statement was refused; the session goes on
    SessionPerdue, // the session is gone or going: nothing more can be sent on it
};

NatureEchec natureEchec(const QByteArray &sqlstate)
{
    // Class 08: the connection failed. 57P01..57P03: the server is shutting down, crashed, or does
    // not accept this session. 25P03: the session stayed too long inside a transaction and the server
    // ended it. The session lock went with the session in every one of them.
    if (sqlstate.startsWith("08") || sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03" ||
        sqlstate == "25P03")
        return NatureEchec::SessionPerdue;
    return NatureEchec::Refus;
}

// The statement's bound values as libpq takes them: texts in UTF-8, null for SQL null.
struct Valeurs
{
    std::vector<QByteArray> textes;
    std::vector<const char *> pointeurs;

    explicit Valeurs(const QVariantList &valeurs)
    {
        textes.reserve(valeurs.size());
        for (const QVariant &v : valeurs)
            textes.push_back(v.isNull() ? QByteArray() : v.toString().toUtf8());
        for (qsizetype i = 0; i < valeurs.size(); ++i)
            pointeurs.push_back(valeurs.at(i).isNull() ? nullptr : textes.at(i).constData());
    }
};

// The rows of a result, each column a text or null.
ReponseSql reponseDe(const PGresult *r)
{
    ReponseSql reponse;
    const int lignes = PQntuples(r);
    const int colonnes = PQnfields(r);
    for (int i = 0; i < lignes; ++i) {
        QVariantList ligne;
        for (int j = 0; j < colonnes; ++j)
            ligne << (PQgetisnull(r, i, j) ? QVariant() : QVariant(QString::fromUtf8(PQgetvalue(r, i, j))));
        reponse.lignes << ligne;
    }
    reponse.modifiees = QByteArray(PQcmdTuples(const_cast<PGresult *>(r))).toLongLong();
    return reponse;
}

const QByteArray commit = QByteArrayLiteral("commit");

} // namespace

StockagePostgres::~StockagePostgres()
{
    if (m_connexion)
        PQfinish(m_connexion);
}

std::unique_ptr<StockagePostgres> StockagePostgres::ouvrir(const EmplacementRegistre &emplacement,
                                                           Ouverture mode, QString &erreur)
{
    const std::optional<ConnexionPostgres> connexion = lireAdresseRegistre(emplacement.adresse, erreur);
    if (!connexion)
        return nullptr;
    QList<QPair<QByteArray, QByteArray>> parametres = {
        {"host", connexion->hote.toUtf8()},
        {"port", connexion->port.toUtf8()},
        {"dbname", connexion->base.toUtf8()},
        {"user", connexion->utilisateur.toUtf8()},
        {"password",
         (emplacement.motDePasse.isEmpty() ? connexion->motDePasse : emplacement.motDePasse).toUtf8()},
        {"client_encoding", "UTF8"},
        // Every wait is bounded, so that a dead server never hangs a till: the connection, the data
        // sent and not acknowledged (tcp_user_timeout), and, through keepalives, a connection gone
        // silent.
        {"connect_timeout", QByteArray::number(qMax(1, emplacement.delaiConnexion))},
        {"keepalives", "1"},
        {"keepalives_idle", QByteArray::number(qMax(1, emplacement.delaiRequete))},
        {"keepalives_interval", "1"},
        {"keepalives_count", "3"},
        {"tcp_user_timeout", QByteArray::number(qMax(1, emplacement.delaiRequete) * 1000)},
    };
    // Statements and waits for another till's lock are bounded by the server too, and a session
    // left inside a transaction (a till stopped in the middle) is ended so that it holds no lock:
    // set at connection (libpq's "options"), before any URI's own, without a round trip.
    const int delaiMs = qMax(1, emplacement.delaiRequete) * 1000;
    QString reglages = QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%1 "
                                      "-c idle_in_transaction_session_timeout=%2")
                           .arg(delaiMs)
                           .arg(2 * delaiMs);
    bool nomApplication = false;
    for (const auto &[cle, valeur] : connexion->options) {
        if (cle == QStringLiteral("options"))
            reglages += QLatin1Char(' ') + valeur;
        else
            parametres.append(qMakePair(cle.toUtf8(), valeur.toUtf8()));
        nomApplication = nomApplication || cle == QStringLiteral("application_name");
    }
    parametres.append(qMakePair(QByteArray("options"), reglages.toUtf8()));
    if (!nomApplication)
        parametres.append(qMakePair(QByteArray("application_name"), QByteArray("orvane-engine")));
    std::vector<const char *> cles;
    std::vector<const char *> valeurs;
    for (const auto &[cle, valeur] : std::as_const(parametres)) {
        // An empty value is libpq's default (no host: its socket; no password: its password file).
        if (valeur.isEmpty())
            continue;
        cles.push_back(cle.constData());
        valeurs.push_back(valeur.constData());
    }
    cles.push_back(nullptr);
    valeurs.push_back(nullptr);

    std::unique_ptr<StockagePostgres> stockage(new StockagePostgres());
    stockage->m_connexion = PQconnectdbParams(cles.data(), valeurs.data(), 0);
    if (!stockage->m_connexion || PQstatus(stockage->m_connexion) != CONNECTION_OK) {
        erreur = stockage->m_connexion ? QString::fromUtf8(PQerrorMessage(stockage->m_connexion)).simplified()
                                       : QStringLiteral("memoire insuffisante pour la connexion");
        return nullptr;
    }
    // The server's notices (a table already there while the schema is made ready) are not the
    // engine's to print: libpq's default would write them to standard error, which the engine never
    // uses.
    PQsetNoticeProcessor(stockage->m_connexion, [](void *, const char *) {}, nullptr);
    // A register of this version, the usual case, costs one exchange with the server, which also
    // numbers this run; an older or missing one is made ready under the schema's lock.
    const bool engine = mode == Ouverture::CreerOuMettreAJour;
    int version = 0;
    qint64 numero = 0;
    const bool versionLue = stockage->lireSchemaEtVersion(version, numero, engine);
    if ((!versionLue && !stockage->lireCle()) ||
        (engine && version < versionSchema && !stockage->preparerTables())) {
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
    if (!engine && stockage->m_colonnes.isEmpty()) {
        erreur = QStringLiteral("aucun registre dans cette base (table certification absente)");
        return nullptr;
    }
    // The operator's tools claim nothing: they hold no session of their own (and an older register
    // may lack the sequence that numbers them).
    if (engine) {
        if (numero == 0 && !stockage->prendreNumero(numero)) {
            erreur = stockage->erreur();
            return nullptr;
        }
        stockage->retenirTitulaire(numero);
    }
    return stockage;
}

void StockagePostgres::constaterEchec(const PGresult *resultat)
{
    const QByteArray sqlstate =
        resultat ? QByteArray(PQresultErrorField(resultat, PG_DIAG_SQLSTATE)) : QByteArray();
    QString raison = resultat ? QString::fromUtf8(PQresultErrorMessage(resultat)).simplified() : QString();
    if (raison.isEmpty())
        raison = QString::fromUtf8(PQerrorMessage(m_connexion)).simplified();
    if (raison.isEmpty())
        raison = QStringLiteral("reponse du serveur illisible");
    m_erreur = raison;
    if (PQstatus(m_connexion) != CONNECTION_OK || natureEchec(sqlstate) == NatureEchec::SessionPerdue) {
        m_sessionPerdue = QStringLiteral("session du registre perdue (%1)").arg(raison);
        m_erreur = m_sessionPerdue;
    }
}

bool StockagePostgres::executerSuite(const QList<InstructionSql> &instructions, QList<ReponseSql> *reponses)
{
    if (!m_sessionPerdue.isEmpty()) {
        m_erreur = m_sessionPerdue;
        return false;
    }
    // What waits to be sent goes first; its answers are not the caller's.
    const QList<InstructionSql> toutes = std::exchange(m_enAttente, {}) + instructions;
    const qsizetype enTete = toutes.size() - instructions.size();
    m_ecrituresEnAttente = 0;
    QList<ReponseSql> recues;
    const auto accepter = [&](const PGresult *r, qsizetype i) {
        const ExecStatusType etat = PQresultStatus(r);
        if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK) {
            constaterEchec(r);
            return false;
        }
        // A commit of a transaction that had already failed ends it without keeping anything.
        if (toutes.at(i).sql.toUtf8() == commit &&
            QByteArray(PQcmdStatus(const_cast<PGresult *>(r))) != "COMMIT") {
            m_erreur = QStringLiteral("transaction annulee par le serveur");
            return false;
        }
        if (i >= enTete)
            recues << reponseDe(r);
        return true;
    };

    bool fait = true;
    if (toutes.size() == 1) {
        const Valeurs v(toutes.first().valeurs);
        PGresult *r = PQexecParams(m_connexion, texteNumerote(toutes.first().sql).constData(),
                                   int(v.pointeurs.size()), nullptr, v.pointeurs.data(), nullptr, nullptr, 0);
        fait = r && accepter(r, 0);
        if (!r)
            constaterEchec(nullptr);
        PQclear(r);
    } else {
        // One pipeline: every statement sent, then one synchronisation; after a failure the server
        // skips the rest up to it.
        fait = PQenterPipelineMode(m_connexion) == 1;
        for (const InstructionSql &instruction : toutes) {
            const Valeurs v(instruction.valeurs);
            fait = fait && PQsendQueryParams(m_connexion, texteNumerote(instruction.sql).constData(),
                                             int(v.pointeurs.size()), nullptr, v.pointeurs.data(), nullptr,
                                             nullptr, 0) == 1;
        }
        fait = fait && PQpipelineSync(m_connexion) == 1;
        if (!fait) {
            constaterEchec(nullptr);
        } else {
            for (qsizetype i = 0; i < toutes.size(); ++i) {
                PGresult *r = PQgetResult(m_connexion);
                if (!r) {
                    constaterEchec(nullptr);
                    fait = false;
                    break;
                }
                // The first failure says why; those after it were skipped.
                if (fait && !accepter(r, i))
                    fait = false;
                PQclear(r);
                // Each statement's results end with a null.
                while (PGresult *suite = PQgetResult(m_connexion))
                    PQclear(suite);
                if (PQstatus(m_connexion) != CONNECTION_OK)
                    break;
            }
            // The synchronisation's own result.
            while (PQstatus(m_connexion) == CONNECTION_OK) {
                PGresult *r = PQgetResult(m_connexion);
                if (!r)
                    break;
                const bool synchro = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
                PQclear(r);
                if (synchro)
                    break;
            }
        }
        // A connection that cannot leave the pipeline (broken, or answers left unread) is never used
        // again: what it would answer next could belong to a statement sent here.
        if ((PQstatus(m_connexion) != CONNECTION_OK || PQexitPipelineMode(m_connexion) != 1) &&
            m_sessionPerdue.isEmpty()) {
            const QString raison = QString::fromUtf8(PQerrorMessage(m_connexion)).simplified();
            m_sessionPerdue = QStringLiteral("session du registre perdue (%1)")
                                  .arg(fait ? raison : m_erreur);
            m_erreur = m_sessionPerdue;
            fait = false;
        }
    }
    if (reponses)
        *reponses = recues;
    return fait;
}

bool StockagePostgres::lireSchemaEtVersion(int &version, qint64 &numero, bool avecNumero)
{
    QList<InstructionSql> instructions = {
        {QStringLiteral("select current_schema(), coalesce(max(version), 0) from version_registre"), {}}};
    if (avecNumero)
        instructions << InstructionSql{QStringLiteral("select nextval('execution_registre')"), {}};
    QList<ReponseSql> reponses;
    // The second may fail on its own (an older register without the sequence): the first was
    // answered all the same.
    executerSuite(instructions, &reponses);
    if (!m_sessionPerdue.isEmpty() || reponses.isEmpty() || reponses.first().lignes.isEmpty())
        return false;
    const QVariantList &ligne = reponses.first().lignes.first();
    m_cle = cleRegistre(ligne.value(0).toString());
    version = ligne.value(1).toInt();
    numero = reponses.size() > 1 && !reponses.at(1).lignes.isEmpty()
                 ? reponses.at(1).lignes.first().value(0).toLongLong()
                 : 0;
    return true;
}

bool StockagePostgres::lireCle()
{
    ReponseSql r;
    if (!executer(QStringLiteral("select current_schema()"), {}, &r) || r.lignes.isEmpty())
        return false;
    m_cle = cleRegistre(r.lignes.first().value(0).toString());
    return true;
}

bool StockagePostgres::preparerTables()
{
    // Several tills may start on an empty database at once: the first to take the lock creates the
    // tables, the others find them made. The lock ends with the transaction.
    const QVariantList cles = {m_cle, verrouSchema};
    QList<ReponseSql> reponses;
    // to_regclass answers null instead of failing when the table does not exist.
    if (!executerSuite(
            {{QStringLiteral("begin"), {}},
             {QStringLiteral("select pg_advisory_xact_lock(?, ?)"), cles},
             {QStringLiteral("select count(*) from pg_class where oid = to_regclass('version_registre')"),
              {}}},
            &reponses)) {
        const QString raison = m_erreur;
        annulerTransaction();
        m_erreur = raison;
        return false;
    }
    int version = 0;
    bool fait = true;
    if (reponses.at(2).lignes.value(0).value(0).toInt() > 0) {
        ReponseSql r;
        fait = executer(QStringLiteral("select coalesce(max(version), 0) from version_registre"), {}, &r);
        version = fait ? r.lignes.value(0).value(0).toInt() : 0;
    }
    if (fait && version < versionSchema) {
        QList<InstructionSql> creation = {
            {QStringLiteral("create table if not exists facture (reference text, qrcode text, "
                            "mecef_tc text, mecef_sig text, mecef_nim text, mecef_compt text, "
                            "mecef_date text)"),
             {}},
            {QStringLiteral("create index if not exists facture_reference on facture (reference)"), {}},
            {QStringLiteral("create table if not exists certification (reference text primary key, "
                            "etat text not null, chemin text, destination text, empreinte text, "
                            "uid text, pid bigint, identite text, cree text, modifie text)"),
             {}},
            {QStringLiteral("create sequence if not exists execution_registre as integer minvalue %1 cycle")
                 .arg(premiereExecution),
             {}},
            {QStringLiteral("create table if not exists version_registre (version integer not null)"), {}},
        };
        for (const ColonneAjoutee &colonne : colonnesAjoutees)
            creation << InstructionSql{
                QStringLiteral("alter table certification add column if not exists %1 %2")
                    .arg(colonne.nom, colonne.declaration),
                {}};
        // The amounts of each invoice, and a row without amounts for each invoice recorded before.
        creation << InstructionSql{sqlmontants::creationTable(), {}}
                 << InstructionSql{sqlmontants::creationIndex(), {}}
                 << InstructionSql{sqlmontants::reprise(), {}};
        // The roles that record invoices (the tills') record their amounts too, in the same
        // transaction: without this grant an updated register would refuse every till's invoice.
        creation << InstructionSql{
            QStringLiteral(
                "do $$ declare r record; begin for r in select distinct grantee from "
                "information_schema.role_table_grants where table_schema = current_schema() and "
                "table_name = 'facture' and privilege_type = 'INSERT' and grantee <> current_user loop "
                "execute format('grant select, insert, update on montants_facture to %I', r.grantee); end "
                "loop; end $$"),
            {}};
        creation << InstructionSql{QStringLiteral("delete from version_registre"), {}}
                 << InstructionSql{QStringLiteral("insert into version_registre (version) values (?)"),
                                   {versionSchema}};
        fait = executerSuite(creation, nullptr);
    }
    if (fait && executer(QStringLiteral("commit")))
        return true;
    const QString raison = m_erreur;
    annulerTransaction();
    m_erreur = raison;
    return false;
}

bool StockagePostgres::prendreNumero(qint64 &numero)
{
    ReponseSql r;
    if (!executer(QStringLiteral("select nextval('execution_registre')"), {}, &r) || r.lignes.isEmpty())
        return false;
    numero = r.lignes.first().value(0).toLongLong();
    return true;
}

void StockagePostgres::retenirTitulaire(qint64 numero)
{
    // A number is reused only after the sequence has cycled; the lock tells whether a run holds it.
    // It is taken with the next exchange, before any statement that could name this run as a holder.
    m_enAttente << InstructionSql{QStringLiteral("select pg_advisory_lock(?, ?)"), {m_cle, numero}};
    // The machine's name without spaces: the operator reads which till holds a reference.
    m_titulaire = {numero, prefixeSession + QSysInfo::machineHostName().remove(QLatin1Char(' ')) +
                               QLatin1Char(' ') + QString::number(QCoreApplication::applicationPid())};
}

bool StockagePostgres::titulaireVivant(const TitulaireExecution &titulaire)
{
    // This run holds its references as long as its session lives.
    if (m_titulaire.pid != 0 && titulaire == m_titulaire)
        return m_sessionPerdue.isEmpty();
    if (!titulaire.identite.startsWith(prefixeSession) || titulaire.pid < premiereExecution ||
        titulaire.pid > std::numeric_limits<qint32>::max())
        return false;
    ReponseSql r;
    // A register that cannot be asked keeps the row held: nothing is taken over on a guess.
    if (!executer(QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and granted and "
                                 "database = (select oid from pg_database where datname = "
                                 "current_database()) and classid = ? and objid = ? and objsubid = 2"),
                  {m_cle, titulaire.pid}, &r) ||
        r.lignes.isEmpty())
        return true;
    return r.lignes.first().value(0).toInt() > 0;
}

bool StockagePostgres::commencerEcriture()
{
    // One exchange: the transaction, its lock and, for a claim, the trial of its invoice row and the
    // read of its rows.
    QList<InstructionSql> ouverture = {
        {QStringLiteral("begin"), {}},
        {QStringLiteral("select pg_advisory_xact_lock(?, ?)"), {m_cle, verrouEcriture}},
    };
    const QString reference = std::exchange(m_reclamationPrevue, QString());
    m_essaiFait.clear();
    m_lecturePrevue.reset();
    constexpr qsizetype avantEssai = 3; // begin, lock, savepoint
    if (!reference.isEmpty())
        ouverture << InstructionSql{QStringLiteral("savepoint essai"), {}}
                  << instructionEssaiFacture(reference)
                  << InstructionSql{QStringLiteral("rollback to essai"), {}}
                  << InstructionSql{QStringLiteral("release essai"), {}}
                  << instructionFactureEtLigne(reference);
    QList<ReponseSql> reponses;
    if (executerSuite(ouverture, &reponses)) {
        if (!reference.isEmpty()) {
            m_essaiFait = reference;
            m_essaiReussi = true;
            m_lecturePrevue = reponses.last();
        }
        return true;
    }
    const QString raison = m_erreur;
    // The trial failed: the transaction is brought back to the savepoint and goes on;
    // factureInserable then says why, and the rows are read again when asked.
    if (reponses.size() == avantEssai && !reference.isEmpty() && m_sessionPerdue.isEmpty()) {
        if (executerSuite({{QStringLiteral("rollback to essai"), {}}, {QStringLiteral("release essai"), {}}},
                          nullptr)) {
            m_essaiFait = reference;
            m_essaiReussi = false;
            m_raisonEssai = raison;
            return true;
        }
    }
    annulerTransaction();
    m_erreur = raison;
    return false;
}

bool StockagePostgres::annulerTransaction()
{
    m_enAttente.erase(m_enAttente.end() - m_ecrituresEnAttente, m_enAttente.end());
    m_ecrituresEnAttente = 0;
    return StockageSql::annulerTransaction();
}

bool StockagePostgres::enTransaction(const std::function<bool()> &travail)
{
    m_dansTransaction = true;
    const bool fait = StockageSql::enTransaction(travail);
    m_dansTransaction = false;
    m_essaiFait.clear();
    m_lecturePrevue.reset();
    return fait;
}

bool StockagePostgres::factureInserable(const QString &reference)
{
    // Tried as the transaction started.
    if (!m_essaiFait.isEmpty() && m_essaiFait == reference) {
        if (!m_essaiReussi)
            m_erreur = m_raisonEssai;
        return m_essaiReussi;
    }
    return StockageSql::factureInserable(reference);
}

bool StockagePostgres::lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                                          std::optional<LigneJournal> &ligne)
{
    // Read as the claim's transaction started: served once, later reads ask the server again.
    if (m_lecturePrevue && !m_essaiFait.isEmpty() && m_essaiFait == reference)
        return lireFactureEtLigneDe(*std::exchange(m_lecturePrevue, std::nullopt), resultat, ligne);
    return StockageSql::lireFactureEtLigne(reference, resultat, ligne);
}

bool StockagePostgres::ecrireLigne(const LigneJournal &ligne)
{
    if (!m_dansTransaction)
        return StockageSql::ecrireLigne(ligne);
    // Inside a write transaction nothing is decided on this write's answer: it goes with the next
    // statement (at the latest the commit), whose failure it then is.
    m_enAttente << instructionLigne(ligne);
    ++m_ecrituresEnAttente;
    return true;
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
    const InstructionSql miseAJour = instructionRemplacement(avant, ligne);
    const QString ajoutFacture = QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, "
                                                "mecef_nim, mecef_compt, mecef_date) select ?, ?, ?, ?, ?, ?, "
                                                "? from fin");
    QString sql = QStringLiteral("with fin as (") + miseAJour.sql + QStringLiteral(" returning 1) ") + ajoutFacture;
    QVariantList valeurs = miseAJour.valeurs + valeursFacture(reference, resultat);
    if (montants && montantsPresents()) {
        // A further data-modifying step, on the invoice row's: the amounts' row exists only if the
        // invoice row does, and `modifiees` (one row) still tells that both were written.
        sql = QStringLiteral("with fin as (") + miseAJour.sql + QStringLiteral(" returning 1), ajout as (") +
              ajoutFacture + QStringLiteral(" returning 1) ") + sqlmontants::insertion(QStringLiteral("ajout"));
        valeurs += sqlmontants::valeurs(*montants);
    }
    ReponseSql r;
    if (!executer(sql, valeurs, &r))
        return false;
    ecrite = r.modifiees == 1;
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
    // The journal's columns and whether the amounts' table is there, in one exchange. The second may
    // fail on its own (no table, or none this role may read): the amounts are then neither written
    // nor read, and the first was answered all the same.
    const QString erreur = m_erreur;
    QList<ReponseSql> reponses;
    executerSuite({{QStringLiteral("select column_name from information_schema.columns where table_name = "
                                   "'certification' and table_schema = current_schema()"),
                    {}},
                   {sqlmontants::presence(), {}}},
                  &reponses);
    m_montants = reponses.size() == 2;
    if (reponses.isEmpty())
        return;
    m_erreur = erreur;
    m_journalLu = true;
    for (const QVariantList &ligne : std::as_const(reponses.first().lignes))
        m_colonnes.insert(ligne.value(0).toString());
}
