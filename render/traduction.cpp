#include "traduction.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool traductionFrancaiseVoulue(const QLocale &systeme)
{
    return systeme.language() == QLocale::French || systeme.language() == QLocale::C;
}

bool installerTraductionQt(QTranslator &traduction, const QLocale &systeme)
{
    if (!traductionFrancaiseVoulue(systeme))
        return false;
    if (!traduction.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&traduction);
}
