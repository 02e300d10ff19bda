#include "nomfichierpdf.h"

#include <QCryptographicHash>

namespace {

const QString suffixe = QStringLiteral(".pdf");

QString remplacerInterdits(const QString &reference)
{
    static const QString interdits = QStringLiteral("/\\:*?\"<>|");
    QString nom = reference;
    for (QChar &c : nom) {
        if (interdits.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return nom;
}

// The longest start of `texte` that fits `octets` bytes of UTF-8, never splitting a surrogate pair.
QString debutTenant(const QString &texte, qsizetype octets)
{
    qsizetype utilises = 0;
    qsizetype fin = 0;
    while (fin < texte.size()) {
        const bool paire =
            texte.at(fin).isHighSurrogate() && fin + 1 < texte.size() && texte.at(fin + 1).isLowSurrogate();
        const qsizetype largeur = paire ? 2 : 1;
        const qsizetype taille = texte.mid(fin, largeur).toUtf8().size();
        if (utilises + taille > octets)
            break;
        utilises += taille;
        fin += largeur;
    }
    return texte.left(fin);
}

} // namespace

QString nomFichierPdf(const QString &reference)
{
    if (reference.isEmpty())
        return QStringLiteral("sans-reference") + suffixe;
    const QString nom = remplacerInterdits(reference);
    if (nom.toUtf8().size() + suffixe.size() <= nomFichierPdfMax)
        return nom + suffixe;
    const QString empreinte = QString::fromLatin1(
        QCryptographicHash::hash(reference.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    const qsizetype place = nomFichierPdfMax - suffixe.size() - 1 - empreinte.size();
    return debutTenant(nom, place) + QLatin1Char('-') + empreinte + suffixe;
}
