#include "formats.h"

#include <QLocale>

#include <cmath>

namespace {

const QLocale &francais()
{
    static const QLocale locale(QLocale::French);
    return locale;
}

} // namespace

QString texteEntier(double valeur)
{
    // Adding 0.0 turns a -0 (from a small negative value or a credit note of 0) into 0.
    return francais().toString(std::round(valeur) + 0.0, 'f', 0);
}

QString texteMontant(double valeur, int signe)
{
    return texteEntier(signe * valeur);
}

QString texteQuantite(double valeur)
{
    return francais().toString(valeur, 'g', 14);
}

QString remplacerSeparateurGroupes(QString texte)
{
    return texte.replace(francais().groupSeparator(), QStringLiteral(" "));
}
