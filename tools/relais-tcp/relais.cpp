#include "relais.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

qint64 maintenantMs()
{
    static QElapsedTimer chrono = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return chrono.elapsed();
}

} // namespace

Relais::Relais(const QHostAddress &cibleAdresse, quint16 ciblePort, int allerRetourMs, QObject *parent)
    : QObject(parent), m_cibleAdresse(cibleAdresse), m_ciblePort(ciblePort), m_allerRetourMs(allerRetourMs),
      m_serveur(this)
{
    connect(&m_serveur, &QTcpServer::newConnection, this, &Relais::accepter);
}

bool Relais::ecouter(const QHostAddress &adresse, quint16 port)
{
    return m_serveur.listen(adresse, port);
}

void Relais::programmer(QTcpSocket *vers, const QByteArray &octets, qint64 echeanceMs)
{
    // Equal delays keep the order; a single-shot timer per chunk is enough at this scale.
    QPointer<QTcpSocket> cible(vers);
    QTimer::singleShot(qMax<qint64>(0, echeanceMs - maintenantMs()), Qt::PreciseTimer, vers, [cible, octets] {
        if (cible)
            cible->write(octets);
    });
}

void Relais::accepter()
{
    while (m_serveur.hasPendingConnections()) {
        QTcpSocket *client = m_serveur.nextPendingConnection();
        auto *serveur = new QTcpSocket(client);
        const qint64 accepteeMs = maintenantMs();
        const int demi = m_allerRetourMs / 2;
        // Bytes to the target wait until it is connected; their time is kept.
        connect(client, &QIODevice::readyRead, this, [=] {
            const qint64 echeance = qMax(maintenantMs(), accepteeMs + m_allerRetourMs) + demi;
            programmer(serveur, client->readAll(), echeance);
        });
        connect(serveur, &QIODevice::readyRead, this,
                [=] { programmer(client, serveur->readAll(), maintenantMs() + demi); });
        // A close travels like the bytes: after what was sent before it.
        connect(client, &QAbstractSocket::disconnected, this, [=] {
            QTimer::singleShot(m_allerRetourMs, serveur, [serveur] { serveur->disconnectFromHost(); });
            QTimer::singleShot(m_allerRetourMs * 2, client, &QObject::deleteLater);
        });
        connect(serveur, &QAbstractSocket::disconnected, this,
                [=] { QTimer::singleShot(demi, client, [client] { client->disconnectFromHost(); }); });
        // No Nagle delay on the relay's own writes: it would add a stall that the real path has not.
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(serveur, &QAbstractSocket::connected, this,
                [serveur] { serveur->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
        serveur->connectToHost(m_cibleAdresse, m_ciblePort);
    }
}
