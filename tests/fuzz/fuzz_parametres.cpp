// app.xml as every program reads it, then saved by the editor: the saved file must load again and
// give back every setting of the loaded file (less the characters XML cannot carry).
#include <enregistrement.h>
#include <parametres.h>

#include <QByteArray>
#include <QSet>

#include <cstdlib>

namespace {

// The keys of the editor's form, in the order it writes them.
const QStringList &clesEditeur()
{
    static const QStringList liste{cles::pays,
                                   cles::isf,
                                   cles::modePrix,
                                   cles::modeMCF,
                                   cles::jeton,
                                   cles::entreprise,
                                   cles::adresse,
                                   cles::telephone,
                                   cles::email,
                                   cles::message,
                                   cles::mode,
                                   cles::ifu,
                                   cles::rccm,
                                   cles::portMCF,
                                   cles::serveurMCF,
                                   cles::filtre,
                                   cles::suppression,
                                   cles::retraiterExistant,
                                   cles::transfererSortie,
                                   cles::dossier,
                                   cles::encodage,
                                   cles::logo,
                                   cles::fontName,
                                   cles::fontSize,
                                   cles::host,
                                   cles::port,
                                   cles::utilisateur,
                                   cles::password,
                                   cles::timeout,
                                   cles::optimize,
                                   cles::logoTop,
                                   cles::economieEspace};
    return liste;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray contenu(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    const FichierParametres fichier = analyserParametres(contenu);
    (void)parametresMoteur(fichier);
    (void)parametresRendu(fichier);
    if (fichier.etat != EtatParametres::Charge)
        return 0;

    // The form shows the loaded values and saves them back unchanged.
    Attributs editeur;
    for (const QString &cle : clesEditeur())
        editeur.append({cle, fichier.valeur(cle)});
    const QByteArray enregistre = documentParametres(fusionnerAttributs(editeur, fichier.attributs));

    const FichierParametres relu = analyserParametres(enregistre);
    if (relu.etat != EtatParametres::Charge)
        std::abort();
    QSet<QString> noms;
    for (const auto &a : relu.attributs) {
        if (noms.contains(a.first))
            std::abort(); // a name written twice: no program could read the file
        noms.insert(a.first);
    }
    for (const QString &cle : clesEditeur()) {
        if (relu.valeur(cle) != texteXmlValide(fichier.valeur(cle)))
            std::abort();
    }
    // Every other setting of the loaded file keeps its first value.
    for (const auto &a : fichier.attributs) {
        if (!clesEditeur().contains(a.first) && a.first == texteXmlValide(a.first) &&
            relu.valeur(a.first) != texteXmlValide(fichier.valeur(a.first)))
            std::abort();
    }
    return 0;
}
