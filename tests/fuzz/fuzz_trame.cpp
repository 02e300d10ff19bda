// Reply bytes from the fiscal device, cut into frames as the link does, for the request whose SEQ
// and CMD the input's own bytes 2 and 3 name (so a recorded reply matches) and for another one.
#include <device/trame.h>

#include <QByteArray>

#include <cstdlib>

namespace {

// Consumes the buffer as the link does and checks what each cut promises.
void decouperTout(QByteArray recu, int sequence, int commande)
{
    while (!recu.isEmpty()) {
        const DecoupageReponse d = decouperReponse(recu, sequence, commande);
        if (d.nature == DecoupageReponse::Incomplet) {
            if (d.octets != 0 || recu.size() >= trame::reponseMax)
                std::abort();
            return;
        }
        if (d.octets <= 0 || d.octets > recu.size())
            std::abort();
        if (d.nature == DecoupageReponse::Reponse) {
            if (d.trame.size() < trame::reponseMin || d.trame.size() > trame::reponseMax ||
                static_cast<unsigned char>(d.trame.at(2)) != sequence ||
                static_cast<unsigned char>(d.trame.at(3)) != commande)
                std::abort();
            (void)donneesReponse(d.trame);
            (void)enHexadecimal(d.trame);
        }
        recu.remove(0, d.octets);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray recu(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    const int sequence = taille > 2 ? donnees[2] : 0x20;
    const int commande = taille > 3 ? donnees[3] : 0xC0;
    decouperTout(recu, sequence, commande);
    decouperTout(recu, sequenceSuivante(sequence), commande ^ 0x01);
    // The data text of whatever was collected, complete frame or not.
    (void)donneesReponse(recu);
    return 0;
}
