#include "sortieconsole.h"

#include <QtGlobal>

#include <cstdio>
#include <utility>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

SortieConsole::SortieConsole(Ecriture ecrire) : m_ecrire(std::move(ecrire)) {}

SortieConsole::~SortieConsole()
{
    livrer(true);
}

std::streamsize SortieConsole::xsputn(const char *octets, std::streamsize taille)
{
    m_enAttente.append(octets, static_cast<std::size_t>(taille));
    livrer(false);
    return taille;
}

SortieConsole::int_type SortieConsole::overflow(int_type octet)
{
    if (traits_type::eq_int_type(octet, traits_type::eof()))
        return traits_type::not_eof(octet);
    m_enAttente.push_back(traits_type::to_char_type(octet));
    livrer(false);
    return octet;
}

int SortieConsole::sync()
{
    livrer(true);
    return 0;
}

void SortieConsole::livrer(bool tout)
{
    // Without an ended line rfind gives npos, and npos + 1 is 0: nothing to hand over.
    const std::size_t fin = tout ? m_enAttente.size() : m_enAttente.rfind('\n') + 1;
    if (fin == 0)
        return;
    m_ecrire(m_enAttente.data(), fin);
    m_enAttente.erase(0, fin);
}

SortieConsole::Ecriture ecritureSortieStandard()
{
    // A buffer of our own: given none, C's library takes one of its choosing (4 KB here), and a
    // larger block would go out in several writes.
    static char tampon[1 << 16];
    std::setvbuf(stdout, tampon, _IOFBF, sizeof tampon);
#ifdef Q_OS_WIN
    // The lines end in "\n" alone, as everywhere: C's text mode would write "\r\n" on Windows.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return [](const char *octets, std::size_t taille) {
        std::fwrite(octets, 1, taille, stdout);
        std::fflush(stdout);
    };
}
