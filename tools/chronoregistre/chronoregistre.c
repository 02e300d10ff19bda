/* Loaded into orvane-engine by scripts/bench-registre (LD_PRELOAD): counts the calls the register
 * makes that wait for its database and the time spent in them, and appends one line per run to the
 * file named by ORVANE_CHRONO_FICHIER at exit:
 *   <pid> <connexion ns> <allers-retours PostgreSQL> <ns PostgreSQL> <appels SQLite> <ns SQLite> <connexions>
 * A PostgreSQL round trip is one statement sent on its own (PQexecParams, PQexec, PQsendQuery) or one pipeline
 * (its statements queued with PQsendQueryParams, sent with PQpipelineSync, their results read with
 * PQgetResult, timed, not counted again). The connection (PQconnectdbParams: TCP, the session's
 * start, authentication) is timed and counted apart. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long long connexionNs, pgNs, sqliteNs;
static long pgAppels, sqliteAppels, connexions;
/* libpq's PQexec and PQexecParams go through its own PQsendQuery and PQgetResult: the same round trip. */
static int dansExec;

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
typedef unsigned int Oid;
PGconn *PQconnectdb(const char *conninfo);
PGconn *PQconnectdbParams(const char *const *keywords, const char *const *values, int expand_dbname);
PGresult *PQexec(PGconn *conn, const char *query);
PGresult *PQexecParams(PGconn *conn, const char *command, int nParams, const Oid *paramTypes,
                       const char *const *paramValues, const int *paramLengths, const int *paramFormats,
                       int resultFormat);
int PQsendQueryParams(PGconn *conn, const char *command, int nParams, const Oid *paramTypes,
                      const char *const *paramValues, const int *paramLengths, const int *paramFormats,
                      int resultFormat);
int PQpipelineSync(PGconn *conn);
int PQsendQuery(PGconn *conn, const char *query);
PGresult *PQgetResult(PGconn *conn);

/* Qt's QPSQL driver, which earlier versions of the engine used, connects with PQconnectdb. */
PGconn *PQconnectdb(const char *conninfo)
{
    SUIVANT(PQconnectdb);
    const long long debut = maintenant();
    PGconn *c = suivant(conninfo);
    connexionNs += maintenant() - debut;
    ++connexions;
    return c;
}

PGconn *PQconnectdbParams(const char *const *keywords, const char *const *values, int expand_dbname)
{
    SUIVANT(PQconnectdbParams);
    const long long debut = maintenant();
    PGconn *c = suivant(keywords, values, expand_dbname);
    connexionNs += maintenant() - debut;
    ++connexions;
    return c;
}

/* ORVANE_CHRONO_TRACE set: every statement on standard error, to see where round trips go; the
 * statements of one pipeline are marked "|" and its round trip "pipeline". */
static void tracer(const char *prefixe, const char *query)
{
    if (getenv("ORVANE_CHRONO_TRACE"))
        fprintf(stderr, "chrono: %s%.160s\n", prefixe, query);
}

/* One statement on its own: one round trip. PQexec and PQexecParams wait for their result inside
 * the call (libpq's own PQgetResult then not timed again). */
PGresult *PQexec(PGconn *conn, const char *query)
{
    SUIVANT(PQexec);
    tracer("", query);
    const long long debut = maintenant();
    ++dansExec;
    PGresult *r = suivant(conn, query);
    --dansExec;
    pgNs += maintenant() - debut;
    ++pgAppels;
    return r;
}

PGresult *PQexecParams(PGconn *conn, const char *command, int nParams, const Oid *paramTypes,
                       const char *const *paramValues, const int *paramLengths, const int *paramFormats,
                       int resultFormat)
{
    SUIVANT(PQexecParams);
    tracer("", command);
    const long long debut = maintenant();
    ++dansExec;
    PGresult *r = suivant(conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
                          resultFormat);
    --dansExec;
    pgNs += maintenant() - debut;
    ++pgAppels;
    return r;
}

/* A statement sent on its own, its result read with PQgetResult (as Qt's QPSQL driver, which earlier
 * versions of the engine used, sends them): one round trip. */
int PQsendQuery(PGconn *conn, const char *query)
{
    SUIVANT(PQsendQuery);
    if (dansExec)
        return suivant(conn, query);
    tracer("", query);
    const long long debut = maintenant();
    int r = suivant(conn, query);
    pgNs += maintenant() - debut;
    ++pgAppels;
    return r;
}

/* In a pipeline each statement is only queued; the synchronisation sends them and is the round trip. */
int PQsendQueryParams(PGconn *conn, const char *command, int nParams, const Oid *paramTypes,
                      const char *const *paramValues, const int *paramLengths, const int *paramFormats,
                      int resultFormat)
{
    SUIVANT(PQsendQueryParams);
    if (!dansExec)
        tracer("| ", command);
    const long long debut = maintenant();
    int r = suivant(conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats, resultFormat);
    if (!dansExec)
        pgNs += maintenant() - debut;
    return r;
}

int PQpipelineSync(PGconn *conn)
{
    SUIVANT(PQpipelineSync);
    tracer("", "pipeline");
    const long long debut = maintenant();
    int r = suivant(conn);
    pgNs += maintenant() - debut;
    ++pgAppels;
    return r;
}

PGresult *PQgetResult(PGconn *conn)
{
    SUIVANT(PQgetResult);
    if (dansExec)
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
            sqliteNs, connexions);
    fclose(f);
}
