#include "ligneentree.h"

QStringList champsLigne(const QString &ligne)
{
    QStringList champs = ligne.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    for (QString &c : champs)
        c = c.trimmed();
    return champs;
}

QString champLigne(const QStringList &champs, int position)
{
    return position < champs.size() ? champs.at(position) : QString();
}

double nombreEntree(const QString &texte)
{
    bool ok = false;
    const double valeur = texte.toDouble(&ok);
    return ok ? valeur : 0;
}
