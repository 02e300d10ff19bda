#include "dialog.h"

#include <affichage.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    preparerAffichage();
    QApplication application(argc, argv);

    // French texts for Qt's own widgets (context menus of the fields) when the translations are there.
    QTranslator traductionQt;
    if (traductionQt.load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&traductionQt);

    Dialog dialogue;
    dialogue.show();
    return application.exec();
}
