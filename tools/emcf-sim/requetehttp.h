#pragma once

#include <QByteArray>
#include <QMap>

#include <optional>

// One HTTP/1.1 request as the test double sees it.
struct RequeteHttp
{
    QByteArray methode;
    QByteArray chemin;
    QMap<QByteArray, QByteArray> entetes; // names in lower case
    QByteArray corps;

    QByteArray entete(const QByteArray &nom) const { return entetes.value(nom.toLower()); }
};

// Result of looking for one complete request at the start of a connection's buffer.
struct ExtractionRequete
{
    enum class Etat { Incomplete, Complete, Malformee };
    Etat etat = Etat::Incomplete;
    RequeteHttp requete; // Complete: the request, now removed from the buffer
};

// Takes the first complete request (head and Content-Length body) off `tampon`. A buffer that does
// not hold a whole request yet is left untouched.
ExtractionRequete extraireRequete(QByteArray &tampon);

// A whole HTTP/1.1 response with its Content-Length.
QByteArray reponseHttp(int statut, const QByteArray &typeContenu, const QByteArray &corps);
