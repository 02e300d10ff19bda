#include "etatfiscal.h"

#include <qrsvg.h>
#include <resultatfiscal.h>

namespace {

const QString nonCertifiee = QStringLiteral("FACTURE NON CERTIFIEE");
const QString demonstration = QStringLiteral("DEMONSTRATION");

EtatFiscal nonCertifieeCar(const QString &raison)
{
    return {Certification::NonCertifiee, raison};
}

} // namespace

EtatFiscal etatFiscal(const std::optional<ResultatLu> &resultat, const QString &reference)
{
    if (!resultat)
        return nonCertifieeCar(QStringLiteral("aucun fichier resultat"));
    const ResultatLu &r = *resultat;
    if (r.reference != reference)
        return nonCertifieeCar(r.reference.isEmpty()
                                   ? QStringLiteral("le fichier resultat ne nomme pas la facture")
                                   : QStringLiteral("le fichier resultat est celui de la facture ") +
                                         r.reference);
    if (r.qrcode.isEmpty())
        return nonCertifieeCar(QStringLiteral("le fichier resultat ne porte pas de code QR"));
    if (r.signature.isEmpty())
        return nonCertifieeCar(QStringLiteral("le fichier resultat ne porte pas de code fiscal"));
    if (r.mecef_nim.isEmpty())
        return nonCertifieeCar(QStringLiteral("le fichier resultat ne porte pas de NIM"));
    if (!modulesQr(r.qrcode))
        return nonCertifieeCar(
            QStringLiteral("le texte QR du fichier resultat est trop long pour un code QR"));
    // The result file groups the signature by four: compared without its dashes.
    if (QString(r.signature).remove(QLatin1Char('-')) == resultatDemonstration().mecef_sig)
        return {Certification::Demonstration,
                QStringLiteral("resultat de demonstration, aucun appareil ni service fiscal n'a certifie la "
                               "facture")};
    return {Certification::Certifiee, QString()};
}

Mention mention(Certification certification)
{
    switch (certification) {
    case Certification::Certifiee:
        break;
    case Certification::Demonstration:
        return {
            {demonstration, nonCertifiee},
            QStringLiteral("Résultat de démonstration: aucun module de contrôle fiscal n'a certifié cette "
                           "facture.")};
    case Certification::NonCertifiee:
        return {
            {nonCertifiee},
            QStringLiteral("Cette facture n'a pas été certifiée: elle ne porte ni code fiscal ni code QR.")};
    }
    return {};
}

QString ligneConsole(const EtatFiscal &etat)
{
    const Mention m = mention(etat.certification);
    if (m.vide())
        return {};
    const QString debut = etat.certification == Certification::Demonstration
                              ? QStringLiteral("orvane-render: Facture de demonstration (")
                              : QStringLiteral("orvane-render: Facture non certifiee (");
    return debut + etat.raison + QStringLiteral("): elle porte la mention ") + m.enUneLigne() +
           QStringLiteral(".\n");
}
