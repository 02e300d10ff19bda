#include "moteur.h"

#include "consolefacture.h"
#include "controlefacture.h"
#include "device/certificationappareil.h"
#include "journalcertification.h"
#include "mcf.h"
#include "plateforme.h"
#include "registre.h"
#include "web/adressesemcf.h"
#include "web/moduleemcf.h"

#include <lecturefacture.h>

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>
#include <QSqlDatabase>
#include <QTextStream>

#include <memory>

namespace {

const QString demarrerServeur = QStringLiteral("--start-server");
const QString arreterServeur = QStringLiteral("--stop-server");
const QString cacher = QStringLiteral("hide");
const QString abandonner = QStringLiteral("--abandonner");

// The e-MCF endpoint of the run: ORVANE_EMCF_URL when set, else the one of pays and modeMCF.
QString adresseEmcf(const Execution &execution)
{
    return execution.environnement.adresseEmcf.isEmpty() ? execution.parametres.adresseApi
                                                         : execution.environnement.adresseEmcf;
}

// "--abandonner REFERENCE": the operator has checked the device or the service and releases an
// invoice whose outcome the journal does not know, so that the next run certifies it.
int abandonnerFacture(const QString &dossierApplication, const QString &reference, std::ostream &console)
{
    Registre registre(QString::fromLatin1(QSqlDatabase::defaultConnection));
    if (!registre.ouvrir(dossierApplication + QStringLiteral("/mcf.s3db"))) {
        console << "Registre inutilisable (" << registre.erreur().toStdString() << ").\n";
        return 1;
    }
    const std::optional<EtatCertification> etat = registre.abandonner(reference);
    if (!etat) {
        console << "Aucune certification en suspens pour la facture " << reference.toStdString() << ".\n";
        return 1;
    }
    console << "Facture " << reference.toStdString()
            << " abandonnee (etat precedent: " << nomEtat(*etat).toStdString()
            << "): la prochaine execution la certifiera.\n";
    return 0;
}

void lireFichierEntree(QFile &fichier, Execution &execution, Registre &registre, std::ostream &console)
{
    QTextStream flux(&fichier);
    const ParametresMoteur &parametres = execution.parametres;
    if (!parametres.encodage.isEmpty())
        flux.setEncoding(encodageEntree(parametres.encodage));
    OptionsLecture options;
    options.disposition = dispositionEntete(parametres.apiVersion);
    options.pays = parametres.pays;
    Invoice &facture = execution.facture;
    facture = lireFacture(flux, options);
    if (!facture.factureOriginale.isEmpty())
        console << resoudreReferenceOriginale(facture, registre.trouverOriginale(facture.factureOriginale),
                                              parametres.pays, parametres.modeEnLigne);
    console << texteConsoleFacture(facture, execution.tables, parametres.pays);
}

// The certification path of a run, or why there is none.
struct CheminPrepare
{
    std::unique_ptr<CheminCertification> chemin;
    QString erreur; // said on the console where the path is taken up
};

// The e-MCF path, from the module beside the engine.
CheminPrepare chargerCheminEmcf(const Execution &execution, const ReglagesEmcf &reglages,
                                std::ostream &console)
{
    // Not unloaded when `module` goes: the path it makes lives on, and the process ends soon after.
    QLibrary module(execution.dossierApplication + QLatin1Char('/') + QLatin1String(nomModuleEmcf));
    const auto fabrique = reinterpret_cast<FabriqueCheminEmcf>(module.resolve(nomFabriqueEmcf));
    if (!fabrique)
        return {nullptr, QStringLiteral("Module e-MCF inutilisable (%1): la facture n'est pas certifiee.\n")
                             .arg(module.errorString())};
    return {std::unique_ptr<CheminCertification>(
                fabrique(execution.parametres, execution.tables, reglages, console)),
            QString()};
}

// The certification path of the run, made before the register is read and started at once (see
// CheminCertification::preparer). The serial port is touched only by the device path, TLS only by
// the e-MCF path.
CheminPrepare preparerChemin(const Execution &execution, std::ostream &console)
{
    const ParametresMoteur &parametres = execution.parametres;
    const EnvironnementMoteur &environnement = execution.environnement;
    CheminPrepare prepare;
    if (parametres.modeEnLigne) {
        ReglagesEmcf reglages;
        reglages.adresse = adresseEmcf(execution);
        reglages.fichierAutorites = environnement.autoritesEmcf;
        reglages.delaiMs = environnement.delaiEmcfMs;
        prepare = chargerCheminEmcf(execution, reglages, console);
    } else {
        prepare.chemin =
            std::make_unique<CertificationAppareil>(parametres, environnement.attenteMcfMs, console);
    }
    if (prepare.chemin)
        prepare.chemin->preparer();
    return prepare;
}

// Reprints a known invoice, unless the reference now names another content.
void reimprimer(MCF &mcf, const ResultatFiscal &resultat, const QString &empreinteEnregistree,
                const QString &empreinte, std::ostream &console)
{
    // Rows written before the journal existed carry no fingerprint: they reprint as they always did.
    if (!empreinteEnregistree.isEmpty() && empreinteEnregistree != empreinte) {
        console
            << "Cette reference est deja validee pour une facture d'un autre contenu: aucun resultat n'est "
               "ecrit.\n";
        return;
    }
    mcf.resultat = resultat;
    console << "Cette facture est deja validee.\n";
}

// Claims the invoice in the register, settles what earlier runs left unfinished on the same device
// or service, certifies it and records it. Nothing is sent to a device or a service unless the
// claim was written.
void traiterFacture(MCF &mcf, Execution &execution, Registre &registre, bool demonstration,
                    const CheminPrepare &prepare, std::ostream &console)
{
    const Invoice &facture = execution.facture;
    const ParametresMoteur &parametres = execution.parametres;
    if (demonstration) {
        // The demonstration sends nothing and records nothing: the duplicate check is all it needs.
        if (const auto connue = registre.chercher(facture.reference)) {
            mcf.resultat = *connue;
            console << "Cette facture est deja validee.\n";
        } else {
            console << "\nTraitement de la nouvelle facture.\n";
            console << "Mode demonstration: aucun appareil n'est contacte.\n";
        }
        return;
    }
    const QString motif = motifRefus(facture);
    if (!motif.isEmpty()) {
        console << motif.toStdString();
        return;
    }

    const QString empreinte = empreinteFacture(facture);
    const QString chemin = parametres.modeEnLigne ? QStringLiteral("emcf") : QStringLiteral("appareil");
    const QString destination = parametres.modeEnLigne ? adresseEmcf(execution) : parametres.portMCF;
    const TitulaireExecution titulaire = executionCourante();
    const Reclamation reclamation =
        registre.reclamer(facture.reference, empreinte, chemin, destination, titulaire, executionVivante);
    const std::string reference = facture.reference.toStdString();
    switch (reclamation.issue) {
    case Reclamation::Issue::DejaValidee:
        reimprimer(mcf, *reclamation.resultat, reclamation.empreinte, empreinte, console);
        return;
    case Reclamation::Issue::TenueAilleurs:
        console << "La facture " << reference
                << " est en cours de certification par une autre execution (processus "
                << reclamation.precedente->titulaire.pid << "): elle n'est pas certifiee une seconde fois.\n";
        return;
    case Reclamation::Issue::IssueInconnue:
        console
            << "La facture " << reference
            << " a ete envoyee en fermeture au MCF par une execution interrompue: son issue est inconnue.\n"
               "Verifiez le MCF, puis lancez: orvane-engine --abandonner "
            << reference << "\n";
        return;
    case Reclamation::Issue::Echec:
        console << "Registre inutilisable (" << reclamation.erreur.toStdString()
                << "): la facture n'est pas certifiee.\n";
        return;
    case Reclamation::Issue::Nouvelle:
        break;
    }

    console << "\nTraitement de la nouvelle facture.\n";
    if (parametres.modeEnLigne)
        console << "Connexion au serveur\n";
    // Nothing certified: the claim is released, unless the device or the service may hold something
    // of the invoice that a later run must settle.
    const auto liberer = [&] {
        const std::optional<LigneJournal> ligne = registre.ligneJournal(facture.reference);
        if (ligne && (ligne->etat == EtatCertification::Reclamee ||
                      ligne->etat == EtatCertification::SoumissionEnvoyee))
            registre.changerEtat(facture.reference, EtatCertification::Abandonnee, titulaire);
    };
    if (!prepare.chemin) {
        console << prepare.erreur.toStdString();
        liberer();
        return;
    }
    CheminCertification *const certification = prepare.chemin.get();
    JournalRegistre journal(registre, titulaire, console);

    QList<LigneJournal> enSuspens =
        registre.reprendreEnSuspens(chemin, destination, facture.reference, titulaire, executionVivante);
    // This very reference, taken over from a run that died in the middle of it, is settled first.
    if (reclamation.precedente && etatEngage(reclamation.precedente->etat))
        enSuspens.prepend(*reclamation.precedente);
    if (!enSuspens.isEmpty()) {
        certification->regler(enSuspens, facture, empreinte, journal);
        // Settling may have certified this very reference, left by a run that died.
        if (const auto connue = registre.chercher(facture.reference)) {
            const std::optional<LigneJournal> ligne = registre.ligneJournal(facture.reference);
            reimprimer(mcf, *connue, ligne ? ligne->empreinte : QString(), empreinte, console);
            return;
        }
        const std::optional<LigneJournal> ligne = registre.ligneJournal(facture.reference);
        if (ligne && etatEngage(ligne->etat)) {
            console << "La facture " << reference << " reste en suspens ("
                    << nomEtat(ligne->etat).toStdString()
                    << "): elle n'est pas certifiee une seconde fois.\nVerifiez, puis lancez: orvane-engine "
                       "--abandonner "
                    << reference << "\n";
            return;
        }
        if (ligne && ligne->etat == EtatCertification::Abandonnee &&
            !registre.changerEtat(facture.reference, EtatCertification::Reclamee, titulaire)) {
            console << "Registre inutilisable (" << registre.erreur().toStdString()
                    << "): la facture n'est pas certifiee.\n";
            return;
        }
    }

    // Invoices that an interrupted run left with an unknown outcome on this device or service are
    // named at every run, so that the operator hears of them even if their own is never run again.
    for (const LigneJournal &l :
         registre.issuesInconnues(chemin, destination, facture.reference, titulaire, executionVivante)) {
        console << "La facture " << l.reference.toStdString() << " reste en suspens ("
                << nomEtat(l.etat).toStdString() << "): verifiez, puis lancez: orvane-engine --abandonner "
                << l.reference.toStdString() << "\n";
    }

    mcf.certifier(*certification, journal);
    if (!mcf.enregistrerResultat(registre))
        liberer();
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
    if (execution.cheminEntree == abandonner)
        return abandonnerFacture(execution.dossierApplication, arguments.value(2), console);
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

    if (arguments.size() > 4 && arguments.at(4) == cacher) {
        console.flush();
        detacherConsole();
    }

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

    // The path is made before the register is read: the e-MCF connection opens meanwhile. Nothing is
    // sent before the claim.
    CheminPrepare chemin = demonstration ? CheminPrepare() : preparerChemin(execution, console);
    {
        Registre registre(QString::fromLatin1(QSqlDatabase::defaultConnection));
        if (registre.ouvrir(execution.dossierApplication + QStringLiteral("/mcf.s3db"))) {
            console << "Base de donnee connectee.\n";
            lireFichierEntree(fichierEntree, execution, registre, console);
            fichierEntree.close();
            console << "Le fichier a ete ferme.\n";

            traiterFacture(mcf, execution, registre, demonstration, chemin, console);
            registre.fermer();
            console << "\nLa base de donnee a ete deconnecte.\n";
        }
    }

    mcf.ecrireResultats(execution.cheminEntree, execution.cheminResultat);
    console << "Le programme va se terminer.\n";
    return 0;
}
