#pragma once

#include <QString>

#include <memory>

class QIODevice;
class QSerialPort;

// Outcome of opening the device's port.
enum class OuverturePort {
    AucunPort,      // no serial port on the machine
    EchecOuverture, // the port exists but could not be opened
    Ouvert,
};

// Which port to open, from what the machine lists and the `portMCF` setting.
enum class ChoixPort {
    Aucun,   // nothing to open
    Nomme,   // the port named by `portMCF`
    Premier, // the first port the machine lists
};

// An empty port list means no port, unless `portMCF` names a serial device that can be opened
// directly (`peripheriqueDirect`, see estPeripheriqueDirect): pseudo-terminals and virtual ports
// are never listed.
ChoixPort choisirPort(bool listeVide, const QString &portMCF, bool peripheriqueDirect);

// True outside Windows when `chemin` is an absolute path to an existing character device.
bool estPeripheriqueDirect(const QString &chemin);

// The port the invoice sequence opens and closes, and the byte stream the link talks through.
class PortMCF
{
public:
    virtual ~PortMCF() = default;
    virtual OuverturePort ouvrir() = 0;
    virtual void fermer() = 0;
    virtual QIODevice &flux() = 0;
};

// The serial port of the workstation: 115200 baud, 8 data bits, no parity, one stop bit, no flow
// control.
class PortSerieMCF : public PortMCF
{
public:
    explicit PortSerieMCF(const QString &portMCF);
    ~PortSerieMCF() override;

    OuverturePort ouvrir() override;
    void fermer() override;
    QIODevice &flux() override;

private:
    QString m_portMCF;
    std::unique_ptr<QSerialPort> m_port;
};
