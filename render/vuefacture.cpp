#include "vuefacture.h"

#include <QStringList>
#include <QTextStream>

namespace {

struct Positions
{
    int adresseClient, codeTaxeSpecifique, impression, dateFacture, codeClient, montantRecu, nomCaissier,
        bonCommande, matricule, ligneLibre;
};

constexpr Positions positionsVersion2{7, 10, 12, 13, 14, 15, 16, 17, 18, 19};
constexpr Positions positionsVersion1{12, 7, 9, 10, 11, 13, 14, 15, 16, 17};

// Returns false when the header holds an empty print mode.
bool lireEntete(const QStringList &c, DispositionEntete disposition, VueFacture &vue)
{
    const Positions &p = disposition == DispositionEntete::Version1 ? positionsVersion1 : positionsVersion2;
    // A field beyond the end of the line is not read: the view keeps its value.
    auto prendre = [&c](int position, QString &cible) {
        if (c.size() > position)
            cible = c.at(position);
    };
    prendre(0, vue.reference);
    prendre(1, vue.typeFacture);
    prendre(2, vue.nomOperateur);
    prendre(3, vue.idOperateur);
    prendre(4, vue.codePaiement);
    prendre(5, vue.nomClient);
    prendre(6, vue.ifuClient);
    prendre(p.adresseClient, vue.adresseClient);
    prendre(p.codeTaxeSpecifique, vue.codeTaxeSpecifique);
    prendre(p.impression, vue.impression);
    prendre(p.dateFacture, vue.dateFacture);
    prendre(p.codeClient, vue.codeClient);
    if (c.size() > p.montantRecu && !c.at(p.montantRecu).isEmpty())
        vue.montantRecu = nombreEntree(c.at(p.montantRecu));
    prendre(p.nomCaissier, vue.nomCaissier);
    prendre(p.bonCommande, vue.bonCommande);
    prendre(p.matricule, vue.matricule);
    prendre(p.ligneLibre, vue.ligneLibre);
    return !(c.size() > p.impression && vue.impression.isEmpty());
}

bool typeNegatif(const QString &typeFacture)
{
    return typeFacture == QStringLiteral("FA") || typeFacture == QStringLiteral("EA") ||
           typeFacture == QStringLiteral("FT") || typeFacture == QStringLiteral("ET");
}

void lireArticle(const QStringList &c, VueFacture &vue)
{
    if (c.size() < 4)
        return;
    ArticleRendu a;
    a.groupeTaxe = champLigne(c, 0);
    a.designation = champLigne(c, 1);
    a.quantite = champLigne(c, 2);
    a.prixHT = champLigne(c, 3);
    a.prixTTC = champLigne(c, 4);
    a.complementArticle = champLigne(c, 5);
    a.taxeSpecifiqueHT = champLigne(c, 6);
    a.taxeSpecifique = champLigne(c, 7);
    a.partClient = champLigne(c, 8);
    const double q = nombreEntree(a.quantite);
    const double tsHT = nombreEntree(a.taxeSpecifiqueHT);
    const double ts = nombreEntree(a.taxeSpecifique);
    a.tva = q * nombreEntree(a.prixTTC) - q * nombreEntree(a.prixHT) + ts - tsHT;
    vue.totalTSHT += tsHT;
    vue.totalTS += ts;
    vue.articles.append(a);
}

} // namespace

DispositionEntete dispositionEntete(const QString &apiVersion)
{
    return apiVersion == QStringLiteral("1") ? DispositionEntete::Version1 : DispositionEntete::Version2;
}

LectureFacture lireFacture(QTextStream &flux, DispositionEntete disposition, const QString &pays)
{
    LectureFacture lecture;
    VueFacture &vue = lecture.vue;
    bool enteteLu = false;
    while (!flux.atEnd()) {
        QString ligne = flux.readLine();
        if (ligne.isEmpty())
            continue;
        ligne.remove(QChar(u'\0'));
        const QStringList c = champsLigne(ligne);
        if (!enteteLu) {
            enteteLu = true;
            if (!lireEntete(c, disposition, vue)) {
                lecture.impressionVide = true;
                return lecture;
            }
        } else if (ligne.startsWith(QLatin1Char('#'))) {
            vue.commentaires.append({champLigne(c, 1), champLigne(c, 2)});
        } else {
            if (pays == QStringLiteral("Niger") && typeNegatif(vue.typeFacture))
                vue.signe = -1;
            lireArticle(c, vue);
        }
    }
    return lecture;
}
