#pragma once

#include "stockagesql.h"

#include <memory>

// The register in one SQLite file (mcf.s3db beside the engine), through Qt's "QSQLITE" driver on a
// named connection, every value bound. The schema's version is kept in SQLite's user_version.
class StockageSqlite : public StockageSql
{
public:
    enum class Ouverture {
        // The engine: the file and its tables are created when missing, older tables are brought
        // up to date.
        CreerOuMettreAJour,
        // The operator's tools: only a file that exists is opened; nothing is created nor altered.
        Existant,
    };

    // Opens `chemin` on the connection `nomConnexion`; nothing, with the reason in `erreur`, when
    // the file cannot be opened. A file that is not a usable register still opens: its statements
    // then fail with SQLite's reason.
    static std::unique_ptr<StockageSqlite> ouvrir(const QString &nomConnexion, const QString &chemin,
                                                  Ouverture mode, QString &erreur);
    ~StockageSqlite() override;

    // A run is the process that runs the engine on this machine.
    TitulaireExecution titulaire() override;
    bool titulaireVivant(const TitulaireExecution &titulaire) override;

protected:
    // One statement after another: SQLite is in this process, there is no round trip to save.
    bool executerSuite(const QList<InstructionSql> &instructions, QList<ReponseSql> *reponses) override;
    bool commencerEcriture() override;
    QString instructionEcriture(const QString &noms, const QString &marques) const override;
    void lireColonnes() override;

private:
    explicit StockageSqlite(const QString &nomConnexion);
    void preparerTables();

    QString m_nomConnexion;
};
