#pragma once

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>

// The engine's console log. Each line reaches standard output as soon as it ends, so that a run
// that is killed or hangs still leaves everything it did; the lines written together (the invoice
// printed before certification, for one) go out in one write instead of one per line or per piece.
// A line not ended yet waits for its end, a flush or the destruction of the console.
class SortieConsole : public std::streambuf
{
public:
    using Ecriture = std::function<void(const char *octets, std::size_t taille)>;

    explicit SortieConsole(Ecriture ecrire);
    ~SortieConsole() override;
    SortieConsole(const SortieConsole &) = delete;
    SortieConsole &operator=(const SortieConsole &) = delete;

protected:
    std::streamsize xsputn(const char *octets, std::streamsize taille) override;
    int_type overflow(int_type octet) override;
    int sync() override;

private:
    // Hands over the ended lines, or everything when `tout`.
    void livrer(bool tout);

    Ecriture m_ecrire;
    std::string m_enAttente;
};

// Standard output, written at once: C's stdout is switched to full buffering and flushed after each
// block, one system write per block. (Windows' C library has no line buffering; a line-buffered
// stdout elsewhere writes a block of lines one line at a time.)
SortieConsole::Ecriture ecritureSortieStandard();
