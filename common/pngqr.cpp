#include "pngqr.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

constexpr int bordure = 4;

// CRC-32 of PNG chunks (ISO 3309, reflected polynomial 0xEDB88320).
quint32 crc32(const QByteArray &octets)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char o : octets)
        c = table[(c ^ static_cast<quint8>(o)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void ajouterEntier(QByteArray &octets, quint32 valeur)
{
    char grand[4];
    qToBigEndian(valeur, grand);
    octets.append(grand, 4);
}

void ajouterMorceau(QByteArray &png, const char type[4], const QByteArray &donnees)
{
    ajouterEntier(png, static_cast<quint32>(donnees.size()));
    const QByteArray typeEtDonnees = QByteArray(type, 4) + donnees;
    png += typeEtDonnees;
    ajouterEntier(png, crc32(typeEtDonnees));
}

} // namespace

std::vector<bool> pixelsQr(const ModulesQr &qr, int cote)
{
    const int n = qr.taille + bordure * 2; // side of the drawing in modules
    auto sombre = [&](int mx, int my) {
        mx -= bordure;
        my -= bordure;
        return mx >= 0 && my >= 0 && mx < qr.taille && my < qr.taille && qr.sombre(mx, my);
    };
    // Lengths are counted in units of 1/n pixel = 1/cote module, so that every edge is an integer:
    // pixel p spans [p*n, (p+1)*n) and module m spans [m*cote, (m+1)*cote).
    auto recouvrement = [&](int pixel, int module) {
        return std::max(0,
                        std::min((pixel + 1) * n, (module + 1) * cote) - std::max(pixel * n, module * cote));
    };
    std::vector<bool> noirs(static_cast<size_t>(cote) * cote);
    for (int y = 0; y < cote; ++y) {
        const int premierY = y * n / cote;
        const int dernierY = ((y + 1) * n - 1) / cote;
        for (int x = 0; x < cote; ++x) {
            const int premierX = x * n / cote;
            const int dernierX = ((x + 1) * n - 1) / cote;
            qint64 aire = 0;
            for (int my = premierY; my <= dernierY; ++my)
                for (int mx = premierX; mx <= dernierX; ++mx)
                    if (sombre(mx, my))
                        aire += qint64(recouvrement(x, mx)) * recouvrement(y, my);
            noirs[static_cast<size_t>(y) * cote + x] = 2 * aire > qint64(n) * n;
        }
    }
    return noirs;
}

QByteArray pngMonochrome(const std::vector<bool> &noirs, int largeur, int hauteur)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray entete;
    ajouterEntier(entete, static_cast<quint32>(largeur));
    ajouterEntier(entete, static_cast<quint32>(hauteur));
    entete.append(char(1)); // bit depth
    entete.append(char(0)); // greyscale
    entete.append(char(0)); // deflate
    entete.append(char(0)); // adaptive filtering (every row uses filter 0, none)
    entete.append(char(0)); // not interlaced
    ajouterMorceau(png, "IHDR", entete);

    const int octetsParLigne = (largeur + 7) / 8;
    QByteArray lignes(hauteur * (1 + octetsParLigne), '\0');
    for (int y = 0; y < hauteur; ++y) {
        char *ligne = lignes.data() + y * (1 + octetsParLigne) + 1; // after the filter byte
        for (int x = 0; x < largeur; ++x)
            if (!noirs[static_cast<size_t>(y) * largeur + x])
                ligne[x / 8] = static_cast<char>(ligne[x / 8] | (0x80 >> (x % 8)));
    }
    // qCompress gives a zlib stream behind a 4-byte length of its own, which PNG does not have.
    ajouterMorceau(png, "IDAT", qCompress(lignes, 9).mid(4));
    ajouterMorceau(png, "IEND", QByteArray());
    return png;
}

QByteArray pngQr(const ModulesQr &qr)
{
    constexpr int cote = 200;
    return pngMonochrome(pixelsQr(qr, cote), cote, cote);
}
