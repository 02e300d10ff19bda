#include "connexionhttps.h"

#include "transportemcf.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Headers and chunk framing around a body of the maximum size: more than this held at once is a
// reply over the maximum.
constexpr qsizetype margeEntetes = 128 * 1024;

// A second descriptor of the connected socket `socket`, which stays open when the first is closed;
// -1 on failure.
qintptr dupliquerSocket(qintptr socket)
{
#ifdef Q_OS_WIN
    WSAPROTOCOL_INFOW info;
    if (WSADuplicateSocketW(static_cast<SOCKET>(socket), GetCurrentProcessId(), &info) != 0)
        return -1;
    const SOCKET copie =
        WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, WSA_FLAG_OVERLAPPED);
    return copie == INVALID_SOCKET ? -1 : static_cast<qintptr>(copie);
#else
    return ::fcntl(static_cast<int>(socket), F_DUPFD_CLOEXEC, 0);
#endif
}

void fermerDescripteur(qintptr socket)
{
#ifdef Q_OS_WIN
    ::closesocket(static_cast<SOCKET>(socket));
#else
    ::close(static_cast<int>(socket));
#endif
}

} // namespace

ConnexionHttps::ConnexionHttps(const QUrl &adresse, const QString &fichierAutorites, QObject *parent)
    : QObject(parent), m_adresse(adresse), m_fichierAutorites(fichierAutorites),
      m_chiffree(adresse.scheme() != QLatin1String("http"))
{
}

ConnexionHttps::~ConnexionHttps()
{
    delete m_tcp;
    delete m_ssl;
}

void ConnexionHttps::ouvrir()
{
    if (m_tcp || m_ssl)
        return;
    m_pret = false;
    m_echecOuverture.reset();
    m_tcp = new QTcpSocket(this);
    // Queued: a connection that succeeds or fails at once must not be handled before the TLS socket
    // below exists. A socket replaced meanwhile is not handled at all.
    QTcpSocket *tcp = m_tcp;
    connect(
        m_tcp, &QTcpSocket::connected, this,
        [this, tcp] {
            if (tcp == m_tcp)
                connexionEtablie();
        },
        Qt::QueuedConnection);
    connect(
        m_tcp, &QAbstractSocket::errorOccurred, this,
        [this, tcp] {
            if (tcp == m_tcp)
                erreur(tcp);
        },
        Qt::QueuedConnection);
    m_tcp->connectToHost(m_adresse.host(), static_cast<quint16>(m_adresse.port(m_chiffree ? 443 : 80)));
    if (!m_chiffree)
        return;
    // The connection request is on its way: TLS is set up meanwhile, once per run.
    if (!m_tls)
        m_tls = configurationTls(autoritesEmcf(m_fichierAutorites));
    m_ssl = new QSslSocket(this);
    m_ssl->setSslConfiguration(*m_tls);
    m_ssl->setPeerVerifyName(m_adresse.host());
    // Never more than this is read from the socket before the handler has looked at it.
    m_ssl->setReadBufferSize(256 * 1024);
    QSslSocket *ssl = m_ssl;
    connect(m_ssl, &QSslSocket::encrypted, this, &ConnexionHttps::pret);
    connect(m_ssl, &QAbstractSocket::errorOccurred, this, [this, ssl] { erreur(ssl); });
}

void ConnexionHttps::connexionEtablie()
{
    if (!m_chiffree) {
        m_socket = m_tcp;
        connect(m_tcp, &QIODevice::readyRead, this, &ConnexionHttps::lire);
        connect(m_tcp, &QAbstractSocket::disconnected, this, &ConnexionHttps::fermeture);
        pret();
        return;
    }
    // The TLS socket takes over the connected socket through a second descriptor of it: closing
    // the first one then leaves the connection open.
    const qintptr descripteur = dupliquerSocket(m_tcp->socketDescriptor());
    m_tcp->disconnect(this);
    m_tcp->abort();
    m_tcp->deleteLater();
    m_tcp = nullptr;
    if (descripteur < 0 || !m_ssl->setSocketDescriptor(descripteur)) {
        if (descripteur >= 0)
            fermerDescripteur(descripteur);
        echouer(ReponseEmcf::Echec::Reseau, QStringLiteral("socket inutilisable pour TLS"));
        return;
    }
    m_socket = m_ssl;
    connect(m_ssl, &QIODevice::readyRead, this, &ConnexionHttps::lire);
    connect(m_ssl, &QAbstractSocket::disconnected, this, &ConnexionHttps::fermeture);
    m_ssl->startClientEncryption();
}

void ConnexionHttps::pret()
{
    m_pret = true;
    if (!m_requete.isEmpty() && !m_envoyee) {
        m_envoyee = true;
        m_socket->write(m_requete);
    }
}

bool ConnexionHttps::renvoyer()
{
    // A server may close an idle kept-alive connection just as the next request goes out; the
    // request is then sent once more on a new connection, as browsers do. Only once, and only when
    // nothing of a reply came.
    if (!m_envoyee || !m_reutilisee || m_renvoyee || !m_recus.isEmpty())
        return false;
    m_renvoyee = true;
    m_reutilisee = false;
    m_envoyee = false;
    liberer();
    ouvrir();
    return true;
}

