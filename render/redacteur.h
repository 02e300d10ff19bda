#pragma once

#include "etatfiscal.h"
#include "resultatlu.h"
#include "vocabulaire.h"

#include <invoice.h>
#include <parametres.h>

#include <QString>

#include <optional>

// Everything a document is made of: the invoice, its totals, the settings and the fiscal result.
struct DonneesDocument
{
    const Invoice &facture;
    const ParametresRendu &parametres;
    std::optional<ResultatLu> resultat; // the fiscal block's result: nothing when it is not printed
    Mention mention;                    // the mark of an invoice that is not certified
    TotauxFacture totaux;
    Vocabulaire mots;
    std::optional<TypeFacture> type;
    int caracteresTicket = 0; // characters on one line of the ticket roll, 0 for no limit
};

// Accumulates the text of one output. The sections common to both outputs write through the tokens
// (line break, bold) and the data filter; each output writes its own blocks at the points where the
// two differ, in document order.
class Redacteur
{
public:
    explicit Redacteur(const DonneesDocument &donnees) : d(donnees) {}
    virtual ~Redacteur() = default;

    const DonneesDocument &d;
    QString texte;

    virtual QString nl() const = 0;
    virtual QString gras(const QString &t) const = 0;
    // Text that comes from the settings, the invoice or the result file.
    virtual QString donnee(const QString &t) const = 0;
    // A space at which no line is broken.
    virtual QString insecable() const = 0;
    QString montant(double valeur) const { return texteMontant(valeur, d.facture.signe); }
    // An amount followed by " F CFA.", never cut from it.
    QString francs(double valeur) const { return montant(valeur) + colle(QStringLiteral(" F CFA.")); }
    bool eco() const { return d.parametres.economieEspace; }

    // `t` with its spaces made non-breaking.
    QString colle(QString t) const { return t.replace(QLatin1Char(' '), insecable()); }
    // A value that is one piece: a reference, a code, a number, a date. No line of the A4 invoice
    // breaks inside it unless it alone is wider than its cell; the ticket folds its own lines.
    virtual QString code(const QString &t) const { return donnee(t); }
    // The space after a label whose value goes whole onto the next line when it does not fit beside
    // the label (the A4 cells); the ticket keeps the two together.
    virtual QString apresLibelle() const { return insecable(); }
    // The " | " between label and value pairs on one line. The ticket breaks a long line there and
    // drops it; the A4 text breaks only before it, so that no line ends with it.
    virtual QString separateur(const QString &s) const { return s; }
    // A bold label and its amount: no line break inside the label nor between it and the amount (an
    // amount is one word).
    QString paire(const QString &libelle, const QString &valeur) const
    {
        return gras(colle(libelle)) + valeur;
    }
    // A bold label and its value (code() or a text, which may wrap between its own words): no line
    // break inside the label; the value goes under it rather than being broken.
    QString champ(const QString &libelle, const QString &valeur) const
    {
        if (!libelle.endsWith(QLatin1Char(' ')))
            return paire(libelle, valeur);
        return gras(colle(libelle.chopped(1)) + apresLibelle()) + valeur;
    }

    Redacteur &operator<<(const QString &t)
    {
        texte += t;
        return *this;
    }
    // A bold label followed by its amount and a line break.
    void ligne(const QString &libelle, const QString &valeur) { texte += paire(libelle, valeur) + nl(); }
    // A bold label followed by its value and a line break.
    void ligneChamp(const QString &libelle, const QString &valeur) { texte += champ(libelle, valeur) + nl(); }

    virtual void ouverture() = 0;         // before the company name
    virtual void mentionEnTete() = 0;     // after the opening: the mark of an invoice not certified
    virtual void mentionFiscale() = 0;    // at the head of the fiscal block: the mark and why
    virtual void dateEtReference() = 0;   // after the company details
    virtual void finEntete() = 0;         // after the purchase order, free line and matricule
    virtual void apresEnteteClient() = 0; // between the client heading and the client name
    virtual void titreEtColonnes() = 0;
    virtual void article(const InvoiceItem &article) = 0;
    virtual void finArticles() = 0;
    virtual void finGroupes() = 0;      // between the tax-group summary and the totals
    virtual void phraseFinale() = 0;    // after the totals and the withholding
    virtual void debutBlocFiscal() = 0; // before the fiscal block, written or not
    virtual void apresConnecteur() = 0;
    virtual void apresCodeFiscal() = 0; // between the fiscal code and the NIM lines
    virtual void apresIsf() = 0;        // end of the fiscal block's texts
    virtual void finBlocFiscal() = 0;   // after the fiscal block, written or not
};
