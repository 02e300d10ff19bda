#include "rendu.h"

#include "dessinticket.h"
#include "document.h"
#include "resultatlu.h"
#include "sortie.h"

#include <imagesqr.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QFile>
#include <QTextStream>

#include <optional>

namespace {

std::optional<ResultatLu> lireFichierResultat(const QString &chemin, std::ostream &console)
{
    if (!QFile::exists(chemin))
        return std::nullopt;
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
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
        // Always UTF-8, whatever encoding the engine was told to use.
        QTextStream flux(&entree);
        flux.setEncoding(QStringConverter::Utf8);
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

    const std::optional<ResultatLu> resultat = lireFichierResultat(cheminResultat, console);
    QString imageQr;
    if (resultat) {
        ecrireImagesQr(resultat->qrcode, cheminEntree);
        // A PNG left by the engine is still shown when this run could not write its own.
        if (QFile::exists(cheminEntree + QStringLiteral(".png")))
            imageQr = cheminEntree + QStringLiteral(".png");
    }

    const Variante variante = varianteImpression(facture.impression);
    const int caracteres = variante == Variante::Ticket
                               ? caracteresParLigne(policeTicket(parametres.fontName, parametres.fontSize),
                                                    parametres.largeurTicket)
                               : 0;
    const QString texte = construireDocument(facture, parametres, resultat, imageQr, variante, caracteres);
    if (facture.impression.isEmpty())
        return 0;

    DemandeSortie demande;
    demande.impression = facture.impression;
    demande.variante = variante;
    demande.reference = facture.reference;
    demande.imageQr = imageQr;
    demande.fontName = parametres.fontName;
    demande.fontSize = parametres.fontSize;
    demande.largeurTicket = parametres.largeurTicket;
    sortirDocument(texte, demande);
    return 0;
}
