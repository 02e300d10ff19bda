#include "registre.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

Registre::Registre(const QString &nomConnexion) : m_nomConnexion(nomConnexion) {}

Registre::~Registre()
{
    fermer();
}

bool Registre::ouvrir(const QString &chemin)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nomConnexion);
        db.setDatabaseName(chemin);
        // Several tills may share one register: a run waits a few seconds for another's transaction
        // instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        m_ouvert = db.open();
        if (!m_ouvert)
            m_erreur = db.lastError().text();
    }
    if (!m_ouvert) {
        QSqlDatabase::removeDatabase(m_nomConnexion);
        return false;
    }
    // Write-ahead logging: one sync per committed transaction instead of several (the journal writes
    // a few per invoice while the customer waits), readers never block the run that writes, and a
    // commit stays durable (synchronous stays FULL). A register that cannot switch keeps its mode.
    executer(QStringLiteral("pragma journal_mode=wal"));
    // A register installed earlier may already hold duplicate references: the index is deliberately
    // not unique. Every statement is a no-op on an existing table; a file that is not a usable
    // register makes them fail, which the claim reports. The first failure ends them: on a locked
    // register each one would wait its full busy timeout. A new register is created in one
    // transaction: one commit (and its disk syncs) instead of one per statement.
    const bool groupe = executer(QStringLiteral("begin"));
    const bool cree =
        executer(
            QStringLiteral("create table if not exists facture (reference text, qrcode text, mecef_tc text, "
                           "mecef_sig text, mecef_nim text, mecef_compt text, mecef_date text)")) &&
        executer(QStringLiteral("create index if not exists facture_reference on facture (reference)")) &&
        executer(QStringLiteral("create table if not exists certification (reference text primary key, etat "
                                "text not null, chemin text, destination text, empreinte text, uid text, pid "
                                "integer, identite text, cree text, modifie text)"));
    if (groupe && !(cree && executer(QStringLiteral("commit"))))
        executer(QStringLiteral("rollback"));
    return true;
}

void Registre::fermer()
{
    if (!m_ouvert)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nomConnexion);
    m_ouvert = false;
}

namespace {

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

const QList<QPair<EtatCertification, QString>> &nomsEtats()
{
    static const QList<QPair<EtatCertification, QString>> noms = {
        {EtatCertification::Reclamee, QStringLiteral("reclamee")},
        {EtatCertification::Ouverte, QStringLiteral("ouverte")},
        {EtatCertification::Payee, QStringLiteral("payee")},
        {EtatCertification::FermetureEnvoyee, QStringLiteral("fermeture envoyee")},
        {EtatCertification::SoumissionEnvoyee, QStringLiteral("soumission envoyee")},
        {EtatCertification::Soumise, QStringLiteral("soumise")},
        {EtatCertification::ConfirmationEnvoyee, QStringLiteral("confirmation envoyee")},
        {EtatCertification::Terminee, QStringLiteral("terminee")},
        {EtatCertification::Abandonnee, QStringLiteral("abandonnee")},
    };
    return noms;
}

EtatCertification etatDepuisNom(const QString &nom)
{
    for (const auto &e : nomsEtats()) {
        if (e.second == nom)
            return e.first;
    }
    // An unknown state written by a later version is treated as unsettled, never as free.
    return EtatCertification::FermetureEnvoyee;
}

QString maintenant()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

const QString colonnesJournal = QStringLiteral(
    "select reference, etat, chemin, destination, empreinte, uid, pid, identite, cree, modifie "
    "from certification");

LigneJournal lireLigneJournal(const QSqlQuery &q)
{
    LigneJournal l;
    l.reference = q.value(0).toString();
    l.etat = etatDepuisNom(q.value(1).toString());
    l.chemin = q.value(2).toString();
    l.destination = q.value(3).toString();
    l.empreinte = q.value(4).toString();
    l.uid = q.value(5).toString();
    l.titulaire = {q.value(6).toLongLong(), q.value(7).toString()};
    l.cree = q.value(8).toString();
    l.modifie = q.value(9).toString();
    return l;
}

bool estTerminal(EtatCertification etat)
{
    return etat == EtatCertification::Terminee || etat == EtatCertification::Abandonnee;
}

// States in which nothing has reached the device or the service, or nothing that can certify.
bool rienEngage(EtatCertification etat)
{
    return etat == EtatCertification::Reclamee || etat == EtatCertification::SoumissionEnvoyee;
}

bool memeTitulaire(const TitulaireExecution &a, const TitulaireExecution &b)
{
    return a.pid == b.pid && a.identite == b.identite;
}

// One immediate transaction: taken at once for writing, so that two runs never both read a
// reference as free. Rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(const QSqlDatabase &db) : m_db(db)
    {
        QSqlQuery q(m_db);
        m_ouverte = q.exec(QStringLiteral("begin immediate"));
        if (!m_ouverte)
            m_erreur = q.lastError().text();
    }
    ~Transaction()
    {
        if (m_ouverte)
            QSqlQuery(m_db).exec(QStringLiteral("rollback"));
    }
    bool ouverte() const { return m_ouverte; }
    QString erreur() const { return m_erreur; }
    bool valider()
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("commit"))) {
            m_erreur = q.lastError().text();
            return false;
        }
        m_ouverte = false;
        return true;
    }

