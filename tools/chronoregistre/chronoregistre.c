/* Loaded into orvane-engine by scripts/bench-registre (LD_PRELOAD): counts the calls the register
 * makes that wait for its database and the time spent in them, and appends one line per run to the
 * file named by ORVANE_CHRONO_FICHIER at exit:
 *   <pid> <connexion ns> <appels PostgreSQL> <ns PostgreSQL> <appels SQLite> <ns SQLite> <appels du pilote>
 * A PostgreSQL call is one round trip to the server: Qt's driver sends each statement with PQexec
 * or PQsendQuery (its result then read with PQgetResult, timed, not counted again). The last column
 * counts, among them, the statements Qt's driver itself sends as it opens a connection (the
 * server's version, the encoding, the date style...), which the register does not choose. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long long connexionNs, pgNs, sqliteNs;
static long pgAppels, sqliteAppels, piloteAppels;
/* libpq's PQexec goes through its own PQsendQuery: that one is the same round trip. */
static int dansPQexec;

static long long maintenant(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

/* The database libraries are loaded by Qt's driver plugins, outside the global scope that RTLD_NEXT
 * searches: the real function is then taken from the library already loaded. */
static void *reel(const char *nom, const char *bibliotheque)
{
    void *f = dlsym(RTLD_NEXT, nom);
    if (!f) {
        void *b = dlopen(bibliotheque, RTLD_NOW | RTLD_NOLOAD);
        if (b)
            f = dlsym(b, nom);
    }
    if (!f)
        abort();
    return f;
}

#define SUIVANT_DE(nom, bibliotheque)                                                              \
    static __typeof__(nom) *suivant;                                                               \
    if (!suivant)                                                                                  \
    suivant = (__typeof__(nom) *)reel(#nom, bibliotheque)
#define SUIVANT(nom) SUIVANT_DE(nom, "libpq.so.5")
#define SUIVANT_SQLITE(nom) SUIVANT_DE(nom, "libsqlite3.so.0")

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
PGconn *PQconnectdb(const char *conninfo);
PGresult *PQexec(PGconn *conn, const char *query);
int PQsendQuery(PGconn *conn, const char *query);
PGresult *PQgetResult(PGconn *conn);

PGconn *PQconnectdb(const char *conninfo)
{
    SUIVANT(PQconnectdb);
    const long long debut = maintenant();
    PGconn *c = suivant(conninfo);
    connexionNs += maintenant() - debut;
    return c;
}

/* The statements Qt's QPSQL driver sends on its own when it opens a connection. */
static int duPilote(const char *query)
{
    static const char *const ouverture[] = {"SELECT version()", "SELECT '\\\\' x",
                                            "SET CLIENT_ENCODING TO 'UNICODE'", "SET DATESTYLE TO 'ISO'",
                                            "SET bytea_output TO escape"};
    for (size_t i = 0; i < sizeof ouverture / sizeof *ouverture; ++i) {
        if (strcmp(query, ouverture[i]) == 0)
            return 1;
    }
    return 0;
}

/* ORVANE_CHRONO_TRACE set: every statement on standard error, to see where round trips go. */
static void tracer(const char *query)
{
    if (getenv("ORVANE_CHRONO_TRACE"))
        fprintf(stderr, "chrono: %.160s\n", query);
}

PGresult *PQexec(PGconn *conn, const char *query)
{
    SUIVANT(PQexec);
    tracer(query);
    const long long debut = maintenant();
    ++dansPQexec;
    PGresult *r = suivant(conn, query);
    --dansPQexec;
    pgNs += maintenant() - debut;
    ++pgAppels;
    piloteAppels += duPilote(query);
    return r;
}

int PQsendQuery(PGconn *conn, const char *query)
{
    SUIVANT(PQsendQuery);
    if (dansPQexec)
        return suivant(conn, query);
    tracer(query);
    const long long debut = maintenant();
    int r = suivant(conn, query);
    pgNs += maintenant() - debut;
    ++pgAppels;
    piloteAppels += duPilote(query);
    return r;
}

PGresult *PQgetResult(PGconn *conn)
{
    SUIVANT(PQgetResult);
    if (dansPQexec)
        return suivant(conn);
    const long long debut = maintenant();
    PGresult *r = suivant(conn);
    pgNs += maintenant() - debut;
    return r;
}

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;
int sqlite3_open_v2(const char *nom, sqlite3 **db, int drapeaux, const char *vfs);
int sqlite3_prepare16_v2(sqlite3 *db, const void *sql, int n, sqlite3_stmt **stmt, const void **fin);
int sqlite3_step(sqlite3_stmt *stmt);
int sqlite3_close(sqlite3 *db);

int sqlite3_open_v2(const char *nom, sqlite3 **db, int drapeaux, const char *vfs)
{
    SUIVANT_SQLITE(sqlite3_open_v2);
    const long long debut = maintenant();
    int r = suivant(nom, db, drapeaux, vfs);
    connexionNs += maintenant() - debut;
    return r;
}

int sqlite3_prepare16_v2(sqlite3 *db, const void *sql, int n, sqlite3_stmt **stmt, const void **fin)
{
    SUIVANT_SQLITE(sqlite3_prepare16_v2);
    const long long debut = maintenant();
    int r = suivant(db, sql, n, stmt, fin);
    sqliteNs += maintenant() - debut;
    return r;
}

int sqlite3_step(sqlite3_stmt *stmt)
{
    SUIVANT_SQLITE(sqlite3_step);
    const long long debut = maintenant();
    int r = suivant(stmt);
    sqliteNs += maintenant() - debut;
    ++sqliteAppels;
    return r;
}

int sqlite3_close(sqlite3 *db)
{
    SUIVANT_SQLITE(sqlite3_close);
    const long long debut = maintenant();
    int r = suivant(db);
    sqliteNs += maintenant() - debut;
    return r;
}

__attribute__((destructor)) static void ecrire(void)
{
    const char *fichier = getenv("ORVANE_CHRONO_FICHIER");
    if (!fichier)
        return;
    FILE *f = fopen(fichier, "a");
    if (!f)
        return;
    fprintf(f, "%d %lld %ld %lld %ld %lld %ld\n", (int)getpid(), connexionNs, pgAppels, pgNs, sqliteAppels,
            sqliteNs, piloteAppels);
    fclose(f);
}
