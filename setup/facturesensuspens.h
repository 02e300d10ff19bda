#pragma once

#include <adresseregistre.h>
#include <lignejournal.h>

#include <QList>
#include <QString>

// One invoice whose certification is not finished, with what the page shows of it.
struct FactureEnSuspens
{
    LigneJournal ligne;
    QString chemin;       // "MCF COM3", "e-MCF https://..."
    QString etat;         // the journal's name of its state
    QString depuis;       // when its state last changed, in local time
    QString conseil;      // what the operator should check first
    bool enCours = false; // a live run holds it
    bool abandonnable = false;
};

// The register's invoices in suspense, or why they could not be read.
struct ListeEnSuspens
{
    bool lisible = false;
    QString erreur; // the register's reason when it is not readable
    QList<FactureEnSuspens> factures;
};

// What the operator's release came to.
struct IssueAbandonPage
{
    bool abandonnee = false;
    QString texte; // the engine's own text for it, without its line end
};

// The register beside orvane-engine as orvane-setup uses it. It is opened for each action and
// closed right after, so that the dialog never holds the file between two clicks; only an existing
// file is opened and nothing but the operator's release is ever written to it.
class FacturesEnSuspens
{
public:
    // mcf.s3db in the folder of this program, where orvane-engine keeps it.
    static QString cheminParDefaut();

    explicit FacturesEnSuspens(const QString &cheminRegistre = cheminParDefaut());

    QString cheminRegistre() const { return m_emplacement.fichier; }
    // The register the page reads: the shared one when its address is set, else the file.
    const EmplacementRegistre &emplacement() const { return m_emplacement; }
    void definirCheminRegistre(const QString &chemin) { m_emplacement.fichier = chemin; }
    // The shared register when its address is set, else the file.
    void definirEmplacement(const EmplacementRegistre &emplacement)
    {
        const QString fichier = m_emplacement.fichier;
        m_emplacement = emplacement;
        m_emplacement.fichier = fichier;
    }

    // Connects to the register at `emplacement` without creating anything and says, in one line,
    // whether it can be used; never with the password.
    static QString tester(const EmplacementRegistre &emplacement);

    ListeEnSuspens lire() const;
    // Does what "orvane-engine --abandonner REFERENCE" does.
    IssueAbandonPage abandonner(const QString &reference) const;

    // What the page says of the chosen invoice: where it stands and what to check.
    static QString texteDetail(const FactureEnSuspens &facture);
    // The question asked before releasing `ligne`.
    static QString questionAbandon(const LigneJournal &ligne);
    // "MCF" or "e-MCF" and the port or the endpoint.
    static QString texteChemin(const LigneJournal &ligne);
    // An ISO 8601 UTC time as local date and time; an unreadable one as it is.
    static QString texteDepuis(const QString &instantUtc);

private:
    EmplacementRegistre m_emplacement;
};
