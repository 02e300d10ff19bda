// Bytes from the e-MCF service's connection, read as an HTTP/1.1 reply: before and after the
// server closes it, and cut at a point the input chooses.
#include <echangehttp.h>

#include <QByteArray>

#include <cstdlib>

namespace {

constexpr qsizetype maximum = 4096;

void lire(const QByteArray &recus, bool finDuFlux)
{
    const LectureHttp lecture = lireReponseHttp(recus, finDuFlux, maximum);
    if (lecture.etat != LectureHttp::Etat::Complete)
        return;
    // A reply is never over the maximum and always a final status.
    if (lecture.corps.size() > maximum || lecture.statut < 200 || lecture.statut > 999)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray recus(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    lire(recus, false);
    lire(recus, true);
    if (!recus.isEmpty())
        lire(recus.left(static_cast<unsigned char>(recus.at(0)) * recus.size() / 256), false);
    return 0;
}
