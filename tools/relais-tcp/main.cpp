#include "relais.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <iostream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Relais TCP qui ajoute un aller-retour simule a chaque echange, pour les mesures.\n"
                       "Ecrit son port d'ecoute sur la premiere ligne."));
    const QCommandLineOption aide({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("aide")},
                                  QStringLiteral("Affiche cette aide."));
    const QCommandLineOption cible(QStringLiteral("cible"),
                                   QStringLiteral("Port de destination sur 127.0.0.1."),
                                   QStringLiteral("port"));
    const QCommandLineOption allerRetour(QStringLiteral("aller-retour-ms"),
                                         QStringLiteral("Aller-retour simule (100)."), QStringLiteral("ms"),
                                         QStringLiteral("100"));
    p.addOptions({aide, cible, allerRetour});
    if (!p.parse(application.arguments()) || !p.isSet(cible)) {
        std::cerr << (p.errorText().isEmpty() ? "--cible est obligatoire" : p.errorText().toStdString())
                  << std::endl;
        return 2;
    }
    if (p.isSet(aide)) {
        std::cout << p.helpText().toStdString();
        return 0;
    }
    bool ok = false;
    const uint port = p.value(cible).toUInt(&ok);
    const int delai = p.value(allerRetour).toInt();
    if (!ok || port == 0 || port > 65535 || delai < 0) {
        std::cerr << "--cible ou --aller-retour-ms invalide" << std::endl;
        return 2;
    }
    Relais relais(QHostAddress::LocalHost, static_cast<quint16>(port), delai);
    if (!relais.ecouter(QHostAddress::LocalHost, 0)) {
        std::cerr << "orvane-relais-tcp: ecoute impossible" << std::endl;
        return 1;
    }
    std::cout << relais.port() << std::endl;
    return application.exec();
}
