#include "serveuremcf.h"

#include <QJsonDocument>
#include <QSslSocket>
#include <QTimer>

namespace {

// Bodies longer than this are logged by their size only.
constexpr qsizetype longueurJournal = 64 * 1024;

// A JSON body is logged compact on one line; anything else with its line ends made visible.
std::string texteJournal(const QByteArray &corps)
{
    if (corps.size() > longueurJournal)
        return "(" + std::to_string(corps.size()) + " octets)";
    QJsonParseError erreur;
    const QJsonDocument document = QJsonDocument::fromJson(corps, &erreur);
    if (erreur.error == QJsonParseError::NoError)
        return document.toJson(QJsonDocument::Compact).toStdString();
    QByteArray texte = corps;
    texte.replace("\r", "\\r").replace("\n", "\\n");
    return texte.toStdString();
}

} // namespace

ServeurEmcf::ServeurEmcf(ServiceEmcf &service, const QSslConfiguration &tls, std::ostream &journal,
                         QObject *parent)
    : QObject(parent), m_service(service), m_journal(journal), m_serveur(this)
{
    m_serveur.setSslConfiguration(tls);
    connect(&m_serveur, &QTcpServer::pendingConnectionAvailable, this, &ServeurEmcf::accepter);
    connect(&m_serveur, &QSslServer::errorOccurred, this,
            [this](QSslSocket *socket, QAbstractSocket::SocketError) {
                journaliser("! " + socket->errorString().toStdString());
            });
    connect(
        &m_serveur, &QSslServer::handshakeInterruptedOnError, this,
        [this](QSslSocket *, const QSslError &e) { journaliser("! TLS: " + e.errorString().toStdString()); });
}

bool ServeurEmcf::ecouter(const QHostAddress &adresse, quint16 port)
{
    return m_serveur.listen(adresse, port);
}

void ServeurEmcf::journaliser(const std::string &ligne)
{
    // One line at a time and at once: whoever reads the log (a test, an integrator) sees it live.
    m_journal << ligne << std::endl;
}

void ServeurEmcf::accepter()
{
    while (m_serveur.hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_serveur.nextPendingConnection());
        if (!socket)
            continue;
        // Counted once the handshake is done: a client that reuses its connection adds nothing.
        ++m_connexions;
        journaliser("+ connexion TLS " + std::to_string(m_connexions));
        m_tampons.insert(socket, {});
        connect(socket, &QIODevice::readyRead, this, [this, socket] { lire(socket); });
        connect(socket, &QAbstractSocket::disconnected, this, [this, socket] {
            m_tampons.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            lire(socket);
    }
}

void ServeurEmcf::lire(QSslSocket *socket)
{
    QByteArray &tampon = m_tampons[socket];
    tampon += socket->readAll();
    for (;;) {
        const ExtractionRequete extraction = extraireRequete(tampon);
        if (extraction.etat == ExtractionRequete::Etat::Incomplete)
            return;
        if (extraction.etat == ExtractionRequete::Etat::Malformee) {
            journaliser("! requete HTTP illisible");
            socket->write(reponseHttp(400, "text/plain", "requete illisible"));
            socket->disconnectFromHost();
            tampon.clear();
            return;
        }
        const RequeteHttp &requete = extraction.requete;
        std::string ligne = "> " + requete.methode.toStdString() + " " + requete.chemin.toStdString();
        if (!requete.corps.isEmpty())
            ligne += " " + texteJournal(requete.corps);
        journaliser(ligne);

        const ReponseService reponse = m_service.traiter(requete);
        if (reponse.silence) {
            journaliser("< (pas de reponse)");
            continue;
        }
        journaliser("< " + std::to_string(reponse.statut) + " " + texteJournal(reponse.corps));
        const QByteArray octets = reponseHttp(reponse.statut, reponse.typeContenu, reponse.corps);
        const QString etape = requete.methode == "GET"    ? QStringLiteral("etat")
                              : requete.methode == "POST" ? QStringLiteral("soumission")
                                                          : QStringLiteral("decision");
        Pause &p = m_pauses[etape];
        if (const int pause = p.nombre != 0 ? p.ms : 0; pause > 0) {
            if (p.nombre > 0)
                --p.nombre;
            // Carried out and logged already; the answer is late (lost when the client is gone).
            journaliser("  pause de " + std::to_string(pause) + " ms avant la reponse");
            QTimer::singleShot(pause, socket, [socket, octets] { socket->write(octets); });
            continue;
        }
        socket->write(octets);
    }
}
