#include "controlefacture.h"

#include <formats.h>
#include <lecturefacture.h>

#include <QCryptographicHash>

#include <cmath>

namespace {

constexpr double nombreMax = 1e15;

bool nombreAcceptable(const QString &texte)
{
    const double valeur = nombreEntree(texte);
    return std::isfinite(valeur) && std::fabs(valeur) <= nombreMax;
}

} // namespace

QString motifRefus(const Invoice &facture)
{
    if (facture.reference.isEmpty())
        return QStringLiteral("Reference de facture vide: la facture n'est pas certifiee.\n");
    for (const QChar c : facture.reference) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral(
                "Reference de facture invalide (caractere de controle): la facture n'est pas "
                "certifiee.\n");
    }
    // A quantity or price written but unreadable would count as 0 (lecturefacture.h).
    const QString illisible = nombreIllisible(facture);
    if (!illisible.isEmpty())
        return illisible + QStringLiteral(": la facture n'est pas certifiee.\n");
    for (qsizetype i = 0; i < facture.articles.size(); ++i) {
        const InvoiceItem &a = facture.articles.at(i);
        for (const QString &nombre :
             {a.quantite, a.prixHT, a.prixTTC, a.taxeSpecifiqueHT, a.taxeSpecifique}) {
            if (!nombreAcceptable(nombre))
                return QStringLiteral(
                           "Nombre invalide dans l'article %1 (%2): la facture n'est pas certifiee.\n")
                    .arg(i + 1)
                    .arg(nombre);
        }
    }
    if (!std::isfinite(facture.totalFacture))
        return QStringLiteral("Total de la facture invalide: la facture n'est pas certifiee.\n");
    return {};
}

QString empreinteFacture(const Invoice &facture)
{
    QCryptographicHash somme(QCryptographicHash::Sha256);
    auto ajouter = [&somme](const QString &texte) {
        somme.addData(texte.toUtf8());
        somme.addData(QByteArrayView("\x1f", 1));
    };
    for (const QString &champ : {facture.typeFacture, facture.ifuClient, facture.codeTaxeSpecifique,
                                 facture.referenceOriginale, facture.codePaiement})
        ajouter(champ);
    for (const InvoiceItem &a : facture.articles) {
        for (const QString &champ : {a.groupeTaxe, a.designation, a.quantite, a.prixHT, a.prixTTC,
                                     a.complementArticle, a.taxeSpecifiqueHT, a.taxeSpecifique})
            ajouter(champ);
    }
    return QString::asprintf("%.2f;%lld;", facture.totalFacture,
                             static_cast<long long>(facture.articles.size())) +
           QString::fromLatin1(somme.result().toHex().left(16));
}
