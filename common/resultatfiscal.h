#pragma once

#include <QString>
#include <QStringList>

// The fiscal result of one certified invoice, under the register's column names: what the device's
// close reply or the service's confirmation gives, what the register row holds and what the result
// file carries.
struct ResultatFiscal
{
    QString qrcode;
    QString mecef_tc;
    QString mecef_sig;
    QString mecef_nim;
    QString mecef_compt;
    QString mecef_date;

    // The six texts in column order, for a look at them all at once (tests, diagnostics).
    QStringList textes() const { return {qrcode, mecef_tc, mecef_sig, mecef_nim, mecef_compt, mecef_date}; }
    bool operator==(const ResultatFiscal &autre) const { return textes() == autre.textes(); }
};

// The result the engine presets in demonstration mode (port "DEMO"): no device or service was asked.
// The renderer knows it by its signature and prints it under a demonstration mark.
inline ResultatFiscal resultatDemonstration()
{
    return {QStringLiteral("F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542"),
            QString(),
            QStringLiteral("DEMO5AB7CD9EF2GH4JK6LM8N"),
            QStringLiteral("EM01020304"),
            QStringLiteral("82/87 FV"),
            QStringLiteral("20200109135542")};
}
