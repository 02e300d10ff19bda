#include "echangehttp.h"

#include <QList>

namespace {

constexpr qsizetype tailleMaximaleEntetes = 64 * 1024;
// A chunk size line holds a few hex digits and perhaps an extension; anything longer is not HTTP.
constexpr qsizetype tailleMaximaleLigneMorceau = 1024;

QByteArray sansControles(QByteArray texte)
{
    texte.removeIf([](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return texte;
}

bool chiffres(const QByteArray &texte)
{
    if (texte.isEmpty() || texte.size() > 18)
        return false;
    for (const char c : texte)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// At most 8 hex digits: a chunk of 4 GiB is already far over any maximum.
bool hexadecimal(const QByteArray &texte)
{
    if (texte.isEmpty() || texte.size() > 8)
        return false;
    for (const char c : texte)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

// Whether the comma-separated list `valeur` holds `jeton`, whatever its case.
bool contientJeton(const QByteArray &valeur, const char *jeton)
{
    for (const QByteArray &element : valeur.split(','))
        if (element.trimmed().compare(jeton, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

struct Entete
{
    bool valide = false;
    bool http10 = false;
    int statut = 0;
    qsizetype longueur = -1; // Content-Length, -1 when absent
    bool morceaux = false;   // chunked transfer coding
    bool fermer = false;     // the server closes the connection after this reply
};

Entete lireEntete(const QByteArray &texte)
{
    Entete entete;
    const QList<QByteArray> lignes = texte.split('\n');
    const QByteArray premiere = lignes.first().trimmed();
    // "HTTP/1.1 200 OK": the version, a space, three digits, then a space or nothing.
    if (premiere.size() < 12 || !premiere.startsWith("HTTP/1.") || premiere.at(8) != ' ' ||
        !chiffres(premiere.mid(9, 3)) || (premiere.size() > 12 && premiere.at(12) != ' '))
        return entete;
    entete.http10 = premiere.at(7) == '0';
    entete.statut = premiere.mid(9, 3).toInt();
    bool garder = false;
    for (qsizetype i = 1; i < lignes.size(); ++i) {
        const QByteArray ligne = lignes.at(i).trimmed();
        const qsizetype deuxPoints = ligne.indexOf(':');
        if (deuxPoints <= 0)
            return entete;
        const QByteArray nom = ligne.left(deuxPoints).trimmed().toLower();
        const QByteArray valeur = ligne.mid(deuxPoints + 1).trimmed();
        if (nom == "content-length") {
            // Two different lengths leave the body's end unknown: that reply cannot be trusted.
            if (!chiffres(valeur) || (entete.longueur >= 0 && entete.longueur != valeur.toLongLong()))
                return entete;
            entete.longueur = valeur.toLongLong();
        } else if (nom == "transfer-encoding") {
            // Only chunked is spoken (no compression is asked for); it must be the last coding.
            const QList<QByteArray> codages = valeur.split(',');
            if (codages.last().trimmed().compare("chunked", Qt::CaseInsensitive) != 0 || codages.size() > 1)
                return entete;
            entete.morceaux = true;
        } else if (nom == "connection") {
            entete.fermer = entete.fermer || contientJeton(valeur, "close");
            garder = garder || contientJeton(valeur, "keep-alive");
        }
    }
    if (entete.http10 && !garder)
        entete.fermer = true;
    entete.valide = true;
    return entete;
}

LectureHttp etat(LectureHttp::Etat e)
{
    LectureHttp lecture;
    lecture.etat = e;
    return lecture;
}

} // namespace

QByteArray texteRequeteHttp(const RequeteEmcf &requete)
{
    QByteArray chemin = requete.url.path(QUrl::FullyEncoded).toLatin1();
    if (chemin.isEmpty())
        chemin = "/";
    if (requete.url.hasQuery())
        chemin += '?' + requete.url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray hote = requete.url.host(QUrl::FullyEncoded).toLatin1();
    if (hote.contains(':'))
        hote = '[' + hote + ']';
    if (requete.url.port() >= 0)
        hote += ':' + QByteArray::number(requete.url.port());

    QByteArray texte = requete.methode + ' ' + chemin + " HTTP/1.1\r\nHost: " + hote + "\r\n";
    if (!requete.jeton.isEmpty())
        texte += "Authorization: Bearer " + sansControles(requete.jeton.toUtf8()) + "\r\n";
    if (!requete.typeContenu.isEmpty())
        texte += "Content-Type: " + sansControles(requete.typeContenu) + "\r\n";
    if (requete.methode != "GET")
        texte += "Content-Length: " + QByteArray::number(requete.corps.size()) + "\r\n";
    texte += "Accept: application/json\r\nUser-Agent: orvane-mcf\r\n\r\n";
    return texte + requete.corps;
}

LectureHttp lireReponseHttp(const QByteArray &recus, bool finDuFlux, qsizetype maximum)
{
    using Etat = LectureHttp::Etat;
    qsizetype debut = 0;
    Entete entete;
    qsizetype debutCorps = 0;
    // Interim replies (100 Continue and the like) come before the real one.
    for (;;) {
        const qsizetype finEntete = recus.indexOf("\r\n\r\n", debut);
        if (finEntete < 0 || finEntete - debut > tailleMaximaleEntetes)
            return etat(recus.size() - debut > tailleMaximaleEntetes ? Etat::Invalide : Etat::Incomplete);
        entete = lireEntete(recus.mid(debut, finEntete - debut));
        if (!entete.valide || entete.statut < 100 || entete.statut == 101)
            return etat(Etat::Invalide);
        debutCorps = finEntete + 4;
        if (entete.statut >= 200)
            break;
        debut = debutCorps;
    }

    LectureHttp lecture;
    lecture.statut = entete.statut;
    qsizetype fin = debutCorps;
    if (entete.statut == 204 || entete.statut == 304) {
        // No body, whatever the headers say.
    } else if (entete.morceaux) {
        qsizetype position = debutCorps;
        for (;;) {
            const qsizetype finLigne = recus.indexOf("\r\n", position);
            if (finLigne < 0)
                return etat(recus.size() - position > tailleMaximaleLigneMorceau ? Etat::Invalide
                                                                                 : Etat::Incomplete);
            if (finLigne - position > tailleMaximaleLigneMorceau)
                return etat(Etat::Invalide);
            QByteArray ligneTaille = recus.mid(position, finLigne - position);
            if (const qsizetype extension = ligneTaille.indexOf(';'); extension >= 0)
                ligneTaille.truncate(extension);
            ligneTaille = ligneTaille.trimmed();
            if (!hexadecimal(ligneTaille))
                return etat(Etat::Invalide);
            const qint64 taille = ligneTaille.toLongLong(nullptr, 16);
            position = finLigne + 2;
            if (taille == 0) {
                // Trailer fields, if any, end with an empty line.
                const qsizetype finTrailer =
                    recus.mid(position, 2) == "\r\n" ? position : recus.indexOf("\r\n\r\n", position);
                if (finTrailer < 0)
                    return etat(recus.size() - position > tailleMaximaleEntetes ? Etat::Invalide
                                                                                : Etat::Incomplete);
                fin = finTrailer + (finTrailer == position ? 2 : 4);
                break;
            }
            if (lecture.corps.size() + taille > maximum)
                return etat(Etat::TropLongue);
            if (recus.size() - position < taille + 2)
                return etat(Etat::Incomplete);
            if (recus.mid(position + taille, 2) != "\r\n")
                return etat(Etat::Invalide);
            lecture.corps += recus.mid(position, taille);
            position += taille + 2;
        }
    } else if (entete.longueur >= 0) {
        if (entete.longueur > maximum)
            return etat(Etat::TropLongue);
        if (recus.size() - debutCorps < entete.longueur)
            return etat(Etat::Incomplete);
        lecture.corps = recus.mid(debutCorps, entete.longueur);
        fin = debutCorps + entete.longueur;
    } else {
        // The body runs to the end of the connection.
        if (recus.size() - debutCorps > maximum)
            return etat(Etat::TropLongue);
        if (!finDuFlux)
            return etat(Etat::Incomplete);
        lecture.corps = recus.mid(debutCorps);
        entete.fermer = true;
        fin = recus.size();
    }
    lecture.etat = Etat::Complete;
    // Bytes after the reply were not asked for: the connection is not trusted with another request.
    lecture.garderConnexion = !entete.fermer && fin == recus.size();
    return lecture;
}
