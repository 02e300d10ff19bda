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

namespace {

enum class Lecture { Manque, Valide, Invalide };

// 0x05 and 0x03 at their places and four check bytes in 0x30-0x3F between them.
bool formeValide(const QByteArray &t)
{
    const qsizetype n = t.size();
    if (n < trame::reponseMin || t.at(n - 6) != trame::separateur || t.at(n - 1) != trame::fin)
        return false;
    for (qsizetype i = n - 5; i < n - 1; ++i) {
        const quint8 c = static_cast<quint8>(t.at(i));
        if (c < 0x30 || c > 0x3F)
            return false;
    }
    return true;
}

// Reads the frame that starts with the 0x01 at `debut`: its bytes in `t`, the bytes it spans in
// `consommes`.
Lecture lireTrame(const QByteArray &b, qsizetype debut, QByteArray &t, qsizetype &consommes)
{
    const qsizetype reste = b.size() - debut;
    if (reste < 2)
        return Lecture::Manque;
    const int len = static_cast<quint8>(b.at(debut + 1));
    if (len < 0x2B)
        return Lecture::Invalide; // no room for the status block and 0x05
    const qsizetype total = len - 0x1A;
    if (reste < total)
        return Lecture::Manque;
    t = b.mid(debut, total);
    if (formeValide(t)) {
        consommes = total;
        return Lecture::Valide;
    }
    // A SYN the device sent while it was writing its reply belongs to no frame.
    t.clear();
    qsizetype i = debut;
    for (; i < b.size() && t.size() < total; ++i)
        if (i == debut || b.at(i) != trame::syn)
            t.append(b.at(i));
    if (t.size() < total)
        return reste >= trame::reponseMax ? Lecture::Invalide : Lecture::Manque;
    consommes = i - debut;
    return formeValide(t) ? Lecture::Valide : Lecture::Invalide;
}

bool pourLaRequete(const QByteArray &t, int sequence, int commande)
{
    return static_cast<quint8>(t.at(2)) == (sequence & 0xFF) &&
           static_cast<quint8>(t.at(3)) == (commande & 0xFF);
}

DecoupageReponse decoupage(DecoupageReponse::Nature nature, qsizetype octets, QByteArray t = QByteArray())
{
    DecoupageReponse d;
    d.nature = nature;
    d.octets = octets;
    d.trame = std::move(t);
    return d;
}

} // namespace

DecoupageReponse decouperReponse(const QByteArray &recu, int sequence, int commande)
{
    if (recu.isEmpty())
        return decoupage(DecoupageReponse::Incomplet, 0);
    const char premier = recu.at(0);
    if (premier == trame::syn)
        return decoupage(DecoupageReponse::Syn, 1);
    if (premier == trame::nak)
        return decoupage(DecoupageReponse::Nak, 1);
    if (premier != trame::debut) {
        // Bytes outside a frame, up to whatever may start something meaningful.
        qsizetype n = 1;
        while (n < recu.size() && recu.at(n) != trame::debut && recu.at(n) != trame::syn &&
               recu.at(n) != trame::nak)
            ++n;
        return decoupage(DecoupageReponse::Rejet, n);
    }

    QByteArray t;
    qsizetype n = 0;
    switch (lireTrame(recu, 0, t, n)) {
    case Lecture::Valide:
        // A frame of another request (a late reply, a confused device) is dropped whole.
        if (!pourLaRequete(t, sequence, commande))
            return decoupage(DecoupageReponse::Rejet, n);
        return decoupage(DecoupageReponse::Reponse, n, t);
    case Lecture::Invalide:
        return decoupage(DecoupageReponse::Rejet, 1);
    case Lecture::Manque:
        break;
    }
    // A stray start byte whose LEN promises more than comes must not hold back a complete reply
    // that arrived after it.
    for (qsizetype k = 1; k < recu.size(); ++k) {
        if (recu.at(k) != trame::debut)
            continue;
        QByteArray suivante;
        qsizetype m = 0;
        if (lireTrame(recu, k, suivante, m) == Lecture::Valide && pourLaRequete(suivante, sequence, commande))
            return decoupage(DecoupageReponse::Rejet, k);
    }
    return decoupage(DecoupageReponse::Incomplet, 0);
}

QString enHexadecimal(const QByteArray &octets)
{
    return QString::fromLatin1(octets.toHex(' ').toUpper());
}
