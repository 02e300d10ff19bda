#include "moteur.h"
#include "plateforme.h"

#include <QCoreApplication>

#include <iostream>

// The engine is a console program started once per invoice while a customer waits: a core
// application object is enough (the QR image is painted on a QImage, which needs no GUI
// platform), and it starts markedly faster than a GUI one, with or without a display.
int main(int argc, char *argv[])
{
    journalParLigne();
    QCoreApplication application(argc, argv);
    return executerMoteur(application, std::cout);
}
