#include "vocabulaireemcf.h"

VocabulaireEmcf vocabulaireEmcf(const QString &pays)
{
    if (pays == QStringLiteral("Niger"))
        return {true,
                QStringLiteral("nif"),
                QStringLiteral("isb"),
                QStringLiteral("taxSpecificAmount"),
                QStringLiteral("ESPECES"),
                QStringLiteral("codeSECeFDGI")};
    return {false,
            QStringLiteral("ifu"),
            QStringLiteral("aib"),
            QStringLiteral("taxSpecific"),
            QStringLiteral("CREDIT"),
            QStringLiteral("codeMECeFDGI")};
}
