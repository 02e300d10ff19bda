#pragma once

#include <QString>

// Result lines as the engine writes them, for the renderer's tests.

// A certification by a fiscal device: its QR text and its signature grouped by four.
inline const QString texteQrCertifie =
    QStringLiteral("F;EM01020304;QVTK3JZF7HNCM2WDR5XB8LPE;1234567890123;20200109135542");
inline const QString signatureCertifiee = QStringLiteral("QVTK-3JZF-7HNC-M2WD-R5XB-8LPE");

// The engine's demonstration result (port "DEMO"): no device was asked.
inline const QString texteQrDemonstration =
    QStringLiteral("F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542");
inline const QString signatureDemonstration = QStringLiteral("DEMO-5AB7-CD9E-F2GH-4JK6-LM8N");

// The result line of invoice `reference` certified by the device EM01020304.
inline QString ligneCertifiee(const QString &reference, const QString &referenceOriginale = {})
{
    return reference + QStringLiteral("\t87\t") + signatureCertifiee +
           QStringLiteral("\tEM01020304\t82/87 FV\t09/01/2020 13:55:42\t") + texteQrCertifie +
           QStringLiteral("\t") + referenceOriginale;
}

// The engine's demonstration result line of invoice `reference`.
inline QString ligneDemonstration(const QString &reference)
{
    return reference + QStringLiteral("\t\t") + signatureDemonstration +
           QStringLiteral("\tEM01020304\t82/87 FV\t09/01/2020 13:55:42\t") + texteQrDemonstration +
           QStringLiteral("\t");
}
