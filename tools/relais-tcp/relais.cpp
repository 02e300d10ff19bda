#include "relais.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <utility>

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

// One direction of a relayed connection: chunks wait in arrival order until their time. A single
// timer for the head of the queue keeps that order; one timer per chunk would not, since timers
// started a fraction of a millisecond apart with whole-millisecond delays can fire out of order.
class Sens : public QObject
{
public:
    explicit Sens(QTcpSocket *vers) : QObject(vers), m_vers(vers)
    {
        m_minuterie.setSingleShot(true);
        m_minuterie.setTimerType(Qt::PreciseTimer);
        connect(&m_minuterie, &QTimer::timeout, this, &Sens::envoyerEchus);
    }

    // Sends `octets` at `echeanceMs` (ms since start), never before what was queued earlier.
    void programmer(const QByteArray &octets, qint64 echeanceMs)
    {
        if (!m_file.empty())
            echeanceMs = qMax(echeanceMs, m_file.back().first);
        m_file.emplace_back(echeanceMs, octets);
        if (!m_minuterie.isActive())
            armer();
    }

private:
    void armer()
    {
        if (!m_file.empty())
            m_minuterie.start(static_cast<int>(qMax<qint64>(0, m_file.front().first - maintenantMs())));
    }

    void envoyerEchus()
    {
        while (!m_file.empty() && m_file.front().first <= maintenantMs()) {
            m_vers->write(m_file.front().second);
            m_file.pop_front();
        }
        armer();
    }

    QTcpSocket *m_vers;
    QTimer m_minuterie;
    std::deque<std::pair<qint64, QByteArray>> m_file;
};

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

void Relais::accepter()
{
    while (m_serveur.hasPendingConnections()) {
        QTcpSocket *client = m_serveur.nextPendingConnection();
        auto *serveur = new QTcpSocket(client);
        const qint64 accepteeMs = maintenantMs();
        const int demi = m_allerRetourMs / 2;
        auto *versServeur = new Sens(serveur);
        auto *versClient = new Sens(client);
        // Bytes to the target wait until it is connected; their time is kept.
        connect(client, &QIODevice::readyRead, this, [=] {
            const qint64 echeance = qMax(maintenantMs(), accepteeMs + m_allerRetourMs) + demi;
            versServeur->programmer(client->readAll(), echeance);
        });
        connect(serveur, &QIODevice::readyRead, this,
                [=] { versClient->programmer(serveur->readAll(), maintenantMs() + demi); });
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
