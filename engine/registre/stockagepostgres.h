#pragma once

#include "adresseregistre.h"
#include "stockagesql.h"

#include <memory>

struct pg_conn;

// The register shared by the tills of a shop in one PostgreSQL database, through libpq itself: the
// same tables as the SQLite file, and the schema's version in table `version_registre`. Every value
// is a bound parameter. Statements that go together travel in one pipeline (one round trip), each
// with its own result.
//
// A run is its database session. When it opens the register it takes a number of its own (from
// sequence `execution_registre`) and, with its first statement after that, a session-level advisory
// lock on it; the number is recorded as the holder of the references it claims, and the holder
// lives while the lock is held. The server frees the lock when the session ends, however it ends:
// the run exits, is killed, its machine stops or the network drops it. Across machines a process id
// proves nothing, and the session is the one thing the server itself knows to be alive. A session
// that is lost is never replaced: the run cannot go on as if it still held its references.
//
// Write transactions are taken one at a time across all tills (a transaction-level advisory lock),
// as SQLite's writer lock does for one file, so that two tills never both read a reference as free.
class StockagePostgres : public StockageSql
{
public:
    enum class Ouverture {
        CreerOuMettreAJour, // the engine: missing tables are created, older ones brought up to date
        Existant,           // the operator's tools: nothing is created nor altered
    };

    // Connects to `emplacement.adresse` (one server or several, libpq picking by the address's
    // target_session_attrs); nothing, with the reason in `erreur`, when no server can be reached or
    // the tables cannot be made ready.
    static std::unique_ptr<StockagePostgres> ouvrir(const EmplacementRegistre &emplacement, Ouverture mode,
                                                    QString &erreur);
    ~StockagePostgres() override;

    TitulaireExecution titulaire() override { return m_titulaire; }
    bool titulaireVivant(const TitulaireExecution &titulaire) override;
    bool enTransaction(const std::function<bool()> &travail) override;
    bool factureInserable(const QString &reference) override;
    bool lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                            std::optional<LigneJournal> &ligne) override;
    bool ecrireLigne(const LigneJournal &ligne) override;
    bool enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                            const std::optional<MontantsFacture> &montants, const LigneJournal &avant,
                            const LigneJournal &ligne, bool &ecrite) override;
    void prevoirReclamation(const QString &reference) override { m_reclamationPrevue = reference; }

protected:
    bool executerSuite(const QList<InstructionSql> &instructions, QList<ReponseSql> *reponses) override;
    bool commencerEcriture() override;
    bool annulerTransaction() override;
    QString instructionEcriture(const QString &noms, const QString &marques) const override;
    void lireColonnes() override;

private:
    StockagePostgres() = default;
    bool preparerTables();
    // The schema (for the locks' key), the tables' version and this run's number, in one exchange;
    // false when there is no version table yet. `numero` is 0 when the sequence is missing.
    bool lireSchemaEtVersion(int &version, qint64 &numero, bool avecNumero);
    bool lireCle();
    bool prendreNumero(qint64 &numero);
    void retenirTitulaire(qint64 numero);
    // Judges a failed result or a lost connection, in one place: the reason into m_erreur, and a
    // lost session is remembered so that nothing more is sent on it.
    void constaterEchec(const struct pg_result *resultat);

    pg_conn *m_connexion = nullptr;
    // The session ended (server gone, connection dropped, session terminated): every later
    // statement fails with this reason.
    QString m_sessionPerdue;
    TitulaireExecution m_titulaire;
    int m_cle = 0; // first key of this register's advisory locks
    // Statements sent in front of the next exchange: the session lock once the run's number is
    // known, and the writes of the current transaction whose only answer is success (a failure
    // fails the statement after them, at the latest the commit).
    QList<InstructionSql> m_enAttente;
    int m_ecrituresEnAttente = 0; // the last ones of m_enAttente
    bool m_dansTransaction = false;
    // The claim announced for the next transaction, and what its opening learnt of it.
    QString m_reclamationPrevue;
    QString m_essaiFait;
    bool m_essaiReussi = false;
    QString m_raisonEssai;
    std::optional<ReponseSql> m_lecturePrevue;
};
