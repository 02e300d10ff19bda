#include "fluxscripte.h"

FluxScripte::FluxScripte()
{
    open(QIODevice::ReadWrite);
}

bool FluxScripte::waitForReadyRead(int)
{
    ++attentes;
    if (!m_courant.isEmpty())
        return true;
    if (restes.isEmpty() && !sansFin)
        return false;
    m_courant = restes.isEmpty() ? sansFin() : restes.takeFirst();
    return !m_courant.isEmpty();
}

QList<int> FluxScripte::commandes() const
{
    QList<int> c;
    for (const Requete &r : requetes)
        c << r.commande;
    return c;
}

qint64 FluxScripte::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin(maxSize, static_cast<qint64>(m_courant.size()));
    memcpy(data, m_courant.constData(), static_cast<size_t>(n));
    m_courant.remove(0, n);
    return n;
}

qint64 FluxScripte::writeData(const char *data, qint64 size)
{
    m_ecrit.append(data, size);
    // A request frame is 0x01, LEN, and LEN - 0x24 + 8 more bytes.
    while (m_ecrit.size() >= 2 && m_ecrit.size() >= static_cast<quint8>(m_ecrit.at(1)) - 0x24 + 10) {
        const int n = static_cast<quint8>(m_ecrit.at(1)) - 0x24;
        Requete r;
        r.trame = m_ecrit.left(n + 10);
        r.sequence = static_cast<quint8>(r.trame.at(2));
        r.commande = static_cast<quint8>(r.trame.at(3));
        r.donnees = r.trame.mid(4, n);
        m_ecrit.remove(0, n + 10);
        requetes << r;
        if (repondre)
            restes << repondre(r);
    }
    return size;
}

QByteArray trameReponse(int commande, const QByteArray &donnees, int sequence)
{
    QByteArray corps;
    corps.append(char(donnees.size() + 0x2B));
    corps.append(char(sequence));
    corps.append(char(commande));
    corps.append(donnees);
    corps.append("ABCDEFG");
    corps.append(char(0x05));
    int somme = 0;
    for (char c : corps)
        somme += quint8(c);
    const QByteArray hex = QByteArray::number(somme, 16).rightJustified(4, '0');
    QByteArray t(1, 0x01);
    t.append(corps);
    for (char c : hex)
        t.append(char(0x30 + QByteArray(1, c).toInt(nullptr, 16)));
    t.append(char(0x03));
    return t;
}

QByteArray octets(const char *hexadecimal)
{
    return QByteArray::fromHex(QByteArray(hexadecimal).replace(' ', ""));
}
