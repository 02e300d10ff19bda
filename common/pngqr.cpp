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

// Appends `valeur` as four big-endian bytes, as PNG and zlib write their numbers.
void ajouterEntier(QByteArray &octets, quint32 valeur)
{
    char grand[4];
    qToBigEndian(valeur, grand);
    octets.append(grand, 4);
}

// A zlib stream that stores `donnees` without compressing them (RFC 1950 and 1951, blocks of type
// 0). A 200 x 200 one-bit image is 5 KB: setting up a compressor would cost more time than the
// 4 KB it would save, while the customer waits.
QByteArray fluxZlibStocke(const QByteArray &donnees)
{
    QByteArray flux("\x78\x01", 2); // deflate, 32 KB window, no dictionary, check bits
    constexpr qsizetype blocMax = 65535;
    qsizetype debut = 0;
    do {
        const qsizetype taille = std::min(blocMax, donnees.size() - debut);
        const bool dernier = debut + taille == donnees.size();
        flux.append(char(dernier ? 1 : 0));
        const quint16 longueur = static_cast<quint16>(taille);
        const quint16 complement = static_cast<quint16>(~longueur);
        char petit[4] = {char(longueur & 0xFF), char(longueur >> 8), char(complement & 0xFF),
                         char(complement >> 8)};
        flux.append(petit, 4);
        flux.append(donnees.constData() + debut, taille);
        debut += taille;
    } while (debut < donnees.size());
    // Adler-32 of the data.
    quint32 a = 1, b = 0;
    for (const char o : donnees) {
        a = (a + static_cast<quint8>(o)) % 65521;
        b = (b + a) % 65521;
    }
    ajouterEntier(flux, (b << 16) | a);
    return flux;
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
    Q_ASSERT(n <= cote);
    // Lengths are counted in units of 1/n pixel = 1/cote module, so that every edge is an integer:
    // pixel p spans [p*n, (p+1)*n) and module m spans [m*cote, (m+1)*cote). A module is at least a
    // pixel wide (n <= cote), so a pixel meets at most two modules along each axis: the one it starts
    // in and, when it crosses an edge, the next, with the overlap of each.
    struct Recouvrement
    {
        int module;
        int premier;
        int second; // overlap with module + 1, 0 when the pixel does not reach it
    };
    std::vector<Recouvrement> axe(static_cast<size_t>(cote));
    for (int p = 0; p < cote; ++p) {
        const int m = p * n / cote;
        const int fin = std::min((p + 1) * n, (m + 1) * cote);
        axe[static_cast<size_t>(p)] = {m, fin - p * n, (p + 1) * n - fin};
    }
    auto sombre = [&](int mx, int my) {
        mx -= bordure;
        my -= bordure;
        return mx >= 0 && my >= 0 && mx < qr.taille && my < qr.taille && qr.sombre(mx, my);
    };
    const qint64 moitie = qint64(n) * n; // twice the area is compared with the whole pixel's
    std::vector<bool> noirs(static_cast<size_t>(cote) * cote);
    for (int y = 0; y < cote; ++y) {
        const Recouvrement &ry = axe[static_cast<size_t>(y)];
        for (int x = 0; x < cote; ++x) {
            const Recouvrement &rx = axe[static_cast<size_t>(x)];
            qint64 aire = 0;
            if (sombre(rx.module, ry.module))
                aire += qint64(rx.premier) * ry.premier;
            if (rx.second && sombre(rx.module + 1, ry.module))
                aire += qint64(rx.second) * ry.premier;
            if (ry.second && sombre(rx.module, ry.module + 1))
                aire += qint64(rx.premier) * ry.second;
            if (rx.second && ry.second && sombre(rx.module + 1, ry.module + 1))
                aire += qint64(rx.second) * ry.second;
            noirs[static_cast<size_t>(y) * cote + x] = 2 * aire > moitie;
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
    ajouterMorceau(png, "IDAT", fluxZlibStocke(lignes));
    ajouterMorceau(png, "IEND", QByteArray());
    return png;
}

QByteArray pngQr(const ModulesQr &qr)
{
    constexpr int cote = 200;
    return pngMonochrome(pixelsQr(qr, cote), cote, cote);
}
