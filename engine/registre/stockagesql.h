#pragma once

#include "schemaregistre.h"
#include "stockageregistre.h"

#include <QSet>
#include <QVariantList>

// One statement and its values: each "?" of `sql` (never one inside a literal) stands for the next
// of `valeurs`, bound by the database's client, never written into the text.
struct InstructionSql
{
    QString sql;
    QVariantList valeurs;
};

// What one statement answered: its rows, each column a text (a null QVariant for SQL null), and
// how many rows it changed.
struct ReponseSql
{
    QList<QVariantList> lignes;
    qint64 modifiees = 0;
};

// What the SQL databases of the register have in common: the statements that read and write rows.
// Each database adds how statements reach it, how it is opened, how its tables are made, how a
// write transaction is taken and how a journal row is written over.
class StockageSql : public StockageRegistre
{
public:
    QString erreur() const override { return m_erreur; }
    bool enTransaction(const std::function<bool()> &travail) override;
    bool lireFacture(const QString &reference, std::optional<ResultatFiscal> &resultat) override;
    bool lireFactures(QList<QPair<QString, ResultatFiscal>> &factures) override;
    bool lireOriginale(const QString &reference, std::optional<FactureOriginale> &originale) override;
    bool ajouterFacture(const QString &reference, const ResultatFiscal &resultat) override;
    bool factureInserable(const QString &reference) override;
    bool lireLigne(const QString &reference, std::optional<LigneJournal> &ligne) override;
    bool lireLignes(const QString &chemin, const QString &destination, QList<LigneJournal> &lignes) override;
    bool ecrireLigne(const LigneJournal &ligne) override;
    bool lireFactureEtLigne(const QString &reference, std::optional<ResultatFiscal> &resultat,
                            std::optional<LigneJournal> &ligne) override;
    bool remplacerLigne(const LigneJournal &avant, const LigneJournal &ligne, bool &ecrite) override;
    bool enregistrerFacture(const QString &reference, const ResultatFiscal &resultat,
                            const std::optional<MontantsFacture> &montants, const LigneJournal &avant,
                            const LigneJournal &ligne, bool &ecrite) override;
    bool ajouterMontants(const MontantsFacture &montants) override;
    bool lireMontants(const PeriodeCertification &periode, QList<MontantsFacture> &montants) override;

protected:
    StockageSql() = default;

    // Runs `instructions` in order, as one exchange with the database where it can; each answer in
    // `reponses` (when given) in the same order. Stops at the first that fails: false, with the
    // reason in m_erreur, `reponses` holding the answers of those before it; nothing after it is
    // applied.
    virtual bool executerSuite(const QList<InstructionSql> &instructions, QList<ReponseSql> *reponses) = 0;
    // Starts a transaction that no other run can write beside until it ends.
    virtual bool commencerEcriture() = 0;
    // The statement that writes the journal columns `noms` (placeholders `marques`) over the row of
    // the same reference, or adds it.
    virtual QString instructionEcriture(const QString &noms, const QString &marques) const = 0;
    // The names of the journal's columns, into m_colonnes; m_journalLu when the database answered.
    virtual void lireColonnes() = 0;

    // Ends the current transaction without keeping anything of it.
    virtual bool annulerTransaction();
    // The statement and values that write the whole journal row `ligne` (ecrireLigne).
    InstructionSql instructionLigne(const LigneJournal &ligne) const;
    // One statement; its answer in `reponse` when given.
    bool executer(const QString &sql, const QVariantList &valeurs = {}, ReponseSql *reponse = nullptr);
    // The statement and values of remplacerLigne: an update of the row of `ligne.reference` that
    // applies only while the row is `avant`.
    InstructionSql instructionRemplacement(const LigneJournal &avant, const LigneJournal &ligne) const;
    // The trial row of factureInserable.
    static InstructionSql instructionEssaiFacture(const QString &reference);
    // The values of table `facture`'s seven columns for a row.
    static QVariantList valeursFacture(const QString &reference, const ResultatFiscal &resultat);
    // The statement of lireFactureEtLigne, and the reading of its answer.
    InstructionSql instructionFactureEtLigne(const QString &reference) const;
    bool lireFactureEtLigneDe(const ReponseSql &reponse, std::optional<ResultatFiscal> &resultat,
                              std::optional<LigneJournal> &ligne);
    // Reads a journal row from `colonnes`, from column `d` on.
    LigneJournal ligneDepuis(const QVariantList &colonnes, int d = 0) const;

    QString m_erreur;
    // The journal's columns (some added after the first version, absent from an older register
    // opened as it is); none when there is no journal. `m_journalLu`: the database could be asked.
    QSet<QString> m_colonnes;
    bool m_journalLu = false;
    // Whether table `montants_facture` is there; asked at its first use when not known.
    std::optional<bool> m_montants;
    bool montantsPresents();

private:
    // The added journal columns this register has, in their order.
    QList<const ColonneAjoutee *> ajoutees() const;
    static QString selectionJournal(const QList<const ColonneAjoutee *> &ajoutees);
    // The journal's columns in the order every statement lists them, each after `prefixe`.
    static QStringList nomsJournal(const QList<const ColonneAjoutee *> &ajoutees,
                                   const QString &prefixe = QString());
};
