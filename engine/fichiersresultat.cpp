#include "fichiersresultat.h"

#include <QStringList>

QString ligneResultat(const QString &reference, const ResultatFiscal &r, const QString &referenceOriginale)
{
    return QStringList{reference,     r.mecef_tc,          texteSignature(r.mecef_sig),
                       r.mecef_nim,   r.mecef_compt,       texteDate(r.mecef_date),
                       r.qrcode,      referenceOriginale}
        .join(QLatin1Char('\t'));
}
