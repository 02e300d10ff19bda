#include "moteur.h"
#include "sortieconsole.h"

#include <QCoreApplication>

#include <ostream>

// The engine is a console program started once per invoice while a customer waits: a core
// application object is enough (the QR images are drawn without a GUI), and it starts markedly
// faster than a GUI one, with or without a display.
int main(int argc, char *argv[])
{
    SortieConsole sortie(ecritureSortieStandard());
    std::ostream console(&sortie);
    QCoreApplication application(argc, argv);
    return executerMoteur(application, console);
}
