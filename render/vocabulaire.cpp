#include "vocabulaire.h"

#include <QMap>

Vocabulaire vocabulaire(const QString &pays)
{
    if (pays == QStringLiteral("Bénin"))
        return {QStringLiteral("MECeF"), QStringLiteral("AIB"), QStringLiteral("IFU")};
    if (pays == QStringLiteral("Niger"))
        return {QStringLiteral("SECeF"), QStringLiteral("Précompte ISB"), QStringLiteral("NIF")};
    return {};
}

std::optional<TypeFacture> typeFacture(const QString &code)
{
    const QString facture = QStringLiteral("Facture");
    const QString doit = QStringLiteral("Doit:");
    const QString credit = QStringLiteral("Au crédit de:");
    const QString arrete = QStringLiteral("Arrêté la présente facture à la somme de: ");
    const QString devoir = QStringLiteral(" reconnait vous devoir la somme de: ");
    const QString netAPayer = QStringLiteral("Net à Payer: ");
    const QString netFaveur = QStringLiteral("Net en votre faveur: ");
    if (code == QStringLiteral("FV"))
        return TypeFacture{facture, doit, arrete, false, netAPayer};
    if (code == QStringLiteral("FA"))
        return TypeFacture{facture + QStringLiteral(" d'avoir"), credit, devoir, true, netFaveur};
    if (code == QStringLiteral("EV"))
        return TypeFacture{facture + QStringLiteral(" d'exportation"), doit, arrete, false, netAPayer};
    if (code == QStringLiteral("EA"))
        return TypeFacture{facture + QStringLiteral(" d'avoir d'exportation"), credit, devoir, true,
                           netFaveur};
    if (code == QStringLiteral("FT"))
        return TypeFacture{facture + QStringLiteral(" d'accompte"), credit, devoir, true, netFaveur};
    if (code == QStringLiteral("ET"))
        return TypeFacture{facture + QStringLiteral(" d'accompte d'exportation"), credit, devoir, true,
                           netFaveur};
    return std::nullopt;
}

QString libelleTaux(const QString &pays, const QString &groupe)
{
    if (pays == QStringLiteral("Bénin") && (groupe == QStringLiteral("B") || groupe == QStringLiteral("D")))
        return QStringLiteral(" 18 %");
    if (pays == QStringLiteral("Niger")) {
        if (groupe == QStringLiteral("B"))
            return QStringLiteral(" 19 %");
        if (groupe == QStringLiteral("D"))
            return QStringLiteral(" 5 %");
    }
    return {};
}

QString libellePaiement(const QString &code)
{
    static const QMap<QString, QString> libelles{{QStringLiteral("V"), QStringLiteral("Virement")},
                                                 {QStringLiteral("C"), QStringLiteral("Carte Bancaire")},
                                                 {QStringLiteral("M"), QStringLiteral("Mobile Money")},
                                                 {QStringLiteral("D"), QStringLiteral("Chèque")},
                                                 {QStringLiteral("E"), QStringLiteral("Espèces")},
                                                 {QStringLiteral("A"), QStringLiteral("Autre")}};
    return libelles.value(code);
}
