#include "moteur.h"
#include "plateforme.h"

#include <QCoreApplication>

#include <iostream>

// The engine is a console program started once per invoice while a customer waits: a core
// application object is enough (the QR images are drawn without a GUI), and it starts markedly
// faster than a GUI one, with or without a display.
int main(int argc, char *argv[])
{
    journalParLigne();
    QCoreApplication application(argc, argv);
    return executerMoteur(application, std::cout);
}
