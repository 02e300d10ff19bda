#include "resultatlu.h"

#include <QStringList>
#include <QTextStream>

ResultatLu lireResultat(QTextStream &flux)
{
    QString ligne;
    while (!flux.atEnd() && ligne.isEmpty())
        ligne = flux.readLine();
    QStringList c = ligne.split(QLatin1Char('\t'), Qt::KeepEmptyParts);
    for (QString &champ : c)
        champ = champ.trimmed();
    auto champ = [&c](int position) { return position < c.size() ? c.at(position) : QString(); };
    return {champ(2), champ(3), champ(4), champ(5), champ(6), champ(7), champ(0), champ(1)};
}
