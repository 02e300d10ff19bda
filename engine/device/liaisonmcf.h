#pragma once

#include "etatappareil.h"

#include <QString>

#include <ostream>

class QIODevice;

// Writes one log line of the device link: the message, then a line feed, in UTF-8.
void journaliser(std::ostream &console, const QString &message);

// How an unexpected lone byte is shown in the log: "0x" and two hexadecimal digits.
QString octetLisible(char octet);

// The request/reply exchange with the fiscal device over a byte stream (the serial port in
// production, a scripted device in tests). One frame in flight at a time.
class LiaisonMCF
{
public:
    // `attenteMs` is the longest wait for bytes, renewed after each byte or SYN that arrives.
    LiaisonMCF(QIODevice &port, EtatAppareil &etat, std::ostream &console, int attenteMs = 30000);

    // Sends `commande` with `donnees` and returns the data text of the device's reply; an empty
    // text when there was no usable reply (refused, silent, not understood), after logging why.
    QString envoyerCommande(int commande, const QString &donnees);

    // Whether the last exchange brought a complete reply frame (whose data may be empty), as
    // opposed to a refusal, silence or an unexpected byte.
    bool reponseRecue() const { return m_reponseRecue; }

    std::ostream &console() { return m_console; }

private:
    QIODevice &m_port;
    EtatAppareil &m_etat;
    std::ostream &m_console;
    int m_attenteMs;
    bool m_reponseRecue = false;
};
