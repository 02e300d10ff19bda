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
    // Only these authorities are trusted: setting them switches off the on-demand loading of the
    // system's roots (a large share of a run) and replaces the roots that a backend
    // fills in ahead (Schannel does, on Windows), which adding them to would keep.
    if (!autorites.isEmpty())
        tls.setCaCertificates(autorites);
    return tls;
}
