#pragma once

#include "stockageregistre.h"

#include <QSet>

#include <memory>

struct ColonneAjoutee;

// The register in one SQLite file (mcf.s3db beside the engine), through Qt's "QSQLITE" driver on a
// named connection. Values are always bound, never pasted into the statements.
class StockageSqlite : public StockageRegistre
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

    QString erreur() const override { return m_erreur; }
    bool enTransaction(const std::function<bool()> &travail) override;
    bool lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat) override;
    bool lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale) override;
    bool ajouterFacture(const QString &reference, const ResultatFiscal &resultat) override;
    bool factureInserable(const QString &reference) override;
    bool lireLigne(const QString &reference, std::optional<LigneJournal> &ligne) override;
    bool lireLignes(const QString &chemin, const QString &destination, QList<LigneJournal> &lignes) override;
    bool ecrireLigne(const LigneJournal &ligne) override;

private:
    explicit StockageSqlite(const QString &nomConnexion);
    bool executer(const QString &sql);
    void preparerTables();
    void lireColonnes();
    // The added journal columns this file has, in their order.
    QList<const ColonneAjoutee *> ajoutees() const;
    static QString selectionJournal(const QList<const ColonneAjoutee *> &ajoutees);

    QString m_nomConnexion;
    QString m_erreur;
    // The journal's columns (some added after the first version, absent from an older file opened
    // as it is); none when there is no journal. `m_journalLu`: the file could be asked at all.
    QSet<QString> m_colonnes;
    bool m_journalLu = false;
};