private:
    QSqlDatabase m_db;
    bool m_ouverte = false;
    QString m_erreur;
};

} // namespace

bool etatEngage(EtatCertification etat)
{
    return !estTerminal(etat) && !rienEngage(etat);
}

QString nomEtat(EtatCertification etat)
{
    for (const auto &e : nomsEtats()) {
        if (e.first == etat)
            return e.second;
    }
    return {};
}

bool Registre::executer(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    if (q.exec(sql))
        return true;
    m_erreur = q.lastError().text();
    return false;
}

std::optional<FactureOriginale> Registre::trouverOriginale(const QString &reference) const
{
    if (!m_ouvert)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("select mecef_nim, mecef_tc, mecef_sig from facture") + parReference);
    lierReference(q, reference);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return FactureOriginale{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

std::optional<ResultatFiscal> Registre::chercher(const QString &reference) const
{
    if (!m_ouvert)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral(
                  "select qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date from facture") +
              parReference);
    lierReference(q, reference);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return ResultatFiscal{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                          q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
}

std::optional<LigneJournal> Registre::ligneJournal(const QString &reference) const
{
    if (!m_ouvert)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(colonnesJournal + QStringLiteral(" where reference = ?"));
    q.addBindValue(texte(reference));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return lireLigneJournal(q);
}

Reclamation Registre::reclamer(const QString &reference, const QString &empreinte, const QString &chemin,
                               const QString &destination, const TitulaireExecution &titulaire,
                               const EstVivante &estVivante)
{
    Reclamation r;
    if (!m_ouvert) {
        r.erreur = m_erreur;
        return r;
    }
    const QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
    Transaction transaction(db);
    if (!transaction.ouverte()) {
        r.erreur = transaction.erreur();
        return r;
    }
    auto echec = [&r](const QSqlQuery &q) {
        r.issue = Reclamation::Issue::Echec;
        r.erreur = q.lastError().text();
        return r;
    };

    QSqlQuery q(db);
    q.prepare(QStringLiteral(
                  "select qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date from facture") +
              parReference);
    lierReference(q, reference);
    if (!q.exec())
        return echec(q);
    if (q.next()) {
        r.issue = Reclamation::Issue::DejaValidee;
        r.resultat = ResultatFiscal{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                    q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
        q.finish();
        q.prepare(QStringLiteral("select empreinte from certification where reference = ?"));
        q.addBindValue(texte(reference));
        if (!q.exec())
            return echec(q);
        if (q.next())
            r.empreinte = q.value(0).toString();
        return r;
    }

    q.prepare(colonnesJournal + QStringLiteral(" where reference = ?"));
    q.addBindValue(texte(reference));
    if (!q.exec())
        return echec(q);
    if (q.next())
        r.precedente = lireLigneJournal(q);
    q.finish();

    bool reprise = false;
    if (r.precedente && !estTerminal(r.precedente->etat)) {
        const LigneJournal &p = *r.precedente;
        if (!memeTitulaire(p.titulaire, titulaire) && estVivante(p.titulaire)) {
            r.issue = Reclamation::Issue::TenueAilleurs;
            return r;
        }
        if (p.etat == EtatCertification::FermetureEnvoyee) {
            r.issue = Reclamation::Issue::IssueInconnue;
            return r;
        }
        // Open, paid, pending or confirmation sent: the state stays, the new run settles it first.
        reprise = !rienEngage(p.etat);
    }

    // The row this claim leads to must fit table `facture` as it stands (its columns, constraints
    // and triggers): it is tried now and undone, so that no invoice is certified into a register
    // that cannot take it.
    q.prepare(QStringLiteral("savepoint essai"));
    if (!q.exec())
        return echec(q);
    q.prepare(QStringLiteral(
        "insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
        "mecef_compt, mecef_date) values (?, 'F', '1', 'S', 'N', '1/1 FV', '20000101000000')"));
    q.addBindValue(texte(reference));
    const bool insertionPossible = q.exec();
    const QString raison = q.lastError().text();
    q.finish();
    if (!QSqlQuery(db).exec(QStringLiteral("rollback to essai")) ||
        !QSqlQuery(db).exec(QStringLiteral("release essai")) || !insertionPossible) {
        r.issue = Reclamation::Issue::Echec;
        r.erreur = insertionPossible ? QStringLiteral("essai d'insertion non annule") : raison;
        return r;
    }

    const QString instant = maintenant();
    if (reprise) {
        q.prepare(QStringLiteral(
            "update certification set pid = ?, identite = ?, modifie = ? where reference = ?"));
        q.addBindValue(titulaire.pid);
        q.addBindValue(texte(titulaire.identite));
        q.addBindValue(instant);
        q.addBindValue(texte(reference));
    } else {
        q.prepare(QStringLiteral(
            "insert or replace into certification (reference, etat, chemin, destination, "
            "empreinte, uid, pid, identite, cree, modifie) values (?, ?, ?, ?, ?, '', ?, ?, ?, ?)"));
        for (const QString &v :
             {reference, nomEtat(EtatCertification::Reclamee), chemin, destination, empreinte})
            q.addBindValue(texte(v));
        q.addBindValue(titulaire.pid);
        q.addBindValue(texte(titulaire.identite));
        q.addBindValue(instant);
        q.addBindValue(instant);
    }
    if (!q.exec())
        return echec(q);
    if (!transaction.valider()) {
        r.erreur = transaction.erreur();
        return r;
    }
    r.issue = Reclamation::Issue::Nouvelle;
    return r;
}

QList<LigneJournal> Registre::reprendreEnSuspens(const QString &chemin, const QString &destination,
                                                 const QString &sauf, const TitulaireExecution &titulaire,
                                                 const EstVivante &estVivante)
{
    QList<LigneJournal> reprises;
    if (!m_ouvert)
        return reprises;
    const QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
    Transaction transaction(db);
    if (!transaction.ouverte())
        return reprises;
    QSqlQuery q(db);
    q.prepare(colonnesJournal + QStringLiteral(" where etat not in (?, ?) and chemin = ? and destination = ? "
                                               "and reference <> ? order by cree"));
    for (const QString &v : {nomEtat(EtatCertification::Terminee), nomEtat(EtatCertification::Abandonnee),
                             chemin, destination, sauf})
        q.addBindValue(texte(v));
    if (!q.exec())
        return reprises;
    QList<LigneJournal> lignes;
    while (q.next())
        lignes << lireLigneJournal(q);
    q.finish();

    const QString instant = maintenant();
    QList<LigneJournal> retenues;
    for (LigneJournal l : std::as_const(lignes)) {
        if (memeTitulaire(l.titulaire, titulaire) || estVivante(l.titulaire))
            continue;
        // A close whose outcome nobody knows stays for the operator; nothing else can settle it.
        if (l.etat == EtatCertification::FermetureEnvoyee)
            continue;
        const bool liberer = rienEngage(l.etat);
        q.prepare(QStringLiteral("update certification set etat = ?, pid = ?, identite = ?, modifie = ? "
                                 "where reference = ?"));
        q.addBindValue(nomEtat(liberer ? EtatCertification::Abandonnee : l.etat));
        q.addBindValue(titulaire.pid);
        q.addBindValue(texte(titulaire.identite));
        q.addBindValue(instant);
        q.addBindValue(texte(l.reference));
        if (!q.exec())
            return reprises;
        if (!liberer) {
            l.titulaire = titulaire;
            retenues << l;
        }
    }
    if (transaction.valider())
        reprises = retenues;
    return reprises;
}

QList<LigneJournal> Registre::issuesInconnues(const QString &chemin, const QString &destination,
                                              const QString &sauf, const TitulaireExecution &titulaire,
                                              const EstVivante &estVivante) const
{
    QList<LigneJournal> lignes;
    if (!m_ouvert)
        return lignes;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(colonnesJournal + QStringLiteral(" where etat in (?, ?) and chemin = ? and destination = ? "
                                               "and reference <> ? order by cree"));
    for (const QString &v : {nomEtat(EtatCertification::FermetureEnvoyee),
                             nomEtat(EtatCertification::ConfirmationEnvoyee), chemin, destination, sauf})
        q.addBindValue(texte(v));
    if (!q.exec())
        return lignes;
    while (q.next()) {
        const LigneJournal l = lireLigneJournal(q);
        if (memeTitulaire(l.titulaire, titulaire) || !estVivante(l.titulaire))
            lignes << l;
    }
    return lignes;
}

bool Registre::enTransaction(const std::function<bool(QSqlQuery &)> &travail)
{
    if (!m_ouvert)
        return false;
    const QSqlDatabase db = QSqlDatabase::database(m_nomConnexion, false);
    Transaction transaction(db);
    if (!transaction.ouverte()) {
        m_erreur = transaction.erreur();
        return false;
    }
    QSqlQuery q(db);
    if (!travail(q)) {
        m_erreur = q.lastError().isValid() ? q.lastError().text() : QStringLiteral("aucune ligne modifiee");
        return false;
    }
    if (!transaction.valider()) {
        m_erreur = transaction.erreur();
        return false;
    }
    return true;
}

bool Registre::changerEtat(const QString &reference, EtatCertification etat,
                           const TitulaireExecution &titulaire, const QString &uid)
{
    return enTransaction([&](QSqlQuery &q) {
        // Only the run that holds the reference moves it on.
        q.prepare(
            QStringLiteral("update certification set etat = ?, uid = case when ? = '' then uid else ? end, "
                           "modifie = ? where reference = ? and pid = ? and identite = ?"));
        q.addBindValue(nomEtat(etat));
        q.addBindValue(texte(uid));
        q.addBindValue(texte(uid));
        q.addBindValue(maintenant());
        q.addBindValue(texte(reference));
        q.addBindValue(titulaire.pid);
        q.addBindValue(texte(titulaire.identite));
        return q.exec() && q.numRowsAffected() == 1;
    });
}

bool Registre::enregistrer(const QString &reference, const ResultatFiscal &r)
{
    return enTransaction([&](QSqlQuery &q) {
        q.prepare(QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                                 "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"));
        for (const QString &valeur :
             {reference, r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date})
            q.addBindValue(texte(valeur));
        if (!q.exec())
            return false;
        q.prepare(QStringLiteral("update certification set etat = ?, modifie = ? where reference = ?"));
        q.addBindValue(nomEtat(EtatCertification::Terminee));
        q.addBindValue(maintenant());
        q.addBindValue(texte(reference));
        return q.exec();
    });
}

std::optional<EtatCertification> Registre::abandonner(const QString &reference)
{
    std::optional<EtatCertification> precedent;
    const bool fait = enTransaction([&](QSqlQuery &q) {
        q.prepare(
            QStringLiteral("select etat from certification where reference = ? and etat not in (?, ?)"));
        q.addBindValue(texte(reference));
        q.addBindValue(nomEtat(EtatCertification::Terminee));
        q.addBindValue(nomEtat(EtatCertification::Abandonnee));
        if (!q.exec() || !q.next())
            return false;
        precedent = etatDepuisNom(q.value(0).toString());
        q.finish();
        q.prepare(QStringLiteral("update certification set etat = ?, modifie = ? where reference = ?"));
        q.addBindValue(nomEtat(EtatCertification::Abandonnee));
        q.addBindValue(maintenant());
        q.addBindValue(texte(reference));
        return q.exec();
    });
    return fait ? precedent : std::nullopt;
}
