#include "requetehttp.h"

#include <QList>

namespace {

// Large enough for any invoice; a peer announcing more is refused rather than buffered.
constexpr qsizetype tailleMaximale = 4 * 1024 * 1024;

QByteArray raison(int statut)
{
    switch (statut) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

ExtractionRequete extraireRequete(QByteArray &tampon)
{
    ExtractionRequete resultat;
    const qsizetype finEntete = tampon.indexOf("\r\n\r\n");
    if (finEntete < 0) {
        if (tampon.size() > tailleMaximale)
            resultat.etat = ExtractionRequete::Etat::Malformee;
        return resultat;
    }
    const QList<QByteArray> lignes = tampon.left(finEntete).split('\n');
    const QList<QByteArray> premiere = lignes.first().trimmed().split(' ');
    if (premiere.size() != 3 || !premiere.at(2).startsWith("HTTP/1.")) {
        resultat.etat = ExtractionRequete::Etat::Malformee;
        return resultat;
    }
    RequeteHttp &requete = resultat.requete;
    requete.methode = premiere.at(0);
    requete.chemin = premiere.at(1);
    for (qsizetype i = 1; i < lignes.size(); ++i) {
        const QByteArray ligne = lignes.at(i).trimmed();
        const qsizetype deuxPoints = ligne.indexOf(':');
        if (deuxPoints <= 0) {
            resultat.etat = ExtractionRequete::Etat::Malformee;
            return resultat;
        }
        requete.entetes.insert(ligne.left(deuxPoints).trimmed().toLower(),
                               ligne.mid(deuxPoints + 1).trimmed());
    }
    if (!requete.entete("transfer-encoding").isEmpty()) {
        resultat.etat = ExtractionRequete::Etat::Malformee; // chunked bodies are not spoken here
        return resultat;
    }
    qsizetype longueur = 0;
    if (requete.entetes.contains("content-length")) {
        bool ok = false;
        longueur = requete.entete("content-length").toLongLong(&ok);
        if (!ok || longueur < 0 || longueur > tailleMaximale) {
            resultat.etat = ExtractionRequete::Etat::Malformee;
            return resultat;
        }
    }
    const qsizetype debutCorps = finEntete + 4;
    if (tampon.size() - debutCorps < longueur)
        return resultat;
    requete.corps = tampon.mid(debutCorps, longueur);
    tampon.remove(0, debutCorps + longueur);
    resultat.etat = ExtractionRequete::Etat::Complete;
    return resultat;
}

QByteArray reponseHttp(int statut, const QByteArray &typeContenu, const QByteArray &corps)
{
    return "HTTP/1.1 " + QByteArray::number(statut) + ' ' + raison(statut) +
           "\r\nContent-Type: " + typeContenu + "\r\nContent-Length: " + QByteArray::number(corps.size()) +
           "\r\n\r\n" + corps;
}
