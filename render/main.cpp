#include "rendu.h"
#include "traduction.h"

#include <affichage.h>

#include <QApplication>
#include <QTranslator>

#include <iostream>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// The engine starts the renderer detached and ends: the console it shares may be gone by the time
// the renderer writes its first message. That must not end the renderer before the document is out.
void survivreAConsoleFermee()
{
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    survivreAConsoleFermee();
    preparerAffichage();
    QApplication application(argc, argv);
    QTranslator traductionQt;
    installerTraductionQt(traductionQt);
    return executerRendu(QApplication::arguments(), QApplication::applicationDirPath(), std::cout);
}
