#pragma once

#include "resultatfiscal.h"

#include <invoice.h>

#include <QString>
#include <optional>

// The invoice register: table `facture` of the SQLite file mcf.s3db, one row per certified invoice.
// Values are always bound, never pasted into the statements, so any reference text is safe.
class Registre
{
public:
    explicit Registre(const QString &nomConnexion);
    ~Registre();
    Registre(const Registre &) = delete;
    Registre &operator=(const Registre &) = delete;

    // Opens (or creates) the database file and makes sure table `facture` exists.
    bool ouvrir(const QString &chemin);
    void fermer();
    bool estOuvert() const { return m_ouvert; }

    // First row of the refunded invoice `reference`; nothing when absent or when the query fails.
    std::optional<FactureOriginale> trouverOriginale(const QString &reference) const;
    // Stored result of `reference` (duplicate check); nothing when absent or when the query fails.
    std::optional<ResultatFiscal> chercher(const QString &reference) const;
    // Adds one row; false when the statement fails.
    bool enregistrer(const QString &reference, const ResultatFiscal &resultat);

private:
    QString m_nomConnexion;
    bool m_ouvert = false;
};
