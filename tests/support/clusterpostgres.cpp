#include "clusterpostgres.h"

#include "attente.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The newest server installed by Debian's postgresql packages.
QString dossierBinaires()
{
    QDir racine(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = racine.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &v : versions) {
        const QString bin = racine.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

int portLibre()
{
    QTcpServer serveur;
    if (!serveur.listen(QHostAddress::LocalHost, 0))
        return 0;
    return serveur.serverPort();
}

bool estRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

ClusterPostgres::ClusterPostgres() : m_dossier(QDir::tempPath() + QStringLiteral("/orvane-pg-XXXXXX")) {}

ClusterPostgres::~ClusterPostgres()
{
    arreter();
}

bool ClusterPostgres::commande(const QString &programme, const QStringList &arguments, QString *sortie)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dossier.path());
    QStringList args = arguments;
    QString executable = programme;
    if (estRoot()) {
        args.prepend(programme);
        args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + args;
        executable = QStringLiteral("runuser");
    }
    p.start(executable, args);
    if (!p.waitForFinished(attenteFauteMs)) {
        p.kill();
        p.waitForFinished();
        m_erreur = programme + QStringLiteral(": ne s'est pas termine");
        return false;
    }
    const QString texte = QString::fromUtf8(p.readAll());
    if (sortie)
        *sortie = texte;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_erreur = programme + QStringLiteral(": ") + texte;
        return false;
    }
    return true;
}

bool ClusterPostgres::preparerDossier()
{
    m_binaires = dossierBinaires();
    if (m_binaires.isEmpty()) {
        m_erreur = QStringLiteral("aucun serveur PostgreSQL sous /usr/lib/postgresql (scripts/preparer)");
        return false;
    }
    if (!m_dossier.isValid()) {
        m_erreur = QStringLiteral("dossier temporaire");
        return false;
    }
    if (estRoot() &&
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), m_dossier.path()}) != 0) {
        m_erreur = QStringLiteral("chown postgres: impossible (utilisateur postgres absent?)");
        return false;
    }
    return true;
}

bool ClusterPostgres::demarrerSecours(const ClusterPostgres &primaire)
{
    if (!preparerDossier())
        return false;
    // Over the primary's socket, where the superuser may open a replication connection without a
    // password; -R writes the settings that make the copy a standby following the primary.
    if (!commande(m_binaires + QStringLiteral("/pg_basebackup"),
                  {QStringLiteral("-h"), primaire.m_dossier.path(), QStringLiteral("-p"),
                   QString::number(primaire.m_port), QStringLiteral("-U"), administrateur(),
                   QStringLiteral("-D"), m_dossier.path() + QStringLiteral("/donnees"), QStringLiteral("-R"),
                   QStringLiteral("-X"), QStringLiteral("stream"), QStringLiteral("--no-sync")}))
        return false;
    m_port = portLibre();
    return redemarrer();
}

bool ClusterPostgres::promouvoir()
{
    return commande(m_binaires + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), m_dossier.path() + QStringLiteral("/donnees"),
                     QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                     QStringLiteral("promote")});
}

bool ClusterPostgres::demarrer()
{
    if (!preparerDossier())
        return false;
    const QString chemin = m_dossier.path();
    QFile mot(chemin + QStringLiteral("/mot-de-passe"));
    if (!mot.open(QIODevice::WriteOnly))
        return false;
    mot.write(motDePasseAdministrateur().toUtf8() + "\n");
    mot.close();
    if (estRoot())
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), mot.fileName()});
    if (!commande(m_binaires + QStringLiteral("/initdb"),
                  {QStringLiteral("-D"), chemin + QStringLiteral("/donnees"), QStringLiteral("-U"),
                   administrateur(), QStringLiteral("--pwfile=") + mot.fileName(),
                   QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
                   QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                   QStringLiteral("--no-sync")}))
        return false;
    m_port = portLibre();
    return redemarrer();
}

bool ClusterPostgres::redemarrer()
{
    const QString chemin = m_dossier.path();
    // fsync off: the cluster is thrown away; the sockets stay in the temporary folder.
    const QString options =
        QStringLiteral("-p %1 -c listen_addresses=127.0.0.1 -c unix_socket_directories=%2 "
                       "-c fsync=off -c synchronous_commit=off -c full_page_writes=off "
                       "-c max_connections=60")
            .arg(m_port)
            .arg(chemin) +
        (m_tls ? QStringLiteral(" -c ssl=on -c ssl_cert_file=%1/serveur.crt -c ssl_key_file=%1/serveur.key "
                                "-c log_connections=on")
                     .arg(chemin)
               : QString());
    if (!commande(m_binaires + QStringLiteral("/pg_ctl"),
                  {QStringLiteral("-D"), chemin + QStringLiteral("/donnees"), QStringLiteral("-l"),
                   chemin + QStringLiteral("/journal.txt"), QStringLiteral("-o"), options,
                   QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                   QStringLiteral("start")}))
        return false;
    m_demarre = true;
    return true;
}

bool ClusterPostgres::arreter()
{
    if (!m_demarre)
        return true;
    m_demarre = false;
    return commande(m_binaires + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), m_dossier.path() + QStringLiteral("/donnees"),
                     QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                     QStringLiteral("stop")});
}

bool ClusterPostgres::activerTls(const QString &certificat, const QString &cle)
{
    const QString chemin = m_dossier.path();
    const QString copieCertificat = chemin + QStringLiteral("/serveur.crt");
    const QString copieCle = chemin + QStringLiteral("/serveur.key");
    QFile::remove(copieCertificat);
    QFile::remove(copieCle);
    if (!QFile::copy(certificat, copieCertificat) || !QFile::copy(cle, copieCle)) {
        m_erreur = QStringLiteral("certificat ou cle du serveur non copies");
        return false;
    }
    // The server refuses a key that others may read; run as root, the files are the server user's.
    QFile::setPermissions(copieCle, QFile::ReadOwner | QFile::WriteOwner);
    if (estRoot())
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), copieCertificat, copieCle});
    m_tls = true;
    return true;
}

QString ClusterPostgres::journal() const
{
    QFile f(m_dossier.path() + QStringLiteral("/journal.txt"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString ClusterPostgres::adresse(const QString &base, const QString &utilisateur,
                                 const QString &requete) const
{
    QString a = QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(utilisateur).arg(m_port).arg(base);
    if (!requete.isEmpty())
        a += QLatin1Char('?') + requete;
    return a;
}

bool ClusterPostgres::executer(const QString &base, const QString &sql)
{
    // Over the socket in the temporary folder, where the superuser needs no password.
    return commande(m_binaires + QStringLiteral("/psql"),
                    {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), m_dossier.path(),
                     QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), administrateur(),
                     QStringLiteral("-d"), base, QStringLiteral("-c"), sql});
}

QString ClusterPostgres::valeur(const QString &base, const QString &sql)
{
    QString sortie;
    if (!commande(m_binaires + QStringLiteral("/psql"),
                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                   QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                   m_dossier.path(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
                   administrateur(), QStringLiteral("-d"), base, QStringLiteral("-c"), sql},
                  &sortie))
        return QStringLiteral("(erreur: %1)").arg(m_erreur);
    return sortie.section(QLatin1Char('\n'), 0, 0).trimmed();
}
