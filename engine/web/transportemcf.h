#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>

// The authorities of `fichierAutorites` (a PEM file), to trust instead of the system's; none for an
// empty path, an unreadable or empty file, which leaves the system's in force. Certificate
// verification itself is never switched off.
QList<QSslCertificate> autoritesEmcf(const QString &fichierAutorites);

// The TLS settings of the connection to the service: the default ones, HTTP/1.1, with only
// `autorites` trusted when there are some.
QSslConfiguration configurationTls(const QList<QSslCertificate> &autorites);
