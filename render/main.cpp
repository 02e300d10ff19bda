#include "rendu.h"
#include "traduction.h"

#include <affichage.h>

#include <QApplication>
#include <QTranslator>

#include <iostream>

#ifdef Q_OS_UNIX
#include <csignal>
#endif
#ifdef Q_OS_WIN
#include <cstdio>
#include <fcntl.h>
#include <io.h>
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

// The messages end in "\n" alone, as everywhere: C's text mode would write "\r\n" on Windows.
void sortieBinaire()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    survivreAConsoleFermee();
    sortieBinaire();
    preparerAffichage();
    QApplication application(argc, argv);
    QTranslator traductionQt;
    installerTraductionQt(traductionQt);
    return executerRendu(QApplication::arguments(), QApplication::applicationDirPath(), std::cout);
}
