#include "optionssimulateur.h"
#include "serveuremcf.h"

#include <QCoreApplication>
#include <QFile>
#include <QSslKey>

#include <iostream>

namespace {

QSslKey lireCle(const QByteArray &pem)
{
    for (QSsl::KeyAlgorithm algorithme : {QSsl::Rsa, QSsl::Ec}) {
        QSslKey cle(pem, algorithme, QSsl::Pem, QSsl::PrivateKey);
        if (!cle.isNull())
            return cle;
    }
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QString erreur;
    bool aide = false;
    const std::optional<OptionsSimulateur> options = lireOptions(application.arguments(), erreur, aide);
    if (!options) {
        (aide ? std::cout : std::cerr) << erreur.toStdString() << std::endl;
        return aide ? 0 : 2;
    }

    const QList<QSslCertificate> chaine = QSslCertificate::fromPath(options->certificat, QSsl::Pem);
    QFile fichierCle(options->cle);
    const QSslKey cle = fichierCle.open(QIODevice::ReadOnly) ? lireCle(fichierCle.readAll()) : QSslKey();
    if (chaine.isEmpty() || cle.isNull()) {
        std::cerr << "orvane-emcf-sim: certificat ou cle illisible" << std::endl;
        return 1;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chaine);
    tls.setPrivateKey(cle);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients are not asked for a certificate

    ServiceEmcf service(options->service);
    ServeurEmcf serveur(service, tls, std::cout);
    serveur.retarder(options->pauses);
    if (!serveur.ecouter(options->adresse, options->port)) {
        std::cerr << "orvane-emcf-sim: " << serveur.erreur().toStdString() << std::endl;
        return 1;
    }
    const QString hote = options->adresse.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + options->adresse.toString() + QLatin1Char(']')
                             : options->adresse.toString();
    std::cout << "orvane-emcf-sim: https://" << hote.toStdString() << ":" << serveur.port()
              << options->service.chemin.toStdString() << std::endl;
    return application.exec();
}
