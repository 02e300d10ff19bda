#include "transportsim.h"

#include <QSerialPort>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
// The master side of a pseudo-terminal. The simulator keeps the slave side open too, so that the
// master does not report a hang-up each time the engine closes its port.
class TransportPty : public TransportSim
{
public:
    TransportPty(int maitre, int esclave) : m_maitre(maitre), m_esclave(esclave) {}
    ~TransportPty() override
    {
        ::close(m_esclave);
        ::close(m_maitre);
    }

    QByteArray lire(int attenteMs) override
    {
        pollfd p{m_maitre, POLLIN, 0};
        const int n = ::poll(&p, 1, attenteMs);
        if (n <= 0 || !(p.revents & POLLIN))
            return QByteArray();
        char tampon[512];
        const ssize_t lus = ::read(m_maitre, tampon, sizeof tampon);
        return lus > 0 ? QByteArray(tampon, static_cast<qsizetype>(lus)) : QByteArray();
    }

    bool ecrire(const QByteArray &octets) override
    {
        qsizetype ecrits = 0;
        while (ecrits < octets.size()) {
            const ssize_t n =
                ::write(m_maitre, octets.constData() + ecrits, static_cast<size_t>(octets.size() - ecrits));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            ecrits += n;
        }
        return true;
    }

private:
    int m_maitre;
    int m_esclave;
};
#endif

class TransportSerie : public TransportSim
{
public:
    explicit TransportSerie(std::unique_ptr<QSerialPort> port) : m_port(std::move(port)) {}

    QByteArray lire(int attenteMs) override
    {
        if (m_port->bytesAvailable() == 0 &&
            !m_port->waitForReadyRead(attenteMs < 0 ? 3600 * 1000 : attenteMs))
            return QByteArray();
        return m_port->readAll();
    }

    bool ecrire(const QByteArray &octets) override
    {
        const bool ok = m_port->write(octets) == octets.size();
        m_port->waitForBytesWritten(1000);
        return ok;
    }

private:
    std::unique_ptr<QSerialPort> m_port;
};

} // namespace

std::unique_ptr<TransportSim> creerPseudoTerminal(QString &chemin, QString &erreur)
{
#ifdef Q_OS_WIN
    Q_UNUSED(chemin);
    erreur = QStringLiteral("pas de pseudo-terminal sous Windows: utiliser --peripherique");
    return nullptr;
#else
    const int maitre = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (maitre < 0 || ::grantpt(maitre) != 0 || ::unlockpt(maitre) != 0) {
        erreur = QString::fromLocal8Bit(std::strerror(errno));
        if (maitre >= 0)
            ::close(maitre);
        return nullptr;
    }
    const char *nom = ::ptsname(maitre);
    const int esclave = nom ? ::open(nom, O_RDWR | O_NOCTTY) : -1;
    if (esclave < 0) {
        erreur = QString::fromLocal8Bit(std::strerror(errno));
        ::close(maitre);
        return nullptr;
    }
    // Raw from the start: no echo, no line editing, no CR/LF translation of frame bytes.
    termios t;
    if (::tcgetattr(esclave, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ::tcsetattr(esclave, TCSANOW, &t);
    }
    chemin = QString::fromLocal8Bit(nom);
    return std::make_unique<TransportPty>(maitre, esclave);
#endif
}

std::unique_ptr<TransportSim> ouvrirPeripherique(const QString &chemin, QString &erreur)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(chemin);
    port->setBaudRate(QSerialPort::Baud115200);
    if (!port->open(QIODevice::ReadWrite)) {
        erreur = port->errorString();
        return nullptr;
    }
    return std::make_unique<TransportSerie>(std::move(port));
}
