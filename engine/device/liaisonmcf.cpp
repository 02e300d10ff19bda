#include "liaisonmcf.h"

#include "trame.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QSerialPort>
#include <QStringList>

void journaliser(std::ostream &console, const QString &message)
{
    console << message.toStdString() << "\n";
}

QString octetLisible(char octet)
{
    return QStringLiteral("0x") +
           QString::number(static_cast<quint8>(octet), 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

QString octetsLisibles(const QByteArray &octets)
{
    constexpr qsizetype montres = 8;
    QStringList l;
    for (qsizetype i = 0; i < qMin(octets.size(), montres); ++i)
        l << octetLisible(octets.at(i));
    if (octets.size() > montres)
        l << QStringLiteral("...");
    return l.join(QLatin1Char(' '));
}

LiaisonMCF::LiaisonMCF(QIODevice &port, std::ostream &console, int attenteMs)
    : m_port(port), m_console(console), m_attenteMs(attenteMs)
{
}

QString LiaisonMCF::envoyerCommande(int commande, const QString &donnees)
{
    m_issue = IssueEchange::NonEnvoye;
    const std::optional<QByteArray> t = construireTrame(commande, donnees, m_numeroSequence);
    const QString ligneDonnees = QStringLiteral("Donnees: ") + donnees;
    if (!t) {
        journaliser(m_console, ligneDonnees);
        // A longer text would wrap LEN and reach the device as a corrupt frame: it is not sent.
        journaliser(m_console,
                    QStringLiteral("Donnees trop longues pour une trame: %1 caracteres pour %2 au plus.")
                        .arg(octetsDonnees(donnees).size())
                        .arg(trame::donneesMax));
        return QString();
    }
    const int sequence = m_numeroSequence;

    QByteArray &tampon = m_tamponReponse;
    tampon.clear();
    // Bytes still waiting from an earlier exchange (a reply that came too late) would be taken
    // for the start of this reply: whatever has arrived by now is dropped.
    m_port.waitForReadyRead(0);
    while (m_port.bytesAvailable() > 0)
        m_port.read(tamponMax);
    m_port.write(*t);
    // The serial port writes at once what the system takes without waiting; the line is logged
    // while the frame crosses the wire, and always before any wait, so that a run that hangs or
    // is killed shows what it sent.
    if (auto *serie = qobject_cast<QSerialPort *>(&m_port))
        serie->flush();
    journaliser(m_console, ligneDonnees);
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(m_attenteMs);

    // The wait starts again with every byte that arrives (SYN included); the overall limit does not.
    const QDeadlineTimer limite(qint64(m_attenteMs) * attentesMax);
    QDeadlineTimer attente(m_attenteMs);
    bool incompris = false;
    for (;;) {
        // Read in slices no larger than the room left, and cut each one at once: the buffer never
        // holds more than one frame, however much the device sends.
        while (m_port.bytesAvailable() > 0) {
            tampon.append(m_port.read(tamponMax - tampon.size()));
            attente.setRemainingTime(m_attenteMs);
            for (;;) {
                const DecoupageReponse d = decouperReponse(tampon, sequence, commande);
                if (d.nature == DecoupageReponse::Incomplet)
                    break;
                if (d.nature == DecoupageReponse::Reponse) {
                    // Whatever came after the reply in the same read belongs to no exchange.
                    tampon = d.trame;
                    m_issue = IssueEchange::Reponse;
                    const QString reponse = donneesReponse(tampon);
                    journaliser(m_console, QStringLiteral("Reponse: ") + reponse);
                    return reponse;
                }
                if (d.nature == DecoupageReponse::Nak) {
                    m_issue = IssueEchange::Refus;
                    journaliser(m_console, QStringLiteral("NAK recu: Commande incorrecte.\n\n"));
                    return QString();
                }
                if (d.nature == DecoupageReponse::Rejet && !incompris) {
                    // Said once per exchange: a device that babbles must not flood the console.
                    incompris = true;
                    journaliser(m_console, QStringLiteral("Message non compris: ") +
                                               octetsLisibles(tampon.left(d.octets)));
                }
                tampon.remove(0, d.octets);
            }
            Q_ASSERT(tampon.size() < trame::reponseMax);
            if (limite.hasExpired())
                break;
        }
        // The overall limit is reached only while the device keeps sending (each byte renews the
        // wait); a silence is a whole wait without a byte. A limit found expired here is never taken
        // for a silence, however slowly this machine went through the bytes.
        const bool limiteAtteinte = limite.hasExpired();
        const bool parLimite = limiteAtteinte || limite.remainingTime() < attente.remainingTime();
        if (limiteAtteinte || (!m_port.waitForReadyRead(
                                   static_cast<int>(qMin(attente.remainingTime(), limite.remainingTime()))) &&
                               m_port.bytesAvailable() == 0)) {
            if (parLimite) {
                m_issue = IssueEchange::DelaiDepasse;
                journaliser(m_console,
                            QStringLiteral("Aucune reponse complete dans le delai: echange abandonne.\n"));
            } else {
                m_issue = IssueEchange::Silence;
                journaliser(m_console, QStringLiteral("Aucune reponse.\n"));
            }
            return QString();
        }
    }
}
