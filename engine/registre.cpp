#include "registre.h"

#include <QSqlDatabase>
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
        m_ouvert = db.open();
        if (m_ouvert) {
            // A register installed earlier may already hold duplicate references: the index is
            // deliberately not unique. Both statements are no-ops on an existing table.
            QSqlQuery q(db);
            q.exec(QStringLiteral("create table if not exists facture (reference text, qrcode text, "
                                  "mecef_tc text, mecef_sig text, mecef_nim text, mecef_compt text, "
                                  "mecef_date text)"));
            q.exec(QStringLiteral("create index if not exists facture_reference on facture (reference)"));
        }
    }
    if (!m_ouvert)
        QSqlDatabase::removeDatabase(m_nomConnexion);
    return m_ouvert;
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

std::optional<FactureOriginale> Registre::trouverOriginale(const QString &reference) const
{
    if (!m_ouvert)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("select mecef_nim, mecef_tc, mecef_sig from facture where reference = ?"));
    q.addBindValue(reference);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return FactureOriginale{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

std::optional<ResultatFiscal> Registre::chercher(const QString &reference) const
{
    if (!m_ouvert)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("select qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date "
                             "from facture where reference = ?"));
    q.addBindValue(reference);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return ResultatFiscal{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                          q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
}

bool Registre::enregistrer(const QString &reference, const ResultatFiscal &r)
{
    if (!m_ouvert)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_nomConnexion, false));
    q.prepare(QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                             "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"));
    for (const QString &valeur :
         {reference, r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date})
        q.addBindValue(valeur);
    return q.exec();
}
