#include "resultatemcf.h"

#include "vocabulaireemcf.h"

QString compteurTotal(const QString &compteurs)
{
    const qsizetype barre = compteurs.indexOf(QLatin1Char('/'));
    const qsizetype debut = barre < 0 ? 0 : barre + 1;
    const qsizetype espace = compteurs.indexOf(QLatin1Char(' '));
    if (espace < debut)
        return compteurs.mid(debut);
    return compteurs.mid(debut, espace - debut);
}

ResultatFiscal resultatConfirmation(const QJsonObject &reponse, const QString &pays)
{
    auto texte = [&reponse](const QString &cle) { return reponse.value(cle).toString(); };
    const QString compteurs = texte(QStringLiteral("counters"));
    return {texte(QStringLiteral("qrCode")),
            compteurTotal(compteurs),
            texte(vocabulaireEmcf(pays).cleCodeFiscal),
            texte(QStringLiteral("nim")),
            compteurs,
            texte(QStringLiteral("dateTime"))};
}
