#include "moteur.h"

#include "consolefacture.h"
#include "controlefacture.h"
#include "device/certificationappareil.h"
#include "mcf.h"
#include "plateforme.h"
#include "web/adressesemcf.h"
#include "web/moduleemcf.h"

#include <decisionoperateur.h>
#include <exportcertifiees.h>
#include <journalcertification.h>
#include <lecturefacture.h>
#include <registre.h>
#include <titulaire.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QTextStream>

#include <memory>

namespace {

const QString demarrerServeur = QStringLiteral("--start-server");
const QString arreterServeur = QStringLiteral("--stop-server");
const QString cacher = QStringLiteral("hide");
const QString abandonner = QStringLiteral("--abandonner");
const QString copierRegistre = QStringLiteral("--copier-registre");
const QString exporter = QStringLiteral("--exporter");
const QString nomConnexionRegistre = QStringLiteral("registre");

// The e-MCF endpoint of the run: ORVANE_EMCF_URL when set, else the one of pays and modeMCF.
QString adresseEmcf(const Execution &execution)
{
    return execution.environnement.adresseEmcf.isEmpty() ? execution.parametres.adresseApi
                                                         : execution.environnement.adresseEmcf;
}

// The register named by the settings: the SQLite file beside the engine unless `registre` names a
// shared one.
EmplacementRegistre emplacementRegistre(const QString &dossierApplication, const ParametresMoteur &parametres)
{
    EmplacementRegistre e;
    e.fichier = dossierApplication + QStringLiteral("/mcf.s3db");
    e.adresse = parametres.registre;
    e.motDePasse = parametres.motDePasseRegistre;
    e.delaiConnexion = parametres.delaiConnexionRegistre;
    e.delaiRequete = parametres.delaiRequeteRegistre;
    return e;
}

// The settings of app.xml beside the engine, read without a word on the console.
ParametresMoteur parametresSansMessage(const QString &dossierApplication)
{
    return parametresMoteur(lireFichierParametres(dossierApplication + QStringLiteral("/app.xml")));
}

// "--abandonner REFERENCE": the operator has checked the device or the service and releases an
// invoice whose outcome the journal does not know, so that the next run certifies it.
int commandeAbandonner(const QString &dossierApplication, const QString &reference, std::ostream &console)
{
    Registre registre(nomConnexionRegistre);
    AbandonOperateur abandon;
    // The operator's release never creates a register nor alters its tables.
    if (registre.ouvrirExistant(
            emplacementRegistre(dossierApplication, parametresSansMessage(dossierApplication))))
        abandon = abandonnerFacture(registre, reference);
    else
        abandon.erreur = registre.erreur();
    console << texteAbandon(reference, abandon).toStdString();
    return abandon.issue == AbandonOperateur::Issue::Abandonnee ? 0 : 1;
}

// "--exporter DU AU FICHIER": the invoices certified from DU to AU (JJ/MM/AAAA, both days included)
// on the register of app.xml, written to FICHIER as CSV. The register is read, never created nor
// changed; FICHIER is replaced only once whole. Exit code 0 when written, 2 otherwise.
int commandeExporter(const QString &dossierApplication, const QStringList &arguments, std::ostream &console)
{
    if (arguments.size() != 3) {
        console << "Usage: orvane-engine --exporter JJ/MM/AAAA JJ/MM/AAAA FICHIER\n";
        return 2;
    }
    PeriodeCertification periode;
    for (const auto &[texte, jour] : {std::pair{arguments.at(0), &periode.du}, std::pair{arguments.at(1), &periode.au}}) {
        const std::optional<QDate> lu = lireJour(texte);
        if (!lu) {
            console << "Date illisible: " << texte.toStdString() << " (attendu JJ/MM/AAAA).\n";
            return 2;
        }
        *jour = *lu;
    }
    if (periode.du > periode.au) {
        console << "Periode inversee: le " << arguments.at(0).toStdString() << " est apres le "
                << arguments.at(1).toStdString() << ".\n";
        return 2;
    }
    Registre registre(nomConnexionRegistre);
    if (!registre.ouvrirExistant(
            emplacementRegistre(dossierApplication, parametresSansMessage(dossierApplication)))) {
        console << "Registre illisible (" << registre.erreur().toStdString() << ").\n";
        return 2;
    }
    const IssueExport issue = exporterCertifiees(registre, periode, arguments.at(2));
    switch (issue.issue) {
    case IssueExport::Issue::Ecrit:
        console << issue.factures << " facture(s) exportee(s) dans " << arguments.at(2).toStdString() << ".\n";
        return 0;
    case IssueExport::Issue::RegistreIllisible:
        console << "Registre illisible (" << issue.erreur.toStdString() << ").\n";
        return 2;
    case IssueExport::Issue::FichierImpossible:
        console << "Impossible d'ecrire le fichier " << arguments.at(2).toStdString() << " ("
                << issue.erreur.toStdString() << ").\n";
        return 2;
    }
    return 2;
}

// "--copier-registre [fichier.s3db]": a till's SQLite register (mcf.s3db beside the engine by
// default) copied into the shared register of app.xml: its invoices and its unfinished journal rows.
// A reference already there is never replaced; one with other codes is listed. Exit code 0 when
// everything is there, 1 when some reference is in conflict, 2 when a register could not be used.
int commandeCopierRegistre(const QString &dossierApplication, const QString &fichier, std::ostream &console)
{
    const ParametresMoteur parametres = parametresSansMessage(dossierApplication);
    const EmplacementRegistre partage = emplacementRegistre(dossierApplication, parametres);
    if (!partage.partage()) {
        console << "Aucun registre partage: renseignez registre dans app.xml.\n";
        return 2;
    }
    const QString chemin = fichier.isEmpty() ? partage.fichier : fichier;
    Registre source(QStringLiteral("source"));
    if (!source.ouvrirExistant(chemin)) {
        console << "Registre " << chemin.toStdString() << " illisible (" << source.erreur().toStdString()
                << ").\n";
        return 2;
    }
    Registre destination(nomConnexionRegistre);
    if (!destination.ouvrir(partage)) {
        console << "Registre inutilisable (" << destination.erreur().toStdString() << ").\n";
        return 2;
    }
    const auto factures = source.factures();
    const auto lignes = source.lignesEnSuspens();
    // The amounts the till's register kept, by reference (an older register has none).
    QHash<QString, MontantsFacture> montants;
    if (const auto certifiees = source.facturesCertifiees({QDate(1, 1, 1), QDate(9998, 12, 31), {}})) {
        for (const MontantsFacture &m : *certifiees)
            montants.insert(m.reference, m);
    }
    if (!factures || !lignes) {
        console << "Registre " << chemin.toStdString() << " illisible (" << source.erreur().toStdString()
                << ").\n";
        return 2;
    }
    int copiees = 0, presentes = 0, conflits = 0, lignesCopiees = 0;
    for (const auto &[reference, resultat] : *factures) {
        const auto trouves = montants.constFind(reference);
        switch (destination.copierFacture(reference, resultat,
                                          trouves == montants.cend() ? std::nullopt
                                                                     : std::optional<MontantsFacture>(*trouves))) {
        case IssueCopie::Copiee:
            ++copiees;
            break;
        case IssueCopie::Presente:
            ++presentes;
            break;
        case IssueCopie::Conflit:
            ++conflits;
            console << "Conflit: la facture " << reference.toStdString()
                    << " est deja enregistree avec d'autres codes fiscaux; elle n'est pas remplacee.\n";
            break;
        case IssueCopie::Echec:
            console << "Registre inutilisable (" << destination.erreur().toStdString() << ").\n";
            return 2;
        }
    }
    for (const LigneJournal &ligne : *lignes) {
        switch (destination.copierLigne(ligne)) {
        case IssueCopie::Copiee:
            ++lignesCopiees;
            console << "Facture " << ligne.reference.toStdString() << " en suspens ("
                    << nomEtat(ligne.etat).toStdString() << ") copiee au journal.\n";
            break;
        case IssueCopie::Presente:
            break;
        case IssueCopie::Conflit:
            ++conflits;
            console << "Conflit: la facture " << ligne.reference.toStdString()
                    << " est deja au journal du registre partage; sa ligne n'est pas remplacee.\n";
            break;
        case IssueCopie::Echec:
            console << "Registre inutilisable (" << destination.erreur().toStdString() << ").\n";
            return 2;
        }
    }
    console << "Copie de " << chemin.toStdString() << " vers "
            << adresseSansSecret(partage.adresse).toStdString() << ": " << copiees << " factures copiees, "
            << presentes << " deja presentes, " << conflits << " en conflit; " << lignesCopiees
            << " lignes du journal copiees.\n";
    return conflits > 0 ? 1 : 0;
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

// The certification path of the run, made once the invoice is claimed and started at once (see
// CheminCertification::preparer): a reprint, a refusal or an invoice held elsewhere never loads the
// network libraries nor opens a connection. The serial port is touched only by the device path, TLS
// only by the e-MCF path.
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

// The certification of the run's invoice, step by step: claim it in the register, settle what
// earlier runs left unfinished on the same device or service, certify it and record it. Nothing is
// sent to a device or a service unless the claim was written.
class Traitement
{
public:
    Traitement(MCF &mcf, Execution &execution, Registre &registre, std::ostream &console)
        : m_mcf(mcf), m_execution(execution), m_facture(execution.facture), m_registre(registre),
          m_console(console), m_reference(execution.facture.reference.toStdString()),
          m_enLigne(execution.parametres.modeEnLigne), m_chemin(m_enLigne ? cheminEmcf : cheminAppareil),
          m_destination(destinationInitiale(execution, registre)), m_titulaire(registre.titulaire())
    {
    }

    void executer()
    {
        const QString motif = motifRefus(m_facture);
        if (!motif.isEmpty()) {
            m_console << motif.toStdString();
            return;
        }
        m_empreinte = empreinteFacture(m_facture);
        if (!reclamer())
            return;
        m_prepare = preparerChemin(m_execution, m_console);
        m_console << "\nTraitement de la nouvelle facture.\n";
        if (m_enLigne)
            m_console << "Connexion au serveur\n";
        if (!m_prepare.chemin) {
            m_console << m_prepare.erreur.toStdString();
            liberer();
            return;
        }
        if (m_registre.partage() && !m_enLigne && !identifierAppareil())
            return;
        JournalRegistre journal(m_registre, m_titulaire, m_console);
        if (!reglerEnSuspens(journal))
            return;
        signalerAttenteOperateur();
        m_mcf.certifier(*m_prepare.chemin, journal);
        if (!m_mcf.enregistrerResultat(m_registre, m_destination))
            liberer();
    }

private:
    // Where the claim is recorded. In a register shared by several tills an account is the endpoint
    // and the token (by a digest: the token itself is never stored), and a device its identity, learnt
    // after the claim (identifierAppareil); until then, its port.
    static QString destinationInitiale(const Execution &execution, Registre &registre)
    {
        if (!execution.parametres.modeEnLigne)
            return execution.parametres.portMCF;
        const QString adresse = adresseEmcf(execution);
        if (!registre.partage())
            return adresse;
        const QByteArray empreinte =
            QCryptographicHash::hash(execution.parametres.jeton.toUtf8(), QCryptographicHash::Sha256);
        return adresse + QStringLiteral(" compte ") + QString::fromLatin1(empreinte.toHex().left(16));
    }

    // On a shared register: the device's identity replaces its port in the claim, so that only runs
    // on this very device settle what this run leaves. True when the run goes on.
    bool identifierAppareil()
    {
        const QString identite = m_prepare.chemin->identifier();
        if (identite.isEmpty()) {
            m_console << "Le MCF ne s'est pas identifie: la facture n'est pas certifiee.\n";
            liberer();
            return false;
        }
        const std::optional<LigneJournal> &precedente = m_reclamation.precedente;
        if (precedente && etatEngage(precedente->etat) && precedente->destination != identite) {
            // Left unfinished on another till's device: only a run on that device can settle it.
            m_console << "La facture " << m_reference << " reste en suspens sur le MCF "
                      << precedente->destination.toStdString()
                      << ": elle n'est pas certifiee une seconde fois.\n";
            return false;
        }
        m_destination = identite;
        if (!m_registre.changerDestination(m_facture.reference, identite, m_titulaire)) {
            m_console << "Registre inutilisable (" << m_registre.erreur().toStdString()
                      << "): la facture n'est pas certifiee.\n";
            liberer();
            return false;
        }
        return true;
    }

    // True when this run now holds the reference and must certify it.
    bool reclamer()
    {
        m_reclamation = m_registre.reclamer(m_facture.reference, m_empreinte, m_chemin, m_destination,
                                            m_titulaire, m_registre.vivacite());
        const Reclamation &r = m_reclamation;
        switch (r.issue) {
        case Reclamation::Issue::Nouvelle:
            return true;
        case Reclamation::Issue::DejaValidee:
            reimprimer(m_mcf, *r.resultat, r.empreinte, m_empreinte, m_console);
            break;
        case Reclamation::Issue::TenueAilleurs:
            m_console << "La facture " << m_reference
                      << " est en cours de certification par une autre execution ("
                      << texteTitulaire(r.precedente->titulaire).toStdString()
                      << "): elle n'est pas certifiee une seconde fois.\n";
            break;
        case Reclamation::Issue::IssueInconnue:
            m_console << "La facture " << m_reference
                      << " a ete fermee par le MCF sans que son issue soit connue: elle n'est pas certifiee "
                         "une seconde fois.\n"
                      << instructionAbandon(*r.precedente).toStdString();
            break;
        case Reclamation::Issue::Echec:
            m_console << "Registre inutilisable (" << r.erreur.toStdString()
                      << "): la facture n'est pas certifiee.\n";
            break;
        }
        return false;
    }

    // Settles the invoices that runs now gone left on this device or service, this one first when a
    // run died in the middle of it. True when the run goes on to certify its invoice.
    bool reglerEnSuspens(JournalRegistre &journal)
    {
        QList<LigneJournal> enSuspens = m_registre.reprendreEnSuspens(
            m_chemin, m_destination, m_facture.reference, m_titulaire, m_registre.vivacite());
        const std::optional<LigneJournal> &precedente = m_reclamation.precedente;
        if (precedente && etatEngage(precedente->etat))
            enSuspens.prepend(*precedente);
        if (enSuspens.isEmpty())
            return true;
        m_prepare.chemin->regler(enSuspens, m_facture, m_empreinte, journal);
        // Settling may have certified this very reference, left by a run that died.
        if (const auto connue = m_registre.chercher(m_facture.reference)) {
            const std::optional<LigneJournal> ligne = m_registre.ligneJournal(m_facture.reference);
            reimprimer(m_mcf, *connue, ligne ? ligne->empreinte : QString(), m_empreinte, m_console);
            return false;
        }
        const std::optional<LigneJournal> ligne = m_registre.ligneJournal(m_facture.reference);
        if (ligne && (etatEngage(ligne->etat) || etatAttendOperateur(ligne->etat))) {
            m_console << "La facture " << m_reference << " reste en suspens ("
                      << nomEtat(ligne->etat).toStdString()
                      << "): elle n'est pas certifiee une seconde fois.\n";
            if (etatSignaleOperateur(ligne->etat))
                m_console << instructionAbandon(*ligne).toStdString();
            return false;
        }
        // Released by the settling: claimed again for this run.
        if (ligne && ligne->etat == EtatCertification::Abandonnee &&
            !m_registre.changerEtat(m_facture.reference, EtatCertification::Reclamee, m_titulaire)) {
            m_console << "Registre inutilisable (" << m_registre.erreur().toStdString()
                      << "): la facture n'est pas certifiee.\n";
            return false;
        }
        return true;
    }

    // Invoices of this device or service that only the operator can release are named at every run,
    // so that the operator hears of them even if their own is never run again.
    void signalerAttenteOperateur()
    {
        for (const LigneJournal &l : m_registre.attenteOperateur(m_chemin, m_destination, m_facture.reference,
                                                                 m_titulaire, m_registre.vivacite())) {
            m_console << "La facture " << l.reference.toStdString() << " reste en suspens ("
                      << nomEtat(l.etat).toStdString() << ").\n"
                      << instructionAbandon(l).toStdString();
        }
    }

    // Nothing certified: the claim is released, unless the device or the service may hold something
    // of the invoice that a later run must settle.
    void liberer()
    {
        const std::optional<LigneJournal> ligne = m_registre.ligneJournal(m_facture.reference);
        if (ligne && !etatTermine(ligne->etat) && !etatEngage(ligne->etat) &&
            !etatAttendOperateur(ligne->etat))
            m_registre.changerEtat(m_facture.reference, EtatCertification::Abandonnee, m_titulaire);
    }

    MCF &m_mcf;
    const Execution &m_execution;
    const Invoice &m_facture;
    Registre &m_registre;
    CheminPrepare m_prepare;
    std::ostream &m_console;
    const std::string m_reference;
    const bool m_enLigne;
    const QString m_chemin;
    QString m_destination;
    const TitulaireExecution m_titulaire;
    QString m_empreinte;
    Reclamation m_reclamation;
};

// The demonstration sends nothing and records nothing: the duplicate check is all it needs.
void traiterDemonstration(MCF &mcf, const Invoice &facture, Registre &registre, std::ostream &console)
{
    if (const auto connue = registre.chercher(facture.reference)) {
        mcf.resultat = *connue;
        console << "Cette facture est deja validee.\n";
    } else {
        console << "\nTraitement de la nouvelle facture.\n";
        console << "Mode demonstration: aucun appareil n'est contacte.\n";
    }
}

// Steps 3 to 7 of a normal run: the result path, the settings, the port of the command line, the
// stale result file removed, the console detached on "hide".
void preparerExecution(Execution &execution, const QStringList &arguments, std::ostream &console)
{
    if (arguments.size() > 2)
        execution.cheminResultat = arguments.at(2);

    const QString cheminParametres = execution.dossierApplication + QStringLiteral("/app.xml");
    const FichierParametres fichierParametres = lireFichierParametres(cheminParametres);
    console << messagesLectureMoteur(fichierParametres.etat).toStdString();
    // A missing app.xml is silent; one that is there but cannot be read (a user outside the shop's
    // group) is said, or the run would go on with the built-in values as if nothing were wrong.
    if (fichierParametres.etat == EtatParametres::Illisible) {
        QFile illisible(cheminParametres);
        illisible.open(QIODevice::ReadOnly);
        console << "Impossible de lire app.xml (" << illisible.errorString().toStdString() << ").\n";
    }
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
}

// The invoice of the run, from its input file to its result files.
int traiterEntree(Execution &execution, std::ostream &console)
{
    ParametresMoteur &parametres = execution.parametres;
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
        Registre registre(nomConnexionRegistre);
        if (registre.ouvrir(emplacementRegistre(execution.dossierApplication, parametres))) {
            console << "Base de donnee connectee.\n";
            lireFichierEntree(fichierEntree, execution, registre, console);
            fichierEntree.close();
            console << "Le fichier a ete ferme.\n";

            if (demonstration)
                traiterDemonstration(mcf, execution.facture, registre, console);
            else
                Traitement(mcf, execution, registre, console).executer();
            registre.fermer();
            console << "\nLa base de donnee a ete deconnecte.\n";
        } else {
            // A register that cannot be opened or created certifies nothing, and says so.
            console << "Registre inutilisable (" << registre.erreur().toStdString()
                    << "): la facture n'est pas certifiee.\n";
        }
    }

    mcf.ecrireResultats(execution.cheminEntree, execution.cheminResultat);
    console << "Le programme va se terminer.\n";
    return 0;
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
        return commandeAbandonner(execution.dossierApplication, arguments.value(2), console);
    if (execution.cheminEntree == exporter)
        return commandeExporter(execution.dossierApplication, arguments.mid(2), console);
    if (execution.cheminEntree == copierRegistre)
        return commandeCopierRegistre(execution.dossierApplication, arguments.value(2), console);
    if (execution.cheminEntree == arreterServeur) {
        detacherConsole();
        return arreterServeurPhp(execution.dossierApplication);
    }
    preparerExecution(execution, arguments, console);
    return traiterEntree(execution, console);
}
