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

QString codePrelevementEmcf(const QString &codeTaxeSpecifique, const QString &pays)
{
    if (codeTaxeSpecifique == QStringLiteral("AIB5"))
        return QStringLiteral("B");
    // A 1 % levy is group A in Bénin only: Niger's ISB A is 2 %.
    if (codeTaxeSpecifique == QStringLiteral("AIB1") && pays == QStringLiteral("Bénin"))
        return QStringLiteral("A");
    return codeTaxeSpecifique;
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
