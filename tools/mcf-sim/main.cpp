#include "appareilsim.h"
#include "simulateur.h"
#include "transportsim.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <iostream>

namespace {

void ecrireLigne(const QString &ligne)
{
    // One line at a time and flushed: whoever started the simulator reads its output as it comes.
    std::cout << ligne.toStdString() << std::endl;
}

bool lireRegles(const QStringList &textes, QList<RegleSim> &regles)
{
    for (const QString &t : textes) {
        const std::optional<RegleSim> r = lireRegle(t);
        if (!r) {
            std::cerr << "orvane-mcf-sim: commande illisible: " << t.toStdString() << std::endl;
            return false;
        }
        regles << *r;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-mcf-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulateur de module de controle fiscal (MCF) sur liaison serie, variante Benin ou Niger.\n"
        "Sans --peripherique, cree un pseudo-terminal et ecrit son chemin sur la premiere ligne de "
        "sortie; chaque trame recue ou envoyee est ensuite journalisee en hexadecimal.\n"
        "Les commandes se donnent en hexadecimal (C1, 0x31), suivies au besoin de :n pour ne viser "
        "que leur n-ieme envoi (0x31:2)."));
    p.addHelpOption();
    const QCommandLineOption pays(QStringLiteral("pays"),
                                  QStringLiteral("Variante du MCF: BJ (defaut) ou NE."),
                                  QStringLiteral("BJ|NE"), QStringLiteral("BJ"));
    const QCommandLineOption peripherique(
        QStringLiteral("peripherique"),
        QStringLiteral("Ecouter sur ce port serie au lieu d'un pseudo-terminal."), QStringLiteral("chemin"));
    const QCommandLineOption sansReponse(QStringLiteral("sans-reponse"),
                                         QStringLiteral("Ne pas repondre a cette commande (repetable)."),
                                         QStringLiteral("commande[:n]"));
    const QCommandLineOption nak(QStringLiteral("nak"),
                                 QStringLiteral("Refuser cette commande par NAK (repetable)."),
                                 QStringLiteral("commande[:n]"));
    const QCommandLineOption syn(QStringLiteral("syn"),
                                 QStringLiteral("Envoyer ce nombre d'octets SYN avant chaque reponse."),
                                 QStringLiteral("nombre"), QStringLiteral("0"));
    const QCommandLineOption morceaux(QStringLiteral("morceaux"),
                                      QStringLiteral("Couper chaque reponse en ce nombre d'envois separes."),
                                      QStringLiteral("nombre"), QStringLiteral("1"));
    const QCommandLineOption pause(
        QStringLiteral("pause"),
        QStringLiteral("Pause en ms apres chaque SYN et entre les morceaux (defaut 20)."),
        QStringLiteral("ms"), QStringLiteral("20"));
    const QCommandLineOption ecart(QStringLiteral("ecart-sous-total"),
                                   QStringLiteral("Ajouter ce montant au sous-total annonce."),
                                   QStringLiteral("montant"), QStringLiteral("0"));
    const QCommandLineOption nim(QStringLiteral("nim"), QStringLiteral("Identifiant (NIM) du MCF."),
                                 QStringLiteral("nim"), QStringLiteral("SIM0100001"));
    const QCommandLineOption ifu(QStringLiteral("ifu"), QStringLiteral("Numero du contribuable (IFU)."),
                                 QStringLiteral("ifu"), QStringLiteral("3200900012345"));
    p.addOptions({pays, peripherique, sansReponse, nak, syn, morceaux, pause, ecart, nim, ifu});
    p.process(application);

    ConfigurationSim configuration;
    configuration.pays = p.value(pays).toUpper();
    configuration.nim = p.value(nim);
    configuration.ifu = p.value(ifu);
    bool ok = false;
    configuration.ecartSousTotal = p.value(ecart).toDouble(&ok);
    if (!ok || (configuration.pays != QStringLiteral("BJ") && configuration.pays != QStringLiteral("NE"))) {
        std::cerr << "orvane-mcf-sim: --pays BJ ou NE, --ecart-sous-total un nombre (voir --help)"
                  << std::endl;
        return 2;
    }
    OptionsSim options;
    options.syn = qMax(0, p.value(syn).toInt());
    options.morceaux = qMax(1, p.value(morceaux).toInt());
    options.pauseMs = qMax(0, p.value(pause).toInt());
    if (!lireRegles(p.values(sansReponse), options.sansReponse) || !lireRegles(p.values(nak), options.nak))
        return 2;

    QString chemin;
    QString erreur;
    std::unique_ptr<TransportSim> transport;
    if (p.isSet(peripherique)) {
        chemin = p.value(peripherique);
        transport = ouvrirPeripherique(chemin, erreur);
    } else {
        transport = creerPseudoTerminal(chemin, erreur);
    }
    if (!transport) {
        std::cerr << "orvane-mcf-sim: " << chemin.toStdString() << ": " << erreur.toStdString() << std::endl;
        return 1;
    }
    ecrireLigne(chemin);
    ecrireLigne(QStringLiteral("MCF %1 %2 pret").arg(configuration.pays, configuration.nim));

    AppareilSim appareil(configuration);
    Simulateur simulateur(*transport, appareil, options, ecrireLigne);
    simulateur.executer();
    return 0;
}
