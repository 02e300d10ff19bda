#include "simulateur.h"

#include "protocolesim.h"

#include <QThread>

#include <thread>

namespace {
const QByteArray nak(1, 0x15);
const QByteArray syn(1, 0x16);

QString codeCommande(int commande)
{
    return QStringLiteral("0x%1").arg(
        QString::number(commande, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

// Waits until `echeance` to within a few microseconds. A sleep alone wakes up late (timer slack
// and the scheduler: ~130 us a frame here), which would lengthen every paced frame beyond its wire
// time; so it sleeps until just before and spins the rest, while the engine waits for the reply.
void attendreJusqua(std::chrono::steady_clock::time_point echeance)
{
    std::this_thread::sleep_until(echeance - std::chrono::microseconds(300));
    while (std::chrono::steady_clock::now() < echeance) {
    }
}
} // namespace

std::optional<RegleSim> lireRegle(const QString &texte)
{
    QString code = texte.section(QLatin1Char(':'), 0, 0).trimmed();
    const QString occurrence = texte.section(QLatin1Char(':'), 1);
    if (code.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        code = code.mid(2);
    bool ok = false;
    RegleSim r;
    r.commande = code.toInt(&ok, 16);
    if (!ok || code.isEmpty() || r.commande < 0 || r.commande > 0xFF)
        return std::nullopt;
    if (!occurrence.isEmpty()) {
        r.occurrence = occurrence.toInt(&ok);
        if (!ok || r.occurrence < 1)
            return std::nullopt;
    }
    return r;
}

std::optional<PauseSim> lirePause(const QString &texte)
{
    const qsizetype deuxPoints = texte.lastIndexOf(QLatin1Char(':'));
    if (deuxPoints < 0)
        return std::nullopt;
    bool ok = false;
    const int ms = texte.mid(deuxPoints + 1).toInt(&ok);
    const std::optional<RegleSim> regle = lireRegle(texte.left(deuxPoints));
    if (!ok || ms < 0 || !regle)
        return std::nullopt;
    return PauseSim{*regle, ms};
}

std::optional<QString> lirePays(const QString &texte)
{
    const QString t = texte.trimmed().toUpper();
    if (t == QStringLiteral("BJ") || t == QStringLiteral("BÉNIN") || t == QStringLiteral("BENIN"))
        return QStringLiteral("BJ");
    if (t == QStringLiteral("NE") || t == QStringLiteral("NIGER"))
        return QStringLiteral("NE");
    return std::nullopt;
}

Simulateur::Simulateur(TransportSim &transport, AppareilSim &appareil, OptionsSim options,
                       std::function<void(const QString &)> journal)
    : m_transport(transport), m_appareil(appareil), m_options(std::move(options)),
      m_journal(std::move(journal))
{
}

void Simulateur::executer()
{
    for (;;) {
        const QByteArray lu = m_transport.lire(m_tampon.isEmpty() ? -1 : 250);
        if (lu.isEmpty())
            silence();
        else
            recevoir(lu);
    }
}

void Simulateur::silence()
{
    if (m_tampon.isEmpty())
        return;
    m_journal(QStringLiteral("recu (incomplet) ") + hexadecimalSim(m_tampon));
    m_tampon.clear();
    envoyer(nak, QStringLiteral("NAK (trame incomplete)"));
}

void Simulateur::recevoir(const QByteArray &octets)
{
    m_arrivee = std::chrono::steady_clock::now();
    m_tampon.append(octets);
    while (const std::optional<RequeteSim> requete = extraireRequete(m_tampon))
        repondre(*requete);
}

bool Simulateur::concerne(const QList<RegleSim> &regles, int commande, int occurrence)
{
    for (const RegleSim &r : regles)
        if (r.commande == commande && (r.occurrence == 0 || r.occurrence == occurrence))
            return true;
    return false;
}

void Simulateur::envoyer(const QByteArray &octets, const QString &quoi)
{
    m_transport.ecrire(octets);
    m_journal(QStringLiteral("envoye ") + hexadecimalSim(octets) + QStringLiteral("  ") + quoi);
}

std::chrono::microseconds Simulateur::tempsDeLigne(qsizetype octets) const
{
    // 10 bits per byte on an 8N1 line.
    return std::chrono::microseconds(m_options.debit > 0 ? octets * 10 * 1000000LL / m_options.debit : 0);
}

void Simulateur::repondre(const RequeteSim &requete)
{
    m_journal(QStringLiteral("recu   ") + hexadecimalSim(requete.trame));
    if (m_muet)
        return;
    if (!requete.valide) {
        envoyer(nak, QStringLiteral("NAK (trame corrompue)"));
        return;
    }
    const int commande = requete.commande;
    const int occurrence = ++m_occurrences[commande];
    const QString nom = codeCommande(commande) + QStringLiteral(" n°") + QString::number(occurrence);
    if (m_options.muetDes && concerne({*m_options.muetDes}, commande, occurrence)) {
        m_muet = true;
        m_journal(QStringLiteral("muet a partir de ") + nom);
        return;
    }
    if (concerne(m_options.synSansFin, commande, occurrence)) {
        m_journal(QStringLiteral("SYN sans fin sur ") + nom);
        while (m_transport.ecrire(syn))
            QThread::msleep(static_cast<unsigned long>(m_options.pauseMs));
        return;
    }
    if (concerne(m_options.octetsSansFin, commande, occurrence)) {
        m_journal(QStringLiteral("octets sans fin sur ") + nom);
        const QByteArray octets(4096, 'A');
        while (m_transport.ecrire(octets)) {
        }
        return;
    }
    if (concerne(m_options.sansReponse, commande, occurrence)) {
        m_journal(QStringLiteral("silence sur ") + nom);
        return;
    }
    if (concerne(m_options.nak, commande, occurrence)) {
        envoyer(nak, QStringLiteral("NAK impose sur ") + nom);
        return;
    }
    // A real device refuses a new invoice while another one is open.
    const bool dejaOuverte = commande == 0xC0 && m_appareil.factureOuverte();
    const std::optional<QString> reponse = m_appareil.traiter(commande, QString::fromLatin1(requete.donnees));
    if (const std::optional<ClotureSim> cloture = m_appareil.prendreCloture())
        m_journal(QStringLiteral("facture %1 %2 reference \"%3\" article \"%4\"")
                      .arg(cloture->validee ? QStringLiteral("validee") : QStringLiteral("annulee"),
                           cloture->compteurs, cloture->reference, cloture->article));
    // Lost after the device acted: its state stays as it is, and the next request is served as usual.
    if (concerne(m_options.reponsePerdue, commande, occurrence)) {
        m_journal(QStringLiteral("reponse perdue sur ") + nom +
                  (reponse ? QString() : QStringLiteral(" (commande refusee)")));
        return;
    }
    for (const PauseSim &p : std::as_const(m_options.pauses)) {
        if (concerne({p.regle}, commande, occurrence)) {
            m_journal(QStringLiteral("pause de %1 ms avant la reponse a ").arg(p.ms) + nom);
            QThread::msleep(static_cast<unsigned long>(p.ms));
        }
    }
    if (!reponse) {
        envoyer(nak, QStringLiteral("NAK: commande refusee ") + nom +
                         (dejaOuverte ? QStringLiteral(" (une facture est deja ouverte)") : QString()));
        return;
    }
    for (int i = 0; i < m_options.syn; ++i) {
        envoyer(syn, QStringLiteral("SYN"));
        QThread::msleep(static_cast<unsigned long>(m_options.pauseMs));
    }
    quint8 sequence = requete.sequence;
    if (concerne(m_options.autreSequence, commande, occurrence))
        sequence = sequence == 0xFF ? 0x20 : sequence + 1;
    const quint8 code = static_cast<quint8>(concerne(m_options.autreCommande, commande, occurrence)
                                                ? (commande == 0x33 ? 0x31 : 0x33)
                                                : commande);
    QByteArray trame = trameReponseSim(sequence, code, reponse->toLatin1());
    // The request crossed the line, then the reply does. The wait runs to a deadline counted from
    // the request's arrival, so that the time spent answering it is not added to the wire time.
    const qsizetype octetsLigne = requete.trame.size() + trame.size();
    if (m_options.debit > 0)
        attendreJusqua(m_arrivee + tempsDeLigne(octetsLigne));
    if (m_options.octetFinal >= 0)
        trame.append(static_cast<char>(m_options.octetFinal));
    const int morceaux = qBound(1, m_options.morceaux, static_cast<int>(trame.size()));
    const qsizetype taille = (trame.size() + morceaux - 1) / morceaux;
    for (qsizetype debut = 0; debut < trame.size(); debut += taille) {
        if (debut > 0)
            QThread::msleep(static_cast<unsigned long>(m_options.pauseMs));
        m_transport.ecrire(trame.mid(debut, taille));
    }
    const auto occupe =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_arrivee);
    m_journal(QStringLiteral("envoye ") + hexadecimalSim(trame) + QStringLiteral("  ") + nom +
              QStringLiteral(": ") + *reponse);
    // What the device took from the request's arrival to the end of its reply, beside the wire
    // time of both frames: whoever measures the engine leaves this share out. The time from the
    // end of the previous reply to this request was the engine's turn.
    if (m_options.debit > 0) {
        const auto tour =
            m_finReponse ? std::chrono::duration_cast<std::chrono::microseconds>(m_arrivee - *m_finReponse)
                         : std::chrono::microseconds(0);
        m_journal(QStringLiteral("occupe %1 us, ligne %2 us, apres %3 us")
                      .arg(occupe.count())
                      .arg(tempsDeLigne(octetsLigne).count())
                      .arg(tour.count()));
    }
    m_finReponse = m_arrivee + occupe;
}
