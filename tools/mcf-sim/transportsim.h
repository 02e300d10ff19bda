#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Where the simulator reads requests and writes replies.
class TransportSim
{
public:
    virtual ~TransportSim() = default;
    // Bytes that arrived within `attenteMs` (negative: wait as long as it takes); empty on time-out.
    virtual QByteArray lire(int attenteMs) = 0;
    virtual bool ecrire(const QByteArray &octets) = 0;
};

// A new pseudo-terminal: the engine opens its slave side like a serial port. `chemin` receives the
// slave's path. Nothing (and `erreur` says why) where pseudo-terminals are not available.
std::unique_ptr<TransportSim> creerPseudoTerminal(QString &chemin, QString &erreur);

// A serial device (or any terminal) given by path, at 115200 baud, 8N1, raw.
std::unique_ptr<TransportSim> ouvrirPeripherique(const QString &chemin, QString &erreur);
