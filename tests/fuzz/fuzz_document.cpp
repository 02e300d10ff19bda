// The renderer's reading and document building: the input file (UTF-8, either header layout) and,
// after the first 0x1E byte of the fuzz input, the result file; both documents are built for both
// countries.
#include <document.h>
#include <resultatlu.h>

#include <lecturefacture.h>

#include <QByteArray>
#include <QIODevice>
#include <QTextStream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray tout(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    const qsizetype coupure = tout.indexOf('\x1e');
    QByteArray entree = coupure < 0 ? tout : tout.left(coupure);
    QByteArray resultatBrut = coupure < 0 ? QByteArray() : tout.mid(coupure + 1);

    QTextStream fluxResultat(&resultatBrut, QIODevice::ReadOnly);
    fluxResultat.setEncoding(QStringConverter::Utf8);
    const ResultatLu resultat = lireResultat(fluxResultat);

    for (const QString &pays : {QStringLiteral("Bénin"), QStringLiteral("Niger")}) {
        ParametresRendu parametres;
        parametres.pays = pays;
        parametres.economieEspace = pays == QStringLiteral("Niger");
        parametres.apiVersion = coupure < 0 ? QStringLiteral("1") : QString();
        QTextStream flux(&entree, QIODevice::ReadOnly);
        flux.setEncoding(QStringConverter::Utf8);
        const Invoice facture =
            lireFacture(flux, {dispositionEntete(parametres.apiVersion), pays, /*arretImpressionVide=*/true});
        for (const Variante variante : {Variante::A4, Variante::Ticket}) {
            (void)construireDocument(facture, parametres, resultat, QStringLiteral("/tmp/qr.png"), variante);
            (void)construireDocument(facture, parametres, std::nullopt, QString(), variante);
        }
    }
    return 0;
}
