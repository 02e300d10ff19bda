#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The device side of the serial frame protocol: reading request frames out of the bytes received,
// building reply frames.

struct RequeteSim
{
    bool valide = false; // false: a corrupt frame (bad LEN, separator, end or check bytes)
    QByteArray trame;    // the frame's bytes as received
    quint8 sequence = 0;
    quint8 commande = 0;
    QByteArray donnees;
};

// Takes the next request out of `tampon`: bytes before a start byte are dropped; nothing when the
// next frame is not complete yet.
std::optional<RequeteSim> extraireRequete(QByteArray &tampon);

// The reply frame: 01 LEN SEQ CMD data <7-byte status> 05 check(4) 03, LEN = data + 0x2B.
// Data longer than a frame holds are cut.
QByteArray trameReponseSim(quint8 sequence, quint8 commande, const QByteArray &donnees);

// Sum LEN..05 written as four hexadecimal digits, each digit d sent as 0x30 + d.
QByteArray controleSim(const QByteArray &octets);

QString hexadecimalSim(const QByteArray &octets);
