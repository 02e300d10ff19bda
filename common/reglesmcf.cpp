#include "reglesmcf.h"

#include <QLocale>

#include <cmath>

QString groupeTaxeEnvoye(const InvoiceItem &article)
{
    if (!article.groupeTaxe.isEmpty())
        return article.groupeTaxe;
    bool ok = false;
    const double tva = QLocale(QLocale::French).toDouble(article.tva, &ok);
    return ok && tva != 0 ? QStringLiteral("B") : QStringLiteral("A");
}

bool genreCommentaireConnu(const QString &genre)
{
    return genre.size() == 1 && genre.at(0) >= QLatin1Char('A') && genre.at(0) <= QLatin1Char('H');
}

QString isfEnvoye(const QString &isf)
{
    return isf.isEmpty() ? QStringLiteral("Orvane") : isf;
}

double ecartPermisAppareil(double tolerance, double sommeQuantites)
{
    return tolerance != 0 ? tolerance : std::fabs(sommeQuantites);
}

double ecartPermisEmcf(double tolerance, double sommeQuantites)
{
    return tolerance != 0 ? tolerance : sommeQuantites / 2;
}
