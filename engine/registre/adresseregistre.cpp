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

// Stands for the list of servers while QUrl reads the rest of the URI.
const QString hotesRemplaces = QStringLiteral("hotes.invalid");

// A URI whose authority lists several servers (libpq's form), with the list set aside: QUrl reads
// one host only.
struct AdresseDecoupee
{
    QString uri;      // the URI, its list replaced by hotesRemplaces
    QString serveurs; // the list as written; empty for one server
};

AdresseDecoupee decouper(const QString &adresse)
{
    const qsizetype schema = adresse.indexOf(QStringLiteral("://"));
    if (schema < 0)
        return {adresse, QString()};
    const qsizetype debut = schema + 3;
    qsizetype fin = debut;
    while (fin < adresse.size() && adresse.at(fin) != QLatin1Char('/') && adresse.at(fin) != QLatin1Char('?'))
        ++fin;
    const qsizetype apresUtilisateur = adresse.mid(debut, fin - debut).lastIndexOf(QLatin1Char('@')) + 1;
    const QString serveurs = adresse.mid(debut + apresUtilisateur, fin - debut - apresUtilisateur);
    if (!serveurs.contains(QLatin1Char(',')))
        return {adresse, QString()};
    QString uri = adresse;
    uri.replace(debut + apresUtilisateur, serveurs.size(), hotesRemplaces);
    return {uri, serveurs};
}

} // namespace

std::optional<ConnexionPostgres> lireAdresseRegistre(const QString &adresse, QString &erreur)
{
    const AdresseDecoupee decoupee = decouper(adresse);
    const QUrl url(decoupee.uri, QUrl::StrictMode);
    const QString schema = url.scheme();
    if (!url.isValid() || (schema != QStringLiteral("postgresql") && schema != QStringLiteral("postgres"))) {
        erreur = QStringLiteral("adresse du registre invalide: postgresql://utilisateur@serveur:port/base "
                                "attendu");
        return std::nullopt;
    }
    ConnexionPostgres c;
    c.hote = url.host(QUrl::FullyDecoded);
    c.port = url.port(-1) < 0 ? QString() : QString::number(url.port());
    if (!decoupee.serveurs.isEmpty()) {
        QStringList hotes;
        QStringList ports;
        for (const QString &serveur : decoupee.serveurs.split(QLatin1Char(','))) {
            const QUrl un(QStringLiteral("postgresql://") + serveur, QUrl::StrictMode);
            if (!un.isValid() || un.host().isEmpty()) {
                erreur = QStringLiteral("serveur invalide dans l'adresse du registre: %1").arg(serveur);
                return std::nullopt;
            }
            hotes << un.host(QUrl::FullyDecoded);
            ports << (un.port(-1) < 0 ? QString() : QString::number(un.port()));
        }
        c.hote = hotes.join(QLatin1Char(','));
        // libpq takes one port for every host, or one per host (empty: its default).
        c.port = ports.join(QString()).isEmpty() ? QString() : ports.join(QLatin1Char(','));
    }
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
            bool ok = !valeur.isEmpty();
            for (const QString &port : valeur.split(QLatin1Char(',')))
                ok = ok && (port.isEmpty() || port.toInt() > 0);
            c.port = valeur;
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
            // Kept refused as before: earlier versions passed the options in a ";"-separated list, and
            // every till of a shop must read the same address the same way.
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
    const AdresseDecoupee decoupee = decouper(adresse);
    QUrl url(decoupee.uri, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("(adresse invalide)");
    url.setPassword(QString());
    QUrlQuery requete(url);
    requete.removeAllQueryItems(QStringLiteral("password"));
    requete.removeAllQueryItems(QStringLiteral("sslpassword"));
    url.setQuery(requete);
    QString montree = url.toString();
    if (!decoupee.serveurs.isEmpty())
        montree.replace(hotesRemplaces, decoupee.serveurs);
    return montree;
}
