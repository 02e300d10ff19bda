#pragma once

#include <QString>

#include <optional>

// The words of the documents that depend on the country, the invoice type or a code.

struct Vocabulaire
{
    QString nomModule;      // "MECeF" / "SECeF"
    QString libelleRetenue; // "AIB" / "Précompte ISB"
    QString libelleNumero;  // "IFU" / "NIF"
};

Vocabulaire vocabulaire(const QString &pays);

// Title, client heading, A4 closing sentence and net label of a known invoice type.
struct TypeFacture
{
    QString titre;
    QString enteteClient;
    QString phraseFinale;       // A4 closing sentence, before the amount (after the company name
    bool parEntreprise = false; // when the sentence begins with it)
    QString libelleNet;

    // The closing sentence with `entreprise`, as the document writes the company name.
    QString phrase(const QString &entreprise) const
    {
        return parEntreprise ? entreprise + phraseFinale : phraseFinale;
    }
};

// Nothing for a type other than FV, FA, EV, EA, FT and ET.
std::optional<TypeFacture> typeFacture(const QString &code);

// " 18 %" or " 19 %"... after "TVA [group]" in the tax-group summary; empty when the group has none.
QString libelleTaux(const QString &pays, const QString &groupe);

// "Virement", "Espèces"... for a payment code; empty for an unknown code.
QString libellePaiement(const QString &code);
