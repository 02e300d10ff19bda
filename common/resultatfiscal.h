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
