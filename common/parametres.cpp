#include "parametres.h"

#include "formats.h"

#include <QFile>
#include <QXmlStreamReader>

#include <cmath>

QString FichierParametres::valeur(const QString &cle) const
{
    for (const auto &a : attributs) {
        if (a.first == cle)
            return a.second;
    }
    return {};
}

bool FichierParametres::contient(const QString &cle) const
{
    for (const auto &a : attributs) {
        if (a.first == cle)
            return true;
    }
    return false;
}

FichierParametres analyserParametres(const QByteArray &contenu)
{
    FichierParametres fichier;
    fichier.etat = EtatParametres::Invalide;
    QXmlStreamReader xml(contenu);
    xml.setNamespaceProcessing(false);
    bool racineVue = false;
    QList<QPair<QString, QString>> attributs;
    // Read to the end so that a document broken after its first element is still refused.
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && !racineVue) {
            racineVue = true;
            for (const QXmlStreamAttribute &a : xml.attributes())
                attributs.append({a.qualifiedName().toString(), a.value().toString()});
        }
    }
    if (xml.hasError() || !racineVue)
        return fichier;
    fichier.etat = EtatParametres::Charge;
    fichier.attributs = attributs;
    return fichier;
}

FichierParametres lireFichierParametres(const QString &chemin)
{
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly)) {
        FichierParametres absent;
        if (QFile::exists(chemin))
            absent.etat = EtatParametres::Illisible;
        return absent;
    }
    return analyserParametres(fichier.readAll());
}

int versEntier(const QString &texte)
{
    bool ok = false;
    const int valeur = texte.toInt(&ok, 10);
    return ok ? valeur : 0;
}

bool versInterrupteur(const QString &texte)
{
    return versEntier(texte) != 0;
}

ParametresMoteur parametresMoteur(const FichierParametres &fichier)
{
    ParametresMoteur p;
    if (fichier.etat != EtatParametres::Charge)
        return p;
    p.pays = fichier.valeur(cles::pays);
    p.portMCF = fichier.valeur(cles::portMCF);
    p.encodage = fichier.valeur(cles::encodage);
    p.isf = fichier.valeur(cles::isf);
    p.modePrix = fichier.valeur(cles::modePrix);
    p.modeMCF = fichier.valeur(cles::modeMCF);
    p.jeton = fichier.valeur(cles::jeton);
    p.apiVersion = fichier.valeur(cles::apiVersion);
    p.modeEnLigne = !p.jeton.isEmpty();
    const QString tolerance = fichier.valeur(cles::tolerance);
    if (!tolerance.isEmpty())
        p.tolerance = nombreEntree(tolerance);
    p.registre = fichier.valeur(cles::registre).trimmed();
    p.motDePasseRegistre = fichier.valeur(cles::motDePasseRegistre);
    if (!fichier.valeur(cles::caisse).trimmed().isEmpty())
        p.caisse = fichier.valeur(cles::caisse).trimmed();
    // A time limit that is not a positive number keeps its default: a register without one could
    // hang a till.
    for (const auto &[cle, delai] : {std::pair{&cles::delaiConnexionRegistre, &p.delaiConnexionRegistre},
                                     std::pair{&cles::delaiRequeteRegistre, &p.delaiRequeteRegistre}}) {
        const int secondes = versEntier(fichier.valeur(*cle));
        if (secondes > 0)
            *delai = secondes;
    }
    return p;
}

QString messagesLectureMoteur(EtatParametres etat)
{
    switch (etat) {
    case EtatParametres::Introuvable:
    case EtatParametres::Illisible: // the engine says why, with the system's reason
        return {};
    case EtatParametres::Invalide:
        return QStringLiteral(
            "Fichier app.xml ouvert.\nImpossible de charger app.xml\nFichier app.xml fermé.\n");
    case EtatParametres::Charge:
        return QStringLiteral("Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n");
    }
    return {};
}

ParametresRendu parametresRendu(const FichierParametres &fichier)
{
    ParametresRendu p;
    if (fichier.etat != EtatParametres::Charge)
        return p;
    p.logo = fichier.valeur(cles::logo);
    p.pays = fichier.valeur(cles::pays);
    p.isf = fichier.valeur(cles::isf);
    p.entreprise = fichier.valeur(cles::entreprise);
    p.adresse = fichier.valeur(cles::adresse);
    p.telephone = fichier.valeur(cles::telephone);
    p.email = fichier.valeur(cles::email);
    p.message = fichier.valeur(cles::message);
    p.rccm = fichier.valeur(cles::rccm);
    p.ifu = fichier.valeur(cles::ifu);
    p.apiVersion = fichier.valeur(cles::apiVersion);
    p.encodage = fichier.valeur(cles::encodage);
    const QString nomPolice = fichier.valeur(cles::fontName);
    if (!nomPolice.isEmpty())
        p.fontName = nomPolice;
    const int taille = versEntier(fichier.valeur(cles::fontSize));
    if (taille != 0)
        p.fontSize = taille;
    p.logoTop = versInterrupteur(fichier.valeur(cles::logoTop));
    p.economieEspace = versInterrupteur(fichier.valeur(cles::economieEspace));
    const double largeur = nombreEntree(fichier.valeur(cles::largeurTicket));
    if (largeur > 0 && std::isfinite(largeur))
        p.largeurTicket = largeur;
    return p;
}

QString messageLectureRendu(EtatParametres etat)
{
    switch (etat) {
    case EtatParametres::Introuvable:
    case EtatParametres::Illisible:
        return QStringLiteral("Impossible d'ouvir app.xml\n");
    case EtatParametres::Invalide:
        return QStringLiteral("Impossible de charger app.xml\n");
    case EtatParametres::Charge:
        return {};
    }
    return {};
}
