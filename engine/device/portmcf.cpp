#include "portmcf.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

ChoixPort choisirPort(bool listeVide, const QString &portMCF, bool peripheriqueDirect)
{
    if (!portMCF.isEmpty() && peripheriqueDirect)
        return ChoixPort::Nomme;
    if (listeVide)
        return ChoixPort::Aucun;
    return portMCF.isEmpty() ? ChoixPort::Premier : ChoixPort::Nomme;
}

bool estPeripheriqueDirect(const QString &chemin)
{
#ifdef Q_OS_WIN
    Q_UNUSED(chemin);
    return false;
#else
    if (!QDir::isAbsolutePath(chemin))
        return false;
    struct stat infos;
    if (::stat(QFile::encodeName(chemin).constData(), &infos) != 0)
        return false;
    return S_ISCHR(infos.st_mode);
#endif
}

PortSerieMCF::PortSerieMCF(const QString &portMCF)
    : m_portMCF(portMCF), m_port(std::make_unique<QSerialPort>())
{
}

PortSerieMCF::~PortSerieMCF() = default;

OuverturePort PortSerieMCF::ouvrir()
{
    // Listing the machine's ports walks the whole device tree (tens of milliseconds): a device named
    // by its path needs no list.
    const bool direct = estPeripheriqueDirect(m_portMCF);
    const QList<QSerialPortInfo> ports =
        direct ? QList<QSerialPortInfo>() : QSerialPortInfo::availablePorts();
    switch (choisirPort(ports.isEmpty(), m_portMCF, direct)) {
    case ChoixPort::Aucun:
        return OuverturePort::AucunPort;
    case ChoixPort::Nomme:
        m_port->setPortName(m_portMCF);
        break;
    case ChoixPort::Premier:
        m_port->setPort(ports.first());
        break;
    }
    // 8 data bits, no parity, one stop bit and no flow control are the port's defaults.
    m_port->setBaudRate(QSerialPort::Baud115200);
    if (!m_port->open(QIODevice::ReadWrite))
        return OuverturePort::EchecOuverture;
    return OuverturePort::Ouvert;
}

void PortSerieMCF::fermer()
{
    m_port->close();
}

QIODevice &PortSerieMCF::flux()
{
    return *m_port;
}