void ConnexionHttps::envoyer(const RequeteEmcf &requete, Fin fin)
{
    m_fin = std::move(fin);
    m_requete = texteRequeteHttp(requete);
    m_envoyee = false;
    m_renvoyee = false;
    m_recus.clear();
    m_reutilisee = m_pret && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
    if (m_reutilisee) {
        pret();
        return;
    }
    if (m_echecOuverture) {
        // Handed over from the event loop, as any reply.
        const ReponseEmcf echec = *m_echecOuverture;
        m_echecOuverture.reset();
        QTimer::singleShot(0, this, [this, echec] {
            if (m_fin)
                finir(echec);
        });
        return;
    }
    if (m_pret)
        liberer(); // the kept-alive connection is gone: another one is opened
    // Otherwise the connection opened ahead is still being set up: pret() sends the request.
    ouvrir();
}

void ConnexionHttps::lire()
{
    if (!m_envoyee) {
        // Nothing was asked: bytes from the server now cannot belong to any reply.
        m_socket->readAll();
        return;
    }
    m_recus += m_socket->read(tailleMaximaleReponse + margeEntetes + 1 - m_recus.size());
    if (m_recus.size() > tailleMaximaleReponse + margeEntetes) {
        echouer(ReponseEmcf::Echec::TropLongue);
        return;
    }
    const LectureHttp lecture = lireReponseHttp(m_recus, false, tailleMaximaleReponse);
    switch (lecture.etat) {
    case LectureHttp::Etat::Incomplete:
        return;
    case LectureHttp::Etat::TropLongue:
        echouer(ReponseEmcf::Echec::TropLongue);
        return;
    case LectureHttp::Etat::Invalide:
        echouer(ReponseEmcf::Echec::Reseau, QStringLiteral("reponse HTTP invalide"));
        return;
    case LectureHttp::Etat::Complete:
        break;
    }
    ReponseEmcf reponse(lecture.corps);
    reponse.statutHttp = lecture.statut;
    if (!lecture.garderConnexion)
        liberer();
    finir(reponse);
}

void ConnexionHttps::fermeture()
{
    // The server closed the connection: that ends a reply whose body runs to the close.
    if (m_envoyee && m_fin) {
        if (renvoyer())
            return;
        const LectureHttp lecture = lireReponseHttp(m_recus, true, tailleMaximaleReponse);
        liberer();
        if (lecture.etat == LectureHttp::Etat::Complete) {
            ReponseEmcf reponse(lecture.corps);
            reponse.statutHttp = lecture.statut;
            finir(reponse);
        } else {
            echouer(lecture.etat == LectureHttp::Etat::TropLongue ? ReponseEmcf::Echec::TropLongue
                                                                  : ReponseEmcf::Echec::Reseau,
                    QStringLiteral("connexion fermee par le serveur avant la fin de la reponse"));
        }
        return;
    }
    // Between two requests: the next one opens another connection.
    liberer();
}

void ConnexionHttps::erreur(QAbstractSocket *socket)
{
    using Echec = ReponseEmcf::Echec;
    switch (socket->error()) {
    case QAbstractSocket::RemoteHostClosedError:
        fermeture();
        return;
    case QAbstractSocket::ConnectionRefusedError:
        echouer(Echec::ConnexionRefusee);
        return;
    case QAbstractSocket::HostNotFoundError:
        echouer(Echec::ServeurIntrouvable);
        return;
    case QAbstractSocket::SslHandshakeFailedError:
        echouer(Echec::Certificat);
        return;
    default:
        if (!renvoyer())
            echouer(Echec::Reseau, socket->errorString());
        return;
    }
}

void ConnexionHttps::echouer(ReponseEmcf::Echec echec, const QString &detail)
{
    const bool enOuverture = !m_pret;
    liberer();
    ReponseEmcf reponse;
    reponse.echec = echec;
    reponse.detail = detail.toStdString();
    if (!m_fin) {
        // A connection that failed while being opened, before any request: the next request is
        // told why at once, rather than trying again (a second name lookup could take as long as
        // the first). An idle kept-alive connection that failed is simply replaced.
        if (enOuverture)
            m_echecOuverture = reponse;
        return;
    }
    finir(reponse);
}

void ConnexionHttps::finir(const ReponseEmcf &reponse)
{
    m_requete.clear();
    m_envoyee = false;
    m_recus.clear();
    const Fin fin = std::move(m_fin);
    m_fin = nullptr;
    if (fin)
        fin(reponse);
}

void ConnexionHttps::abandonner()
{
    m_fin = nullptr;
    m_requete.clear();
    m_envoyee = false;
    m_recus.clear();
    liberer();
}

void ConnexionHttps::fermer()
{
    abandonner();
}

void ConnexionHttps::liberer()
{
    m_pret = false;
    m_socket = nullptr;
    for (QAbstractSocket *socket :
         {static_cast<QAbstractSocket *>(m_tcp), static_cast<QAbstractSocket *>(m_ssl)}) {
        if (!socket)
            continue;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_tcp = nullptr;
    m_ssl = nullptr;
}
