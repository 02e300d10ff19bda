#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// One request of the e-MCF exchange. The client speaks HTTP/1.1 itself on one kept-alive
// connection: these two functions are the whole protocol, kept free of sockets so that every rule
// of it can be tested on bytes.
struct RequeteEmcf
{
    QByteArray methode; // "GET", "POST", "PUT"
    QUrl url;
    QString jeton;          // sent as a bearer token
    QByteArray corps;       // sent with its length, even empty, except for GET
    QByteArray typeContenu; // Content-Type when not empty
};

// The bytes of `requete` on the wire: request line with the URL's encoded path and query, Host,
// bearer token, content type and length. Control characters in the token or the type would split
// the header; they are left out.
QByteArray texteRequeteHttp(const RequeteEmcf &requete);

// What the bytes received so far on a connection make of its reply.
struct LectureHttp
{
    enum class Etat {
        Incomplete, // more bytes are needed
        Complete,   // statut and corps are those of the reply
        Invalide,   // not an HTTP/1.x reply
        TropLongue, // the body is (or is announced) over the maximum
    };
    Etat etat = Etat::Incomplete;
    int statut = 0;
    QByteArray corps;
    bool garderConnexion = false; // Complete: the connection can carry the next request
};

// Reads a reply from `recus`. Its body is delimited by Content-Length, by chunked transfer coding,
// or by the end of the connection (`finDuFlux`: the server has closed it). Interim replies (1xx)
// are skipped. A body over `maximum` bytes, announced or received, is TropLongue: the caller never
// has to hold more than about that much. Headers are limited to 64 KiB.
LectureHttp lireReponseHttp(const QByteArray &recus, bool finDuFlux, qsizetype maximum);
