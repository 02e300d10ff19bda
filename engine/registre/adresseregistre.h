#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Where the register is: the SQLite file beside the engine, or a PostgreSQL database named by a
// connection URI in libpq's form (postgresql://user@host:port/database?sslmode=...), which may list
// several servers (postgresql://user@primaire:5432,secours:5432/base?target_session_attrs=read-write).
struct EmplacementRegistre
{
    QString fichier;        // SQLite file, used when `adresse` is empty
    QString adresse;        // PostgreSQL connection URI
    QString motDePasse;     // PostgreSQL password; empty: the URI's, else PostgreSQL's password file
    int delaiConnexion = 5; // seconds to connect
    int delaiRequete = 10;  // seconds for each statement, and for a dead server to be noticed

    bool partage() const { return !adresse.isEmpty(); }
};

// A PostgreSQL connection as libpq takes it.
struct ConnexionPostgres
{
    QString hote; // one host, or several separated by ","
    QString port; // empty: libpq's default; several separated by "," for several hosts
    QString base;
    QString utilisateur;
    QString motDePasse;
    // libpq keywords and values from the URI's query, in order.
    QList<QPair<QString, QString>> options;
};

// Reads a libpq connection URI; nothing, with the reason in `erreur` (which never holds the
// password), when it is not one this program can pass on.
std::optional<ConnexionPostgres> lireAdresseRegistre(const QString &adresse, QString &erreur);

// The URI without its password, to show.
QString adresseSansSecret(const QString &adresse);
