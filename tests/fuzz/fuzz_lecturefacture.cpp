// The invoice input file as the engine and the renderer read it: every encoding the engine can be
// told to use, both header layouts, both countries; then the totals of what was read.
#include <lecturefacture.h>
#include <totaux.h>

#include <QByteArray>
#include <QIODevice>
#include <QTextStream>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray octets =
        QByteArray::fromRawData(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    for (int encodage = 0; encodage <= 8; ++encodage) {
        for (const DispositionEntete disposition :
             {DispositionEntete::Version1, DispositionEntete::Version2}) {
            const QString pays = encodage % 2 ? QStringLiteral("Niger") : QStringLiteral("Bénin");
            QByteArray copie = octets;
            QTextStream flux(&copie, QIODevice::ReadOnly);
            flux.setEncoding(encodageEntree(QString::number(encodage)));
            const Invoice facture = lireFacture(flux, {disposition, pays, encodage == 0});
            if (facture.nombreLignes < 0 || facture.articles.size() > facture.nombreLignes)
                std::abort();
            calculerTotaux(facture, pays);
        }
    }
    return 0;
}
