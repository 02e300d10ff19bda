#include "mcf.h"

#include "chemincertification.h"
#include "fichiersresultat.h"

#include <journalcertification.h>
#include <registre.h>

#include <ecriturefichier.h>
#include <imagesqr.h>

#include <QProcess>

MCF::MCF(Execution &execution, std::ostream &console) : m_execution(execution), m_console(console) {}

MCF::~MCF() = default;

void MCF::certifier(CheminCertification &chemin, JournalCertification &journal)
{
    resultatMCF = chemin.certifier(m_execution.facture, journal);
}

void MCF::prechargerDemonstration()
{
    resultat = resultatDemonstration();
}

bool MCF::enregistrerResultat(Registre &registre, const QString &appareil)
{
    if (!resultatMCF)
        return false;
    resultat = *resultatMCF;
    const ParametresMoteur &parametres = m_execution.parametres;
    if (registre.enregistrer(m_execution.facture.reference, resultat,
                             montantsFacture(m_execution.facture, parametres.pays, resultat, parametres.caisse,
                                             appareil))) {
        m_console << "Insertion de la facture dans la base de donnees reussie.\n";
        return true;
    }
    m_console << "Erreur. Impossibe d'inserer une facture\n";
    // The invoice is certified all the same: its codes go to the console so that the operator can
    // record them by hand.
    m_console << "Cause: " << registre.erreur().toStdString()
              << "\nQR de la facture certifiee: " << resultat.qrcode.toStdString() << "\n";
    resultat = {};
    return false;
}

void MCF::ecrireResultats(const QString &cheminEntree, const QString &cheminResultat)
{
    if (resultat.qrcode.isEmpty())
        return;
    // The QR images are a convenience: when they cannot be written the renderer makes its own.
    ecrireImagesQr(resultat.qrcode, cheminEntree);

    const Invoice &facture = m_execution.facture;
    // Written to a temporary file and renamed, so that the business application, which polls for
    // this file, never reads half a line, and a link planted at the path is replaced, not followed.
    if (!remplacerFichier(cheminResultat,
                          ligneResultat(facture.reference, resultat, facture.referenceOriginale).toUtf8()))
        return;
    m_console << "Le fichier de sortie " << cheminResultat.toStdString() << " a ete bien enregistre.\n";

    if (facture.impression.isEmpty()) {
        m_console << "La routine d'impression ne sera pas lancee.\n";
        return;
    }
    const QString commande = QStringLiteral("orvane-render \"") + cheminEntree + QStringLiteral("\" \"") +
                             cheminResultat + QStringLiteral("\"");
    // The renderer is installed beside the engine; it is started by absolute path so that the
    // working directory of the business application does not matter.
    const QString programme = m_execution.dossierApplication + QStringLiteral("/orvane-render");
    if (QProcess::startDetached(programme, {cheminEntree, cheminResultat}, QString()))
        m_console << "Routine d'impression lancee " << commande.toStdString() << " .\n";
    else
        m_console << "Impossible de lancer la routine d'impression.\n";
}
