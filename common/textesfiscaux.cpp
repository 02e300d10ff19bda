#include "textesfiscaux.h"

#include <QDate>
#include <QTime>

QString texteSignature(const QString &mecef_sig)
{
    if (mecef_sig.contains(QLatin1Char('-')))
        return mecef_sig;
    QString groupe;
    groupe.reserve(mecef_sig.size() + mecef_sig.size() / 4);
    for (int i = 0; i < mecef_sig.size(); ++i) {
        if (i != 0 && i % 4 == 0)
            groupe += QLatin1Char('-');
        groupe += mecef_sig.at(i);
    }
    return groupe;
}

QString texteDate(const QString &mecef_date)
{
    if (mecef_date.contains(QLatin1Char('/')))
        return mecef_date;
    // Date and time are read apart so that no time zone (and no daylight-saving gap) can make a
    // valid device time unreadable.
    if (mecef_date.size() != 14)
        return {};
    const QDate jour = QDate::fromString(mecef_date.left(8), QStringLiteral("yyyyMMdd"));
    const QTime heure = QTime::fromString(mecef_date.mid(8), QStringLiteral("HHmmss"));
    if (!jour.isValid() || !heure.isValid())
        return {};
    return jour.toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') + heure.toString(QStringLiteral("HH:mm:ss"));
}
