#pragma once

#include "schemaregistre.h"
#include "stockageregistre.h"

#include <QSet>
#include <QVariantList>

class QSqlQuery;

// What the SQL databases of the register have in common: the statements that read and write rows,
// on a named connection of Qt's SQL module, with every value bound, never pasted into a statement.
// Each database adds how it is opened, how its tables are made, how a write transaction is taken
// and how a journal row is written over.
class StockageSql : public StockageRegistre
{
public:
    ~StockageSql() override;

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
    explicit StockageSql(const QString &nomConnexion);

    // Starts a transaction that no other run can write beside until it ends.
    virtual bool commencerEcriture() = 0;
    // The statement that writes the journal columns `noms` (placeholders `marques`) over the row of
    // the same reference, or adds it.
    virtual QString instructionEcriture(const QString &noms, const QString &marques) const = 0;
    // The names of the journal's columns, into m_colonnes; m_journalLu when the database answered.
    virtual void lireColonnes() = 0;

    bool executer(const QString &sql);
    // Runs `sql` with its "?" standing for `valeurs`, in order; false with the reason in m_erreur.
    bool executer(QSqlQuery &q, const QString &sql, const QVariantList &valeurs);
    // `sql` with each "?" (never one inside a value) replaced by the next of `valeurs`, quoted by the
    // driver as a literal of its database.
    QString texteAvecValeurs(const QString &sql, const QVariantList &valeurs) const;
    // The statement and values of remplacerLigne: an update of the row of `ligne.reference` that
    // applies only while the row is `avant`.
    QPair<QString, QVariantList> instructionRemplacement(const LigneJournal &avant,
                                                         const LigneJournal &ligne) const;
    // The trial row of factureInserable, its reference a "?".
    static QString instructionEssaiFacture();
    // The values of table `facture`'s seven columns for a row.
    static QVariantList valeursFacture(const QString &reference, const ResultatFiscal &resultat);
    // True where the driver spends round trips to the server on preparing a statement: values are
    // then written into its text as literals, quoted by the driver, instead of bound.
    virtual bool valeursDansLeTexte() const { return false; }

    QString m_nomConnexion;
    QString m_erreur;
    // The database's own code of the last failure (SQLSTATE on PostgreSQL).
    QString m_codeErreur;
    // Statements that succeeded on this connection.
    quint64 m_reussies = 0;
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
    void retenirErreur(const QSqlQuery &q);
};
