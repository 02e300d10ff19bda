#include "protocolesim.h"

namespace {
constexpr char debut = 0x01;
constexpr char fin = 0x03;
constexpr char separateur = 0x05;
} // namespace

QByteArray controleSim(const QByteArray &octets)
{
    unsigned somme = 0;
    for (const char c : octets)
        somme += static_cast<quint8>(c);
    QByteArray r;
    for (int decalage = 12; decalage >= 0; decalage -= 4)
        r.append(static_cast<char>(0x30 + ((somme >> decalage) & 0x0F)));
    return r;
}

std::optional<RequeteSim> extraireRequete(QByteArray &tampon)
{
    const qsizetype premier = tampon.indexOf(debut);
    if (premier < 0) {
        tampon.clear();
        return std::nullopt;
    }
    tampon.remove(0, premier);
    if (tampon.size() < 2)
        return std::nullopt;
    const int len = static_cast<quint8>(tampon.at(1));
    if (len < 0x24) {
        // Not a length any frame can have: the start byte was noise or the frame is corrupt.
        RequeteSim r;
        r.trame = tampon.left(2);
        tampon.remove(0, 2);
        return r;
    }
    const int n = len - 0x24;
    const int taille = n + 10;
    if (tampon.size() < taille)
        return std::nullopt;
    RequeteSim r;
    r.trame = tampon.left(taille);
    tampon.remove(0, taille);
    r.sequence = static_cast<quint8>(r.trame.at(2));
    r.commande = static_cast<quint8>(r.trame.at(3));
    r.donnees = r.trame.mid(4, n);
    r.valide = r.trame.at(4 + n) == separateur && r.trame.at(taille - 1) == fin &&
               r.trame.mid(5 + n, 4) == controleSim(r.trame.mid(1, n + 4));
    return r;
}

QByteArray trameReponseSim(quint8 sequence, quint8 commande, const QByteArray &donnees)
{
    const QByteArray d = donnees.left(0xFF - 0x2B);
    QByteArray corps;
    corps.append(static_cast<char>(d.size() + 0x2B));
    corps.append(static_cast<char>(sequence));
    corps.append(static_cast<char>(commande));
    corps.append(d);
    // Status block: the simulator reports "all fine" as seven ASCII zeros.
    corps.append("0000000", 7);
    corps.append(separateur);
    QByteArray t;
    t.append(debut);
    t.append(corps);
    t.append(controleSim(corps));
    t.append(fin);
    return t;
}

QString hexadecimalSim(const QByteArray &octets)
{
    return QString::fromLatin1(octets.toHex(' ').toUpper());
}
