#include "liaisonmcf.h"

#include "trame.h"

#include <QIODevice>

void journaliser(std::ostream &console, const QString &message)
{
    console << message.toStdString() << "\n";
}

QString octetLisible(char octet)
{
    return QStringLiteral("0x") +
           QString::number(static_cast<quint8>(octet), 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

LiaisonMCF::LiaisonMCF(QIODevice &port, EtatAppareil &etat, std::ostream &console, int attenteMs)
    : m_port(port), m_etat(etat), m_console(console), m_attenteMs(attenteMs)
{
}

QString LiaisonMCF::envoyerCommande(int commande, const QString &donnees)
{
    m_reponseRecue = false;
    const std::optional<QByteArray> t = construireTrame(commande, donnees, m_etat.numeroSequence);
    journaliser(m_console, QStringLiteral("Donnees: ") + donnees);
    if (!t) {
        // A longer text would wrap LEN and reach the device as a corrupt frame: it is not sent.
        journaliser(m_console,
                    QStringLiteral("Donnees trop longues pour une trame: %1 caracteres pour %2 au plus.")
                        .arg(octetsDonnees(donnees).size())
                        .arg(trame::donneesMax));
        return QString();
    }

    QByteArray &tampon = m_etat.tamponReponse;
    tampon.clear();
    // Bytes still waiting from an earlier exchange (a reply that came too late) would be taken
    // for the start of this reply: whatever has arrived by now is dropped.
    m_port.waitForReadyRead(0);
    m_port.readAll();
    m_port.write(*t);
    m_port.waitForBytesWritten(m_attenteMs);

    for (;;) {
        m_port.waitForReadyRead(m_attenteMs);
        QByteArray morceau = m_port.readAll();
        if (tampon.isEmpty() && !morceau.isEmpty()) {
            // SYN bytes ahead of the reply say the device is still working, even when the reply
            // itself follows in the same read.
            qsizetype n = 0;
            while (n < morceau.size() && morceau.at(n) == trame::syn)
                ++n;
            if (n == morceau.size())
                continue;
            morceau.remove(0, n);
        }
        if (morceau.isEmpty()) {
            journaliser(m_console, QStringLiteral("Aucune reponse.\n"));
            return QString();
        }
        if (morceau.size() == 1) {
            const char octet = morceau.at(0);
            if (octet == trame::fin) {
                tampon.append(octet);
                break;
            }
            if (octet == trame::syn)
                continue;
            if (octet == trame::nak) {
                journaliser(m_console, QStringLiteral("NAK recu: Commande incorrecte.\n\n"));
                return QString();
            }
            // A reply may reach us a byte at a time: its start byte, or any byte once it has
            // started, belongs to it.
            if (!tampon.isEmpty() || octet == trame::debut) {
                tampon.append(octet);
                continue;
            }
            journaliser(m_console, QStringLiteral("Message non compris: ") + octetLisible(octet));
            return QString();
        }
        tampon.append(morceau);
        if (morceau.endsWith(trame::fin))
            break;
    }

    // A stray end byte alone is not a reply frame.
    m_reponseRecue = tampon.startsWith(trame::debut);
    const QString reponse = donneesReponse(tampon);
    journaliser(m_console, QStringLiteral("Reponse: ") + reponse);
    return reponse;
}
