#include "trame.h"

QString echapperTexte(const QString &texte)
{
    QString r = texte;
    r.replace(QChar(0x0A), QStringLiteral("^xa;"));
    r.replace(QChar(0x0D), QStringLiteral("^xd;"));
    r.replace(QLatin1Char(','), QStringLiteral("^x2c;"));
    r.replace(QLatin1Char('<'), QStringLiteral("^lt;"));
    r.replace(QLatin1Char('>'), QStringLiteral("^gt;"));
    r.replace(QLatin1Char('&'), QStringLiteral("^amp;"));
    // The device reads an apostrophe as a quote; it becomes a plain space.
    r.replace(QLatin1Char('\''), QLatin1Char(' '));
    return r;
}

int sequenceSuivante(int numero)
{
    const int suivant = numero + 1;
    return suivant > 0xFF || suivant < 0x20 ? 0x20 : suivant;
}

QByteArray octetsDonnees(const QString &donnees)
{
    QByteArray octets;
    octets.reserve(donnees.size());
    for (const QChar c : donnees) {
        if (c.unicode() == 0x0152)
            continue;
        // One byte per character: a character the device cannot receive is sent as "?" so that
        // LEN and the check sum still match what is on the wire.
        octets.append(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?');
    }
    return octets;
}

QByteArray octetsControle(quint16 somme)
{
    QByteArray r(4, '0');
    for (int i = 3; i >= 0; --i) {
        r[i] = static_cast<char>(0x30 + (somme & 0x0F));
        somme >>= 4;
    }
    return r;
}

std::optional<QByteArray> construireTrame(int commande, const QString &donnees, int &numeroSequence)
{
    const QByteArray octets = octetsDonnees(donnees);
    if (octets.size() > trame::donneesMax)
        return std::nullopt;
    numeroSequence = sequenceSuivante(numeroSequence);

    QByteArray t;
    t.reserve(octets.size() + 10);
    t.append(trame::debut);
    t.append(static_cast<char>(octets.size() + 0x24));
    t.append(static_cast<char>(numeroSequence));
    t.append(static_cast<char>(commande & 0xFF));
    t.append(octets);
    t.append(trame::separateur);
    quint16 somme = 0;
    for (int i = 1; i < t.size(); ++i)
        somme += static_cast<quint8>(t.at(i));
    t.append(octetsControle(somme));
    t.append(trame::fin);
    return t;
}

QString donneesReponse(const QByteArray &reponse)
{
    if (reponse.size() < 2)
        return QString();
    const int fin = static_cast<quint8>(reponse.at(1)) - 0x27;
    if (fin <= 4)
        return QString();
    const int n = qMin(fin, static_cast<int>(reponse.size())) - 4;
    if (n <= 0)
        return QString();
    return QString::fromLatin1(reponse.constData() + 4, n);
}

QString enHexadecimal(const QByteArray &octets)
{
    return QString::fromLatin1(octets.toHex(' ').toUpper());
}
