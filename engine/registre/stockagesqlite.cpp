#include "stockagesqlite.h"

#include "sqlmontants.h"
#include "titulaire.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

StockageSqlite::StockageSqlite(const QString &nomConnexion) : m_nomConnexion(nomConnexion) {}

StockageSqlite::~StockageSqlite()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nomConnexion);
}

bool StockageSqlite::executerSuite(const QList<InstructionSql> &instructions, QList<ReponseSql> *reponses)
{
    for (const InstructionSql &instruction : instructions) {
        QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
        q.setForwardOnly(true);
        bool fait = false;
        if (instruction.valeurs.isEmpty()) {
            fait = q.exec(instruction.sql);
        } else {
            fait = q.prepare(instruction.sql);
            for (const QVariant &v : instruction.valeurs)
                q.addBindValue(v);
            fait = fait && q.exec();
        }
        if (!fait) {
            m_erreur = q.lastError().text();
            return false;
        }
        ReponseSql r;
        if (q.isSelect()) {
            const int colonnes = q.record().count();
            while (q.next()) {
                QVariantList ligne;
                for (int i = 0; i < colonnes; ++i)
                    ligne << q.value(i);
                r.lignes << ligne;
            }
        } else {
            r.modifiees = q.numRowsAffected();
        }
        if (reponses)
            reponses->append(r);
    }
    return true;
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
    const bool nouveau = QFileInfo(chemin).size() == 0;
    if (!db.open()) {
        erreur = db.lastError().text();
        return nullptr;
    }
    if (mode == Ouverture::CreerOuMettreAJour) {
        // A register made in a folder the shop's group may write is the group's too, so that every
        // member's runs can write it; set before its tables, so that SQLite gives its -wal and -shm
        // files the same mode.
        const QFileInfo dossier(QFileInfo(chemin).absolutePath());
        if (nouveau && QFileInfo::exists(chemin) && dossier.permission(QFile::WriteGroup))
            QFile::setPermissions(chemin, QFile::permissions(chemin) | QFile::ReadGroup | QFile::WriteGroup);
        stockage->preparerTables();
    }
    stockage->lireColonnes();
    return stockage;
}

void StockageSqlite::preparerTables()
{
    // Write-ahead logging: one sync per committed transaction instead of several (the journal writes
    // a few per invoice while the customer waits), readers never block the run that writes, and a
    // commit stays durable (synchronous stays FULL). A register that cannot switch keeps its mode.
    executer(QStringLiteral("pragma journal_mode=wal"));
    ReponseSql version;
    if (executer(QStringLiteral("pragma user_version"), {}, &version) && !version.lignes.isEmpty() &&
        version.lignes.first().value(0).toInt() >= versionSchema)
        return;
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
    // The amounts of each invoice, and a row without amounts for each invoice recorded before.
    fait = fait && executer(sqlmontants::creationTable()) && executer(sqlmontants::creationIndex()) &&
           executer(sqlmontants::reprise());
    fait = fait && executer(QStringLiteral("pragma user_version = %1").arg(versionSchema));
    if (!(fait && executer(QStringLiteral("commit"))))
        executer(QStringLiteral("rollback"));
}

void StockageSqlite::lireColonnes()
{
    m_colonnes.clear();
    m_journalLu = false;
    m_montants.reset();
    montantsPresents();
    ReponseSql r;
    if (!executer(QStringLiteral("pragma table_info(certification)"), {}, &r))
        return;
    m_journalLu = true;
    for (const QVariantList &ligne : std::as_const(r.lignes))
        m_colonnes.insert(ligne.value(1).toString());
}

bool StockageSqlite::commencerEcriture()
{
    // "immediate": the write lock is taken at once, not at the first write.
    return executer(QStringLiteral("begin immediate"));
}

QString StockageSqlite::instructionEcriture(const QString &noms, const QString &marques) const
{
    return QStringLiteral("insert or replace into certification (%1) values (%2)").arg(noms, marques);
}

TitulaireExecution StockageSqlite::titulaire()
{
    return executionCourante();
}

bool StockageSqlite::titulaireVivant(const TitulaireExecution &titulaire)
{
    return executionVivante(titulaire);
}
