#pragma once

#include "trame.h"

#include <QString>

#include <ostream>

class QIODevice;

// Writes one log line of the device link: the message, then a line feed, in UTF-8.
void journaliser(std::ostream &console, const QString &message);

// How an unexpected lone byte is shown in the log: "0x" and two hexadecimal digits.
QString octetLisible(char octet);
// Dropped bytes as shown in the log: the first eight in that form, then "..." when there are more.
QString octetsLisibles(const QByteArray &octets);

// How an exchange ended.
enum class IssueEchange {
    Reponse,      // a complete reply frame (whose data may be empty)
    Refus,        // NAK
    Silence,      // a whole wait went by without a byte
    DelaiDepasse, // bytes kept coming, but no reply within the overall limit
    NonEnvoye,    // the data do not fit a frame
};

// The request/reply exchange with the fiscal device over a byte stream (the serial port in
// production, a scripted device in tests). One frame in flight at a time.
class LiaisonMCF
{
public:
    // `attenteMs` is the longest wait for bytes, renewed after each byte or SYN that arrives; an
    // exchange never lasts longer than `attentesMax` such waits, whatever the device sends.
    static constexpr int attentesMax = 3;
    // Bytes held while a reply is collected: one maximal frame and a margin.
    static constexpr int tamponMax = trame::reponseMax + 32;

    LiaisonMCF(QIODevice &port, std::ostream &console, int attenteMs = 30000);

    // Sends `commande` with `donnees` and returns the data text of the device's reply; an empty
    // text when there was no usable reply (refused, silent, not understood), after logging why.
    QString envoyerCommande(int commande, const QString &donnees);

    // Whether the last exchange brought a complete reply frame (whose data may be empty), as
    // opposed to a refusal, silence or an unexpected byte.
    bool reponseRecue() const { return m_issue == IssueEchange::Reponse; }
    IssueEchange issue() const { return m_issue; }
    // Whether the device gave no usable answer in time: it is switched off, unplugged or stuck, and
    // no further command should be sent to it.
    bool appareilMuet() const
    {
        return m_issue == IssueEchange::Silence || m_issue == IssueEchange::DelaiDepasse;
    }

    std::ostream &console() { return m_console; }

    // Sequence number of the last frame built; the first frame carries 0x20.
    int numeroSequence() const { return m_numeroSequence; }
    // The last reply frame, kept until the next frame is written.
    const QByteArray &tamponReponse() const { return m_tamponReponse; }

private:
    QIODevice &m_port;
    std::ostream &m_console;
    int m_attenteMs;
    IssueEchange m_issue = IssueEchange::Reponse;
    int m_numeroSequence = 0x1F;
    // Bytes of the reply to the frame in flight; emptied just before each frame is written.
    QByteArray m_tamponReponse;
};
