#include "rendu.h"

#include "dessinticket.h"
#include "document.h"
#include "etatfiscal.h"
#include "resultatlu.h"
#include "sortie.h"

#include <imagesqr.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QFile>
#include <QTextStream>

#include <optional>

namespace {

// The result file; without one, `absence` says why.
std::optional<ResultatLu> lireFichierResultat(const QString &chemin, std::ostream &console, QString &absence)
{
    if (!QFile::exists(chemin)) {
        absence = QStringLiteral("aucun fichier resultat ") + chemin;
        return std::nullopt;
    }
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly | QIODevice::Text)) {
        absence = QStringLiteral("fichier resultat illisible ") + chemin;
        return std::nullopt;
    }
    console << "orvane-render: Fichier de sortie ouvert.\n";
    QTextStream flux(&fichier);
    flux.setEncoding(QStringConverter::Utf8);
    return lireResultat(flux);
}

} // namespace

int executerRendu(const QStringList &arguments, const QString &dossierProgramme, std::ostream &console)
{
    const QString cheminEntree =
        arguments.size() > 1 ? arguments.at(1) : dossierProgramme + QStringLiteral("/input.csv");
    const QString cheminResultat =
        arguments.size() > 2 ? arguments.at(2) : cheminEntree + QStringLiteral(".mcf");
    if (!QFile::exists(cheminEntree))
        return 0;

    const FichierParametres fichierParametres = lireFichierParametres(QStringLiteral("./app.xml"));
    if (fichierParametres.etat != EtatParametres::Charge) {
        console << messageLectureRendu(fichierParametres.etat).toStdString();
        return 0;
    }
    const ParametresRendu parametres = parametresRendu(fichierParametres);

    Invoice facture;
    QFile entree(cheminEntree);
    if (entree.open(QIODevice::ReadOnly | QIODevice::Text)) {
        console << "orvane-render: Fichier d'entree ouvert.\n";
        // Decoded as the engine decodes it: a Latin-1 file prints its accents, not replacement
        // characters, on the fiscal document.
        QTextStream flux(&entree);
        flux.setEncoding(parametres.encodage.isEmpty() ? QStringConverter::Utf8
                                                       : encodageEntree(parametres.encodage));
        OptionsLecture options;
        options.disposition = dispositionEntete(parametres.apiVersion);
        options.pays = parametres.pays;
        options.arretImpressionVide = true;
        facture = lireFacture(flux, options);
        entree.close();
    } else {
        console << "Impossible d'ouvrir le fichier: " << cheminEntree.toStdString() << "\n";
    }
    if (facture.impressionVide)
        return 0;
    if (const QString illisible = nombreIllisible(facture); !illisible.isEmpty()) {
        console << (illisible + QStringLiteral(": la facture n'est pas imprimee.\n")).toStdString();
        return 1;
    }

    QString absence;
    const std::optional<ResultatLu> resultat = lireFichierResultat(cheminResultat, console, absence);
    EtatFiscal etat = etatFiscal(resultat, facture.reference);
    if (!resultat)
        etat.raison = absence;
    // The QR images beside the input are those of the result the document prints; the documents
    // draw the code from its text.
    const bool avecQr = etat.certification != Certification::NonCertifiee;
    if (avecQr)
        ecrireImagesQr(resultat->qrcode, cheminEntree);

    const Variante variante = varianteImpression(facture.impression);
    const int caracteres = variante == Variante::Ticket
                               ? caracteresParLigne(policeTicket(parametres.fontName, parametres.fontSize),
                                                    parametres.largeurTicket)
                               : 0;
    const QString texte = construireDocument(facture, parametres, resultat, variante, caracteres);
    if (facture.impression.isEmpty())
        return 0;
    console << ligneConsole(etat).toStdString();

    DemandeSortie demande;
    demande.impression = facture.impression;
    demande.variante = variante;
    demande.reference = facture.reference;
    demande.texteQr = avecQr ? resultat->qrcode : QString();
    demande.marque = mention(etat.certification).lignes;
    demande.fontName = parametres.fontName;
    demande.fontSize = parametres.fontSize;
    demande.largeurTicket = parametres.largeurTicket;
    return sortirDocument(texte, demande, console) ? 0 : 1;
}
