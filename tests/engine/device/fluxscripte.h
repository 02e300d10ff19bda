#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>

#include <functional>

// A byte stream standing in for the serial port: every complete request frame written to it is
// recorded and answered by `repondre` with the chunks the device "sends". Each wait for bytes
// releases the next chunk; with none left, the wait times out at once.
// Replies are expected to carry the request's sequence number and command.
class FluxScripte : public QIODevice
{
public:
    struct Requete
    {
        int sequence = 0;
        int commande = 0;
        QByteArray donnees;
        QByteArray trame;
    };

    FluxScripte();

    std::function<QList<QByteArray>(const Requete &)> repondre;
    QList<Requete> requetes;
    int attentes = 0;         // calls of waitForReadyRead
    QList<QByteArray> restes; // chunks not yet released
    // When set, a device that never stops: each wait with no chunk left releases what it gives.
    std::function<QByteArray()> sansFin;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_courant.size() + QIODevice::bytesAvailable(); }
    bool waitForReadyRead(int msecs) override;

    // Commands of the requests, in order.
    QList<int> commandes() const;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QByteArray m_courant;
    QByteArray m_ecrit;
};

// A reply frame as the device sends it: 01 LEN SEQ CMD data, a 7-byte block, 05, check bytes, 03.
QByteArray trameReponse(int commande, const QByteArray &donnees, int sequence = 0x20);
// "01 24 20" -> bytes.
QByteArray octets(const char *hexadecimal);
