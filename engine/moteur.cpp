#include "moteur.h"

#include "device/certificationappareil.h"
#include "mcf.h"
#include "plateforme.h"
#include "registre.h"
#include "web/adressesemcf.h"
#include "web/clientemcf.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QTextStream>

namespace {

const QString demarrerServeur = QStringLiteral("--start-server");
const QString arreterServeur = QStringLiteral("--stop-server");
const QString cacher = QStringLiteral("hide");

void lireFichierEntree(QFile &fichier, Execution &execution, Registre &registre, std::ostream &console)
{
    QTextStream flux(&fichier);
    if (!execution.parametres.encodage.isEmpty())
        flux.setEncoding(encodageEntree(execution.parametres.encodage));

    ContexteAnalyse contexte;
    contexte.pays = execution.parametres.pays;
    contexte.modeEnLigne = execution.parametres.modeEnLigne;
    contexte.tables = &execution.tables;
    contexte.trouverOriginale = [&registre](const QString &reference) {
        return registre.trouverOriginale(reference);
    };
    Invoice &facture = execution.facture;
    while (!flux.atEnd()) {
        QString ligne = flux.readLine();
        if (ligne.isEmpty())
            continue;
        ligne.remove(QChar(u'\0'));
        analyserLigne(ligne, facture, contexte, console);
        ++facture.nombreLignes;
    }
}

// Certifies the new invoice of the run on the path its settings chose. The demonstration setting
// talks to no device at all: on a till with a real device attached, a demonstration run must never
// certify a real fiscal invoice.
void certifierNouvelleFacture(MCF &mcf, Execution &execution, bool demonstration, std::ostream &console)
{
    const ParametresMoteur &parametres = execution.parametres;
    const EnvironnementMoteur &environnement = execution.environnement;
    if (parametres.modeEnLigne) {
        console << "Connexion au serveur\n";
        ReglagesEmcf reglages;
        reglages.adresse =
            environnement.adresseEmcf.isEmpty() ? parametres.adresseApi : environnement.adresseEmcf;
        reglages.fichierAutorites = environnement.autoritesEmcf;
        reglages.delaiMs = environnement.delaiEmcfMs;
        ClientEmcf client(parametres, execution.tables, reglages, console);
        mcf.certifier(client);
    } else if (demonstration) {
        console << "Mode demonstration: aucun appareil n'est contacte.\n";
    } else {
        CertificationAppareil appareil(parametres, environnement.attenteMcfMs, console);
        mcf.certifier(appareil);
    }
}

} // namespace

int executerMoteur(QCoreApplication &application, std::ostream &console)
{
    const QStringList arguments = application.arguments();
    Execution execution;
    execution.environnement = lireEnvironnement();
    execution.dossierApplication = QCoreApplication::applicationDirPath();

    execution.cheminEntree = execution.dossierApplication + QStringLiteral("/input.csv");
    if (arguments.size() > 1)
        execution.cheminEntree = arguments.at(1);
    execution.cheminResultat = execution.cheminEntree + QStringLiteral(".mcf");
    if (execution.cheminEntree == demarrerServeur) {
        if (arguments.size() > 2 && arguments.at(2) == cacher)
            detacherConsole();
        return demarrerServeurPhp(execution.dossierApplication);
    }
    if (execution.cheminEntree == arreterServeur) {
        detacherConsole();
        return arreterServeurPhp(execution.dossierApplication);
    }
    if (arguments.size() > 2)
        execution.cheminResultat = arguments.at(2);

    // Settings.
    const FichierParametres fichierParametres =
        lireFichierParametres(execution.dossierApplication + QStringLiteral("/app.xml"));
    console << messagesLectureMoteur(fichierParametres.etat).toStdString();
    ParametresMoteur &parametres = execution.parametres;
    parametres = parametresMoteur(fichierParametres);
    if (fichierParametres.etat == EtatParametres::Charge)
        parametres.adresseApi = adresseApiPour(parametres.pays, parametres.modeMCF);

    if (arguments.size() > 3 && arguments.at(3) != QStringLiteral("0"))
        parametres.portMCF = arguments.at(3);

    // A result of an earlier run never survives a new run, whatever happens next.
    if (QFile::exists(execution.cheminResultat))
        QFile::remove(execution.cheminResultat);

    if (arguments.size() > 4 && arguments.at(4) == cacher)
        detacherConsole();

    MCF mcf(execution, console);
    const bool demonstration = parametres.portMCF == QStringLiteral("DEMO") && !parametres.modeEnLigne;
    if (demonstration) {
        mcf.prechargerDemonstration();
        parametres.portMCF.clear();
    }

    execution.tables = tablesReference(parametres.pays);

    QFile fichierEntree(execution.cheminEntree);
    if (!fichierEntree.open(QIODevice::ReadOnly | QIODevice::Text)) {
        console << "Impossible d'ouvrir le fichier: " << execution.cheminEntree.toStdString() << "\n";
        console << "Le programme va se terminer.\n";
        return 0;
    }
    console << "orvane-engine: Fichier d'entree ouvert.\n";

    {
        Registre registre(QString::fromLatin1(QSqlDatabase::defaultConnection));
        if (registre.ouvrir(execution.dossierApplication + QStringLiteral("/mcf.s3db"))) {
            console << "Base de donnee connectee.\n";
            lireFichierEntree(fichierEntree, execution, registre, console);
            fichierEntree.close();
            console << "Le fichier a ete ferme.\n";

            if (const auto connue = registre.chercher(execution.facture.reference)) {
                mcf.chargerResultat(*connue);
                console << "Cette facture est deja validee.\n";
            } else {
                console << "\nTraitement de la nouvelle facture.\n";
                certifierNouvelleFacture(mcf, execution, demonstration, console);
                mcf.enregistrerResultat(registre);
            }
            registre.fermer();
            console << "\nLa base de donnee a ete deconnecte.\n";
        }
    }

    mcf.ecrireResultats(execution.cheminEntree, execution.cheminResultat);
    console << "Le programme va se terminer.\n";
    return 0;
}
