#pragma once

#include "appareilsim.h"
#include "protocolesim.h"
#include "transportsim.h"

#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// A fault to inject on one command: on its n-th request (counted from 1 since start), or on every
// one when `occurrence` is 0.
struct RegleSim
{
    int commande = 0;
    int occurrence = 0;
};

// "C1", "0xC1" or "0xC1:2" (command codes in hexadecimal); nothing when unreadable.
std::optional<RegleSim> lireRegle(const QString &texte);

// A wait before the reply to one command, the command already carried out by the device: a test
// kills the engine meanwhile, as if the reply had been lost.
struct PauseSim
{
    RegleSim regle;
    int ms = 0;
};

// "C0:500" or "0x31:2:500": the command as `lireRegle` reads it, then the pause in milliseconds.
std::optional<PauseSim> lirePause(const QString &texte);

// "BJ", "NE", or the country's name ("Bénin", "Benin", "Niger", in any case): the device variant.
std::optional<QString> lirePays(const QString &texte);

struct OptionsSim
{
    QList<RegleSim> sansReponse;
    // Carried out by the device, but its reply never leaves: the engine cannot tell what happened.
    QList<RegleSim> reponsePerdue;
    QList<RegleSim> nak;
    int syn = 0;      // SYN bytes sent, each on its own, before every reply
    int morceaux = 1; // every reply written in this many separate pieces
    int pauseMs = 20; // pause after each SYN and between pieces, so that they arrive apart

    // Faults of a misbehaving device; the first two never end (until the line fails).
    QList<RegleSim> synSansFin;      // one SYN every `pauseMs` instead of the reply
    QList<RegleSim> octetsSansFin;   // ordinary bytes as fast as the line takes them
    QList<RegleSim> autreSequence;   // the reply carries another sequence number
    QList<RegleSim> autreCommande;   // the reply carries another command code
    std::optional<RegleSim> muetDes; // from this request on, nothing is answered any more
    int octetFinal = -1;             // when 0-255, one more byte written with each reply
    int debit = 0;                   // when set (baud), frames take their wire time
    QList<PauseSim> pauses;          // waits before given replies
};

// Serves requests from a transport with a simulated device, injecting faults, and writes one log
// line per frame received or sent.
class Simulateur
{
public:
    Simulateur(TransportSim &transport, AppareilSim &appareil, OptionsSim options,
               std::function<void(const QString &)> journal);

    // Reads and answers requests until the transport fails for good (never returns on a pty).
    void executer();
    // Handles received bytes; exposed for tests.
    void recevoir(const QByteArray &octets);
    // A frame left incomplete when the line goes quiet is answered with NAK.
    void silence();

private:
    void repondre(const RequeteSim &requete);
    void envoyer(const QByteArray &octets, const QString &quoi);
    // Wire time of that many bytes at `debit` (nothing when the line is not paced).
    std::chrono::microseconds tempsDeLigne(qsizetype octets) const;
    static bool concerne(const QList<RegleSim> &regles, int commande, int occurrence);

    TransportSim &m_transport;
    AppareilSim &m_appareil;
    OptionsSim m_options;
    std::function<void(const QString &)> m_journal;
    QByteArray m_tampon;
    QMap<int, int> m_occurrences;
    bool m_muet = false;
    // When the last bytes were received: a paced reply is due its wire time after it.
    std::chrono::steady_clock::time_point m_arrivee;
    // When the last paced reply was written.
    std::optional<std::chrono::steady_clock::time_point> m_finReponse;
};
