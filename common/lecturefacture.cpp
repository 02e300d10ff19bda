#include "lecturefacture.h"

#include <parametres.h>

#include <QTextStream>

#include <utility>

namespace {

// Positions of the header fields that move between the two layouts; -1 for a field the layout lacks.
struct Positions
{
    int adresseClient, contactClient, contactClient2, codeTaxeSpecifique, factureOriginale, impression,
        dateFacture, codeClient, montantRecu, nomCaissier, bonCommande, matricule, ligneLibre;
};

constexpr Positions positionsVersion2{7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
constexpr Positions positionsVersion1{12, -1, -1, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17};

void lireEntete(const QStringList &c, Invoice &f, const OptionsLecture &options)
{
    const Positions &p =
        options.disposition == DispositionEntete::Version1 ? positionsVersion1 : positionsVersion2;
    // A field beyond the end of the line is not read: the record keeps its value.
    auto prendre = [&c](int position, QString &cible) {
        if (position >= 0 && c.size() > position)
            cible = c.at(position);
    };
    f.champsEntete = c.size();
    prendre(0, f.reference);
    prendre(1, f.typeFacture);
    prendre(2, f.nomOperateur);
    prendre(3, f.idOperateur);
    prendre(4, f.codePaiement);
    prendre(5, f.nomClient);
    prendre(6, f.ifuClient);
    prendre(p.adresseClient, f.adresseClient);
    prendre(p.contactClient, f.contactClient);
    prendre(p.contactClient2, f.contactClient2);
    prendre(p.codeTaxeSpecifique, f.codeTaxeSpecifique);
    prendre(p.factureOriginale, f.factureOriginale);
    prendre(p.impression, f.impression);
    prendre(p.dateFacture, f.dateFacture);
    prendre(p.codeClient, f.codeClient);
    if (c.size() > p.montantRecu && !c.at(p.montantRecu).isEmpty())
        f.montantRecu = nombreEntree(c.at(p.montantRecu));
    prendre(p.nomCaissier, f.nomCaissier);
    prendre(p.bonCommande, f.bonCommande);
    prendre(p.matricule, f.matricule);
    prendre(p.ligneLibre, f.ligneLibre);
    f.impressionVide = c.size() > p.impression && f.impression.isEmpty();
}

bool typeNegatif(const QString &typeFacture)
{
    return typeFacture == QStringLiteral("FA") || typeFacture == QStringLiteral("EA") ||
           typeFacture == QStringLiteral("FT") || typeFacture == QStringLiteral("ET");
}

void lireArticle(const QStringList &c, Invoice &f, const OptionsLecture &options)
{
    if (c.size() < 4)
        return;
    InvoiceItem a;
    a.groupeTaxe = champLigne(c, 0);
    a.designation = champLigne(c, 1);
    a.quantite = champLigne(c, 2);
    a.prixHT = champLigne(c, 3);
    a.prixTTC = champLigne(c, 4);
    a.complementArticle = champLigne(c, 5);
    a.taxeSpecifiqueHT = champLigne(c, 6);
    a.taxeSpecifique = champLigne(c, 7);
    a.partClient = champLigne(c, 8);

    NombresArticle &n = a.nombres;
    n.quantite = nombreEntree(a.quantite);
    n.prixHT = nombreEntree(a.prixHT);
    n.prixTTC = nombreEntree(a.prixTTC);
    n.taxeSpecifiqueHT = nombreEntree(a.taxeSpecifiqueHT);
    n.taxeSpecifique = nombreEntree(a.taxeSpecifique);
    n.partClient = a.partClient.isEmpty() ? 100 : nombreEntree(a.partClient);
    a.tva = entierFrancais(n.quantite * n.prixTTC - n.quantite * n.prixHT);

    f.articles.append(a);
    f.totalFacture += ligneCertifiee(a, f.codeTaxeSpecifique, options.pays).total;
}

} // namespace

DispositionEntete dispositionEntete(const QString &apiVersion)
{
    return apiVersion == QStringLiteral("1") ? DispositionEntete::Version1 : DispositionEntete::Version2;
}

QStringList champsLigne(const QString &ligne)
{
    QStringList champs = ligne.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    for (QString &c : champs)
        c = c.trimmed();
    return champs;
}

QString champLigne(const QStringList &champs, int position)
{
    return position < champs.size() ? champs.at(position) : QString();
}

void lireLigne(const QString &ligne, Invoice &facture, const OptionsLecture &options)
{
    const QStringList c = champsLigne(ligne);
    if (facture.nombreLignes == 0) {
        lireEntete(c, facture, options);
    } else if (ligne.startsWith(QLatin1Char('#'))) {
        facture.commentaires.append({champLigne(c, 1), champLigne(c, 2)});
    } else {
        if (options.pays == QStringLiteral("Niger") && typeNegatif(facture.typeFacture))
            facture.signe = -1;
        lireArticle(c, facture, options);
    }
}

Invoice lireFacture(QTextStream &flux, const OptionsLecture &options)
{
    Invoice facture;
    int ligneFichier = 0;
    while (!flux.atEnd()) {
        QString ligne = flux.readLine();
        ++ligneFichier;
        if (ligne.isEmpty())
            continue;
        ligne.remove(QChar(u'\0'));
        const qsizetype articles = facture.articles.size();
        lireLigne(ligne, facture, options);
        if (facture.articles.size() > articles)
            facture.articles.last().ligneFichier = ligneFichier;
        ++facture.nombreLignes;
        if (facture.nombreLignes == 1 && facture.impressionVide && options.arretImpressionVide)
            break;
    }
    return facture;
}

QString nombreIllisible(const Invoice &facture)
{
    for (qsizetype i = 0; i < facture.articles.size(); ++i) {
        const InvoiceItem &a = facture.articles.at(i);
        const std::pair<const QString &, const char *> champs[] = {
            {a.quantite, "quantite"}, {a.prixHT, "prixHT"}, {a.prixTTC, "prixTTC"}};
        for (const auto &[texte, nom] : champs) {
            if (texte.isEmpty() || estNombreEntree(texte))
                continue;
            QString motif = a.ligneFichier > 0
                                ? QStringLiteral("Ligne %1 (article %2)").arg(a.ligneFichier).arg(i + 1)
                                : QStringLiteral("Article %1").arg(i + 1);
            motif += QStringLiteral(", champ %1: \"%2\" n'est pas un nombre").arg(QLatin1String(nom), texte);
            if (texte.contains(QLatin1Char(',')))
                motif += QStringLiteral(" (le separateur decimal est le point)");
            return motif;
        }
    }
    return {};
}

QStringConverter::Encoding encodageEntree(const QString &encodage)
{
    const int code = versEntier(encodage);
    if (code < 0 || code > static_cast<int>(QStringConverter::System))
        return QStringConverter::Utf8;
    return static_cast<QStringConverter::Encoding>(code);
}
