#pragma once

#include "adresseregistre.h"
#include "stockagesql.h"

#include <memory>

// The register shared by the tills of a shop in one PostgreSQL database, through Qt's "QPSQL"
// driver: the same tables as the SQLite file, and the schema's version in table
// `version_registre`.
//
// A run is its database session. When it opens the register it takes a session-level advisory lock
// on a number of its own (from sequence `execution_registre`), recorded as the holder of the
// references it claims; the holder lives while the lock is held. The server frees the lock when the
// session ends, however it ends: the run exits, is killed, its machine stops or the network drops
// it. Across machines a process id proves nothing, and the session is the one thing the server
// itself knows to be alive.
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

    // Connects to `emplacement.adresse` on the connection `nomConnexion`; nothing, with the reason in
    // `erreur`, when the server cannot be reached or the tables cannot be made ready.
    static std::unique_ptr<StockagePostgres> ouvrir(const QString &nomConnexion,
                                                    const EmplacementRegistre &emplacement, Ouverture mode,
                                                    QString &erreur);

    TitulaireExecution titulaire() override { return m_titulaire; }
    bool titulaireVivant(const TitulaireExecution &titulaire) override;
    bool enTransaction(const std::function<bool()> &travail) override;
    bool factureInserable(const QString &reference) override;
    bool enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                            const std::optional<MontantsFacture> &montants, const LigneJournal &avant,
                            const LigneJournal &ligne, bool &ecrite) override;
    void prevoirEssaiFacture(const QString &reference) override { m_essaiPrevu = reference; }

protected:
    bool commencerEcriture() override;
    bool valeursDansLeTexte() const override { return true; }
    QString instructionEcriture(const QString &noms, const QString &marques) const override;
    void lireColonnes() override;

private:
    explicit StockagePostgres(const QString &nomConnexion);
    bool preparerTables();
    // The schema (for the locks' key) and the tables' version, in one question; false when there is
    // no version table yet.
    bool lireSchemaEtVersion(int &version);
    bool prendreSession();
    bool lireCle();

    TitulaireExecution m_titulaire;
    int m_cle = 0; // first key of this register's advisory locks
    // The reference whose trial the next transaction makes as it starts, and the one the current
    // transaction made (its success known once a later statement of the transaction succeeded).
    QString m_essaiPrevu;
    QString m_essaiFait;
    quint64 m_reussiesAvantEssai = 0;
};
