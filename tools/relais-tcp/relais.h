#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// Relays every TCP connection it accepts to one target, delaying each direction by half of the
// round trip it simulates. A new connection's first bytes go out no sooner than one round trip
// after it was accepted, as a client's first bytes would after a real TCP handshake.
class Relais : public QObject
{
public:
    Relais(const QHostAddress &cibleAdresse, quint16 ciblePort, int allerRetourMs, QObject *parent = nullptr);

    bool ecouter(const QHostAddress &adresse, quint16 port);
    quint16 port() const { return m_serveur.serverPort(); }

private:
    void accepter();

    QHostAddress m_cibleAdresse;
    quint16 m_ciblePort;
    int m_allerRetourMs;
    QTcpServer m_serveur;
};
