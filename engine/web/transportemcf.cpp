#include "transportemcf.h"

QList<QSslCertificate> autoritesEmcf(const QString &fichierAutorites)
{
    if (fichierAutorites.isEmpty())
        return {};
    return QSslCertificate::fromPath(fichierAutorites, QSsl::Pem);
}

QSslConfiguration configurationTls(const QList<QSslCertificate> &autorites)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});
    // Only these authorities are trusted: adding them switches off the on-demand loading of the
    // system's roots, which is what is wanted (loading all of them would cost each run ~170 ms).
    if (!autorites.isEmpty())
        tls.addCaCertificates(autorites);
    return tls;
}
