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

double nombreEntree(const QString &texte)
{
    bool ok = false;
    const double valeur = texte.toDouble(&ok);
    return ok ? valeur : 0;
}

bool estNombreEntree(const QString &texte)
{
    bool ok = false;
    texte.toDouble(&ok);
    return ok;
}

QString entierFrancais(double valeur)
{
    // std::round rounds halves away from zero; adding 0.0 turns a -0 (a small negative value, a
    // credit note of 0) into 0.
    return francais().toString(std::round(valeur) + 0.0, 'f', 0);
}

QString texteMontant(double valeur, int signe)
{
    return entierFrancais(signe * valeur);
}

QString texteQuantite(double valeur)
{
    return francais().toString(valeur, 'g', 14);
}

QString quatreDecimales(double valeur)
{
    return QString::asprintf("%.4f", valeur);
}

QString remplacerSeparateurGroupes(QString texte)
{
    return texte.replace(francais().groupSeparator(), QStringLiteral(" "));
}
