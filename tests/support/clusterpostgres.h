#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away PostgreSQL server for the tests: a cluster made by initdb in a temporary folder,
// listening on 127.0.0.1 at a free port, stopped and removed with this object. Run as root, the
// cluster belongs to the unprivileged user "postgres" (the server refuses to run as root).
// Connections over TCP need the password.
class ClusterPostgres
{
public:
    ClusterPostgres();
    ~ClusterPostgres();
    ClusterPostgres(const ClusterPostgres &) = delete;
    ClusterPostgres &operator=(const ClusterPostgres &) = delete;

    // Makes and starts the cluster; false with the reason in erreur().
    bool demarrer();
    // Makes this cluster a streaming standby of `primaire` (pg_basebackup of the running primary,
    // with the settings that make it follow it) and starts it, read-only, on a port of its own.
    bool demarrerSecours(const ClusterPostgres &primaire);
    // Promotes the standby: it stops following and accepts writes; true once it does.
    bool promouvoir();
    // Stops the server (fast shutdown: sessions are ended) and starts it again on the same port.
    bool arreter();
    bool redemarrer();
    QString erreur() const { return m_erreur; }
    // From the next start on, the server speaks TLS (ssl=on) with this certificate and key, copied
    // into its folder, and logs every connection (whether it was encrypted). False when a file
    // could not be copied.
    bool activerTls(const QString &certificat, const QString &cle);
    // The server's log so far.
    QString journal() const;

    int port() const { return m_port; }
    // The superuser and its password.
    static QString administrateur() { return QStringLiteral("orvane_admin"); }
    static QString motDePasseAdministrateur() { return QStringLiteral("Adm1n-secret"); }
    // A connection URI for `utilisateur` on `base`, with `requete` (libpq options) appended.
    QString adresse(const QString &base, const QString &utilisateur = administrateur(),
                    const QString &requete = QString()) const;
    // Runs `sql` as the superuser on `base` (psql); false with psql's output in erreur().
    bool executer(const QString &base, const QString &sql);
    // Runs `sql` and returns the one value of its first row ("" when none), as text.
    QString valeur(const QString &base, const QString &sql);

private:
    // The folder of the cluster's files and sockets; false when it cannot be made the server's.
    bool preparerDossier();
    bool commande(const QString &programme, const QStringList &arguments, QString *sortie = nullptr);

    QTemporaryDir m_dossier;
    QString m_binaires;
    QString m_erreur;
    int m_port = 0;
    bool m_demarre = false;
    bool m_tls = false;
};
