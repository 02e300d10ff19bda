#include "rendu.h"

#include <affichage.h>

#include <QApplication>

#include <iostream>

int main(int argc, char *argv[])
{
    preparerAffichage();
    QApplication application(argc, argv);
    return executerRendu(QApplication::arguments(), QApplication::applicationDirPath(), std::cout);
}
