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
    QString phraseFinale; // A4 closing sentence, before the amount
    QString libelleNet;
};

// Nothing for a type other than FV, FA, EV, EA, FT and ET.
std::optional<TypeFacture> typeFacture(const QString &code, const QString &entreprise);

// " 18 %" or " 19 %"... after "TVA [group]" in the tax-group summary; empty when the group has none.
QString libelleTaux(const QString &pays, const QString &groupe);

// "Virement", "Espèces"... for a payment code; empty for an unknown code.
QString libellePaiement(const QString &code);
