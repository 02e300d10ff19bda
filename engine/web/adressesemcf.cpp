#include "adressesemcf.h"

namespace {

struct PointAcces
{
    const char *pays;
    bool developpement;
    const char *adresse;
};

// The one table of e-MCF endpoints. The Niger hosts are not published where we can read them: the
// two Niger entries are placeholders that an installer corrects for the site.
const PointAcces pointsAcces[] = {
    {"Bénin", false, "https://sygmef.impots.bj/emcf/api/invoice"},
    {"Bénin", true, "https://developper.impots.bj/sygmef-emcf/api/invoice"},
    {"Niger", false, "https://emcf-production.niger.placeholder/api/invoice"},
    {"Niger", true, "https://emcf-test.niger.placeholder/api/invoice"},
};

} // namespace

QString adresseApiPour(const QString &pays, const QString &modeMCF)
{
    const bool developpement = modeMCF == QStringLiteral("Développement");
    for (const PointAcces &p : pointsAcces) {
        if (pays == QString::fromUtf8(p.pays) && developpement == p.developpement)
            return QString::fromUtf8(p.adresse);
    }
    return {};
}
