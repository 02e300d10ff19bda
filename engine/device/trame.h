#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Byte frames of the fiscal device link: pure functions, no I/O.
//
// Request: 01 LEN SEQ CMD data... 05 c c c c 03, with LEN = data bytes + 0x24 and the four check
// bytes carrying the sum LEN + SEQ + CMD + data + 05 as hexadecimal digits (0x30 + digit).
// Reply: 01 LEN SEQ CMD data... <7 bytes> 05 c c c c 03, with LEN = data bytes + 0x2B.

namespace trame {
constexpr char debut = 0x01;
constexpr char fin = 0x03;
constexpr char separateur = 0x05;
constexpr char nak = 0x15;
constexpr char syn = 0x16;
// LEN is one byte: at most 0xFF - 0x24 data bytes fit a request frame.
constexpr int donneesMax = 0xFF - 0x24;
// A reply frame is LEN - 0x1A bytes long (start, LEN - 0x20 bytes up to 0x05, 4 check bytes, end):
// at least 0x11 bytes (no data), at most 0xE5.
constexpr int reponseMin = 0x2B - 0x1A;
constexpr int reponseMax = 0xFF - 0x1A;
} // namespace trame

// Escapes a free-text field so that it holds no field separator, line break or markup character.
QString echapperTexte(const QString &texte);

// The sequence number that follows `numero`: 0x20 to 0xFF, then 0x20 again.
int sequenceSuivante(int numero);

// The data bytes carried for a data text: U+0152 is dropped, characters up to U+00FF are sent as
// their Latin-1 byte, and any other character, which the device cannot receive, as one "?".
QByteArray octetsDonnees(const QString &donnees);

// The four check bytes for the sum `somme`.
QByteArray octetsControle(quint16 somme);

// Builds the request frame for `commande` (0 to 255) and `donnees`, advancing `numeroSequence`.
// Nothing (and the sequence number is left as it was) when the data do not fit one frame.
std::optional<QByteArray> construireTrame(int commande, const QString &donnees, int &numeroSequence);

// The data text of a complete reply frame as collected: bytes 4 up to LEN - 0x27, never beyond
// what was received, each byte read as Latin-1. Empty when LEN is 0x2B or less.
QString donneesReponse(const QByteArray &reponse);

// What the bytes received so far hold at their start, for the request `sequence`/`commande`.
struct DecoupageReponse
{
    enum Nature {
        Incomplet, // a reply may be under way: more bytes are needed
        Reponse,   // a complete reply to this request
        Syn,       // a lone SYN: the device is still working
        Nak,       // a lone NAK: the command was refused
        Rejet,     // bytes that are no reply to this request, to drop
    };
    Nature nature = Incomplet;
    qsizetype octets = 0; // bytes taken from the start of the buffer (0 when Incomplet)
    QByteArray trame;     // Reponse: the frame (without SYN bytes slipped into it)
};

// Cuts the reply frame out of the bytes received, whatever way the reads were cut: a reply is
// complete when the LEN-derived length has arrived with 0x05 and 0x03 at their places and four check
// bytes in 0x30-0x3F between them (their sum is not verified); its SEQ and CMD must be those of the
// request. Bytes outside a frame (and a frame of another request) are rejected, never shifting a
// reply that follows. A buffer of `trame::reponseMax` bytes or more is never Incomplet, so the
// caller never needs to hold more than one maximal frame.
DecoupageReponse decouperReponse(const QByteArray &recu, int sequence, int commande);

// Bytes as upper-case hexadecimal pairs separated by spaces ("01 24 20 33").
QString enHexadecimal(const QByteArray &octets);
