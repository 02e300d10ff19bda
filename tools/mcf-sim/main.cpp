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
    const QCommandLineOption aide({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("aide")},
                                  QStringLiteral("Afficher cette aide."));
    const QCommandLineOption pays(QStringLiteral("pays"),
                                  QStringLiteral("Variante du MCF: BJ (defaut) ou NE; Bénin et Niger "
                                                 "sont acceptes aussi."),
                                  QStringLiteral("BJ|NE"), QStringLiteral("BJ"));
    const QCommandLineOption peripherique(
        QStringLiteral("peripherique"),
        QStringLiteral("Ecouter sur ce port serie au lieu d'un pseudo-terminal."), QStringLiteral("chemin"));
    const QCommandLineOption sansReponse(QStringLiteral("sans-reponse"),
                                         QStringLiteral("Ne pas repondre a cette commande (repetable)."),
                                         QStringLiteral("commande[:n]"));
    const QCommandLineOption reponsePerdue(
        QStringLiteral("reponse-perdue"),
        QStringLiteral("Executer cette commande sans rien y repondre, comme si la reponse s'etait perdue "
                       "sur la ligne (repetable)."),
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
    const QCommandLineOption synSansFin(
        QStringLiteral("syn-sans-fin"),
        QStringLiteral("A cette commande, envoyer un SYN toutes les --pause ms, sans fin, au lieu de "
                       "repondre."),
        QStringLiteral("commande[:n]"));
    const QCommandLineOption octetsSansFin(
        QStringLiteral("octets-sans-fin"),
        QStringLiteral("A cette commande, envoyer des octets ordinaires sans fin au lieu de repondre."),
        QStringLiteral("commande[:n]"));
    const QCommandLineOption octetFinal(
        QStringLiteral("octet-final"),
        QStringLiteral("Ajouter cet octet (hexadecimal, 16 pour SYN) apres chaque reponse, dans la meme "
                       "ecriture."),
        QStringLiteral("octet"));
    const QCommandLineOption autreSequence(
        QStringLiteral("autre-sequence"),
        QStringLiteral("Repondre a cette commande avec un autre numero de sequence (repetable)."),
        QStringLiteral("commande[:n]"));
    const QCommandLineOption autreCommande(
        QStringLiteral("autre-commande"),
        QStringLiteral("Repondre a cette commande avec un autre code de commande (repetable)."),
        QStringLiteral("commande[:n]"));
    const QCommandLineOption muetDes(
        QStringLiteral("muet-des"),
        QStringLiteral("A partir de cette commande, ne plus rien repondre (MCF eteint en cours de "
                       "facture)."),
        QStringLiteral("commande[:n]"));
    const QCommandLineOption debit(
        QStringLiteral("debit"),
        QStringLiteral("Faire durer chaque trame son temps de transmission a ce debit (bauds, 8N1)."),
        QStringLiteral("bauds"));
    const QCommandLineOption pauseAvant(
        QStringLiteral("pause-avant"),
        QStringLiteral("Executer cette commande, puis attendre ms avant d'y repondre (repetable), "
                       "par exemple 38:500 ou 0x31:2:500."),
        QStringLiteral("commande[:n]:ms"));
    const QCommandLineOption nim(QStringLiteral("nim"), QStringLiteral("Identifiant (NIM) du MCF."),
                                 QStringLiteral("nim"), QStringLiteral("SIM0100001"));
    const QCommandLineOption ifu(QStringLiteral("ifu"), QStringLiteral("Numero du contribuable (IFU)."),
                                 QStringLiteral("ifu"), QStringLiteral("3200900012345"));
    p.addOptions({aide,          pays,    peripherique, sansReponse, reponsePerdue, nak,        syn,
                  morceaux,      pause,   ecart,        synSansFin,  octetsSansFin, octetFinal, autreSequence,
                  autreCommande, muetDes, debit,        pauseAvant,  nim,           ifu});
    if (!p.parse(application.arguments())) {
        // The parser's messages are English.
        const QStringList inconnues = p.unknownOptionNames();
        std::cerr << "orvane-mcf-sim: "
                  << (inconnues.isEmpty()
                          ? QStringLiteral("valeur manquante pour une option")
                          : QStringLiteral("option inconnue: ") + inconnues.join(QStringLiteral(", ")))
                         .toStdString()
                  << " (voir --help)" << std::endl;
        return 2;
    }
    if (p.isSet(aide)) {
        // The parser's own headings are English: the help is French throughout.
        std::cout
            << p.helpText().replace(QStringLiteral("Usage:"), QStringLiteral("Utilisation:")).toStdString();
        return 0;
    }

    ConfigurationSim configuration;
    const std::optional<QString> codePays = lirePays(p.value(pays));
    configuration.pays = codePays.value_or(QString());
    configuration.nim = p.value(nim);
    configuration.ifu = p.value(ifu);
    bool ok = false;
    configuration.ecartSousTotal = p.value(ecart).toDouble(&ok);
    if (!ok || !codePays) {
        std::cerr << "orvane-mcf-sim: --pays BJ ou NE (Bénin, Niger), --ecart-sous-total un nombre (voir "
                     "--help)"
                  << std::endl;
        return 2;
    }
    OptionsSim options;
    options.syn = qMax(0, p.value(syn).toInt());
    options.morceaux = qMax(1, p.value(morceaux).toInt());
    options.pauseMs = qMax(0, p.value(pause).toInt());
    options.debit = p.isSet(debit) ? qMax(0, p.value(debit).toInt()) : 0;
    if (p.isSet(octetFinal)) {
        options.octetFinal = lireRegle(p.value(octetFinal)).value_or(RegleSim{-1, 0}).commande;
        if (options.octetFinal < 0 || p.value(octetFinal).contains(QLatin1Char(':'))) {
            std::cerr << "orvane-mcf-sim: octet illisible: " << p.value(octetFinal).toStdString()
                      << std::endl;
            return 2;
        }
    }
    QList<RegleSim> muet;
    if (!lireRegles(p.values(sansReponse), options.sansReponse) ||
        !lireRegles(p.values(reponsePerdue), options.reponsePerdue) ||
        !lireRegles(p.values(nak), options.nak) || !lireRegles(p.values(synSansFin), options.synSansFin) ||
        !lireRegles(p.values(octetsSansFin), options.octetsSansFin) ||
        !lireRegles(p.values(autreSequence), options.autreSequence) ||
        !lireRegles(p.values(autreCommande), options.autreCommande) || !lireRegles(p.values(muetDes), muet))
        return 2;
    if (!muet.isEmpty())
        options.muetDes = muet.first();
    for (const QString &t : p.values(pauseAvant)) {
        const std::optional<PauseSim> pauseLue = lirePause(t);
        if (!pauseLue) {
            std::cerr << "orvane-mcf-sim: pause illisible: " << t.toStdString() << std::endl;
            return 2;
        }
        options.pauses << *pauseLue;
    }
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
