#include "adresseregistre.h"

#include <QSet>
#include <QUrl>
#include <QUrlQuery>

namespace {

// The libpq keywords a URI may carry here. Connection and statement time limits come from the
// settings; host, port, dbname, user and password from the URI itself.
const QSet<QString> optionsPermises = {
    QStringLiteral("sslmode"),          QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),          QStringLiteral("sslkey"),
    QStringLiteral("sslcrl"),           QStringLiteral("sslpassword"),
    QStringLiteral("application_name"), QStringLiteral("options"),
    QStringLiteral("passfile"),         QStringLiteral("target_session_attrs"),
    QStringLiteral("gssencmode"),       QStringLiteral("channel_binding"),
    QStringLiteral("requiressl"),       QStringLiteral("service"),
};

} // namespace

std::optional<ConnexionPostgres> lireAdresseRegistre(const QString &adresse, QString &erreur)
{
    const QUrl url(adresse, QUrl::StrictMode);
    const QString schema = url.scheme();
    if (!url.isValid() || (schema != QStringLiteral("postgresql") && schema != QStringLiteral("postgres"))) {
        erreur = QStringLiteral("adresse du registre invalide: postgresql://utilisateur@serveur:port/base "
                                "attendu");
        return std::nullopt;
    }
    ConnexionPostgres c;
    c.hote = url.host(QUrl::FullyDecoded);
    c.port = url.port(-1);
    c.base = url.path(QUrl::FullyDecoded);
    if (c.base.startsWith(QLatin1Char('/')))
        c.base.remove(0, 1);
    c.utilisateur = url.userName(QUrl::FullyDecoded);
    c.motDePasse = url.password(QUrl::FullyDecoded);
    const QUrlQuery requete(url);
    for (const auto &[cle, valeur] : requete.queryItems(QUrl::FullyDecoded)) {
        if (cle == QStringLiteral("host")) {
            c.hote = valeur;
        } else if (cle == QStringLiteral("port")) {
            bool ok = false;
            c.port = valeur.toInt(&ok);
            if (!ok) {
                erreur = QStringLiteral("port du registre invalide: %1").arg(valeur);
                return std::nullopt;
            }
        } else if (cle == QStringLiteral("dbname")) {
            c.base = valeur;
        } else if (cle == QStringLiteral("user")) {
            c.utilisateur = valeur;
        } else if (cle == QStringLiteral("password")) {
            erreur =
                QStringLiteral("le mot de passe du registre se donne dans motDePasseRegistre ou le fichier "
                               "de mots de passe de PostgreSQL, pas dans l'adresse");
            return std::nullopt;
        } else if (!optionsPermises.contains(cle)) {
            erreur = QStringLiteral("option inconnue dans l'adresse du registre: %1").arg(cle);
            return std::nullopt;
        } else if (valeur.contains(QLatin1Char(';'))) {
            // Qt's driver reads ";" as the separator of its options.
            erreur = QStringLiteral("option %1 de l'adresse du registre: \";\" n'est pas permis").arg(cle);
            return std::nullopt;
        } else {
            c.options.append({cle, valeur});
        }
    }
    return c;
}

QString adresseSansSecret(const QString &adresse)
{
    QUrl url(adresse, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("(adresse invalide)");
    url.setPassword(QString());
    QUrlQuery requete(url);
    requete.removeAllQueryItems(QStringLiteral("password"));
    requete.removeAllQueryItems(QStringLiteral("sslpassword"));
    url.setQuery(requete);
    return url.toString();
}
