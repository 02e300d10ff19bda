#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The fiscal result of one invoice, under the register's column names.
struct ResultatFiscal
{
    QString qrcode;
    QString mecef_tc;
    QString mecef_sig;
    QString mecef_nim;
    QString mecef_compt;
    QString mecef_date;
};

// The six texts in the register's column order, as the certification paths deliver them.
inline QStringList listeResultat(const ResultatFiscal &r)
{
    return {r.qrcode, r.mecef_tc, r.mecef_sig, r.mecef_nim, r.mecef_compt, r.mecef_date};
}

// A fiscal result from six texts in the register's column order; nothing for a shorter list.
inline std::optional<ResultatFiscal> resultatDepuisListe(const QStringList &textes)
{
    if (textes.size() < 6)
        return std::nullopt;
    return ResultatFiscal{textes.at(0), textes.at(1), textes.at(2), textes.at(3), textes.at(4), textes.at(5)};
}
