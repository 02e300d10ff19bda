#include "liaisonreseau.h"

#include "transportemcf.h"

#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Whether `erreur` says that an HTTP reply came with an error status (its body is then the
// service's report), rather than that the exchange itself failed.
bool statutHttpEnErreur(QNetworkReply::NetworkError erreur)
{
    return (erreur >= QNetworkReply::ContentAccessDenied && erreur <= QNetworkReply::UnknownContentError) ||
           erreur == QNetworkReply::ProtocolInvalidOperationError ||
           (erreur >= QNetworkReply::InternalServerError && erreur <= QNetworkReply::UnknownServerError);
}

ReponseEmcf::Echec echecReseau(QNetworkReply::NetworkError erreur, bool parProxy)
{
    using E = ReponseEmcf::Echec;
    // Through a proxy, Qt reports a proxy it cannot reach (or that cannot reach the service) as an
    // unknown error, a refused connection or the service's host not found.
    if (parProxy && (erreur == QNetworkReply::UnknownNetworkError || erreur == QNetworkReply::ConnectionRefusedError ||
                     erreur == QNetworkReply::HostNotFoundError))
        return E::Proxy;
    switch (erreur) {
    case QNetworkReply::ConnectionRefusedError:
        return E::ConnexionRefusee;
    case QNetworkReply::HostNotFoundError:
        return E::ServeurIntrouvable;
    case QNetworkReply::SslHandshakeFailedError:
        return E::Certificat;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return E::ProxyAuthentification;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownProxyError:
        return E::Proxy;
    default:
        return E::Reseau;
    }
}

} // namespace

QNetworkProxy proxyVers(const QUrl &adresse)
{
    // Qt never sends a connection to this machine through a proxy.
    const QString hote = adresse.host();
    if (hote == QLatin1String("localhost") || QHostAddress(hote).isLoopback())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const QList<QNetworkProxy> proxys = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(adresse));
    return proxys.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxys.first();
}

ReponseEmcf reponseDuReseau(QNetworkReply &reponse, const QNetworkProxy &proxy)
{
    ReponseEmcf r;
    const QVariant statut = reponse.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError erreur = reponse.error();
    if (erreur == QNetworkReply::NoError || (statut.isValid() && statutHttpEnErreur(erreur))) {
        r.statutHttp = statut.toInt();
        return r;
    }
    const bool parProxy = proxy.type() != QNetworkProxy::NoProxy && proxy.type() != QNetworkProxy::DefaultProxy;
    r.echec = echecReseau(erreur, parProxy);
    r.detail = reponse.errorString().toStdString();
    if (r.echec == ReponseEmcf::Echec::Proxy)
        r.detail = QStringLiteral("%1:%2: %3")
                       .arg(proxy.hostName())
                       .arg(proxy.port())
                       .arg(reponse.errorString())
                       .toStdString();
    return r;
}

LiaisonReseau::LiaisonReseau(const QUrl &adresse, const QString &fichierAutorites, QObject *parent)
    : QObject(parent), m_adresse(adresse), m_fichierAutorites(fichierAutorites)
{
    // The shop's proxy, as the system names it (environment on Linux, Internet options on Windows).
    // Credentials are asked of nobody: a proxy that wants them fails the request with its cause.
    m_gestionnaire.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_gestionnaire.setAutoDeleteReplies(false);
    // The proxy is asked of the system once, and given to the manager for every connection: the one
    // opened ahead would otherwise be asked for a scheme of Qt's own, which no proxy configuration
    // names, and go direct while the requests go through the proxy.
    m_proxy = proxyVers(m_adresse);
    m_gestionnaire.setProxy(m_proxy);
}

LiaisonReseau::~LiaisonReseau()
{
    abandonner();
}

const QSslConfiguration &LiaisonReseau::tls()
{
    if (!m_tls)
        m_tls = configurationTls(autoritesEmcf(m_fichierAutorites));
    return *m_tls;
}

void LiaisonReseau::ouvrir()
{
    // The manager tells when the connection opened ahead is ready (or failed) as it tells of any
    // request's end. A request sent before then would be given a second connection.
    m_ouvertureEnCours = true;
    connect(&m_gestionnaire, &QNetworkAccessManager::finished, this, [this](QNetworkReply *reponse) {
        if (!reponse->url().scheme().startsWith(QLatin1String("preconnect")))
            return;
        reponse->deleteLater();
        m_ouvertureEnCours = false;
        // A proxy that could not be reached, or that wants credentials, fails every request of the
        // run the same way: they report it without trying again (trying again after a demand for
        // credentials crashed Qt's network thread now and then). A server that refused the
        // connection is tried again by the request: it may have been restarting.
        const ReponseEmcf ouverture = reponseDuReseau(*reponse, m_proxy);
        if (ouverture.echec == ReponseEmcf::Echec::Proxy ||
            ouverture.echec == ReponseEmcf::Echec::ProxyAuthentification)
            m_echecProxy = ouverture;
        if (m_enAttente)
            lancer(*std::exchange(m_enAttente, std::nullopt));
    });
    const int port = m_adresse.port(m_adresse.scheme() == QLatin1String("https") ? 443 : 80);
    if (m_adresse.scheme() == QLatin1String("https"))
        m_gestionnaire.connectToHostEncrypted(m_adresse.host(), quint16(port), tls());
    else
        m_gestionnaire.connectToHost(m_adresse.host(), quint16(port));
}

void LiaisonReseau::envoyer(const RequeteEmcf &requete, Fin fin)
{
    abandonner();
    m_fin = std::move(fin);
    if (m_ouvertureEnCours)
        m_enAttente = requete;
    else
        lancer(requete);
}

void LiaisonReseau::lancer(const RequeteEmcf &requete)
{
    if (m_echecProxy) {
        // From the event loop, as any reply; a request abandoned meanwhile gets nothing.
        QTimer::singleShot(0, this, [this, generation = m_generation, echec = *m_echecProxy] {
            if (generation == m_generation)
                rendre(echec);
        });
        return;
    }
    QNetworkRequest r(requete.url);
    if (requete.url.scheme() == QLatin1String("https")) {
        r.setSslConfiguration(tls());
        // HTTP/1.1, as on the connection opened ahead (a request that allows HTTP/2 would not be
        // given that connection).
        r.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    }
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Bodies come as they are: the reply limit then counts the bytes the server sent.
    r.setRawHeader("Accept-Encoding", "identity");
    // Header values cannot carry line breaks (Qt refuses them); the token is sent as written.
    r.setRawHeader("Authorization", "Bearer " + requete.jeton.toUtf8());
    if (!requete.typeContenu.isEmpty())
        r.setRawHeader("Content-Type", requete.typeContenu);
    QNetworkReply *reponse = nullptr;
    if (requete.methode == "GET")
        reponse = m_gestionnaire.get(r);
    else if (requete.methode == "POST")
        reponse = m_gestionnaire.post(r, requete.corps);
    else if (requete.methode == "PUT")
        reponse = m_gestionnaire.put(r, requete.corps);
    else
        reponse = m_gestionnaire.sendCustomRequest(r, requete.methode, requete.corps);
    m_reponse = reponse;
    surveiller(reponse);
}

void LiaisonReseau::surveiller(QNetworkReply *reponse)
{
    // The manager reads ahead of us by at most this much; the body is taken from it as it comes, so
    // no more than one byte over the maximum is ever held: that byte tells that the body is too long.
    reponse->setReadBufferSize(tailleMaximaleReponse + 1);
    m_corps.clear();
    connect(reponse, &QNetworkReply::metaDataChanged, this, [this, reponse] {
        const QVariant longueur = reponse->header(QNetworkRequest::ContentLengthHeader);
        if (longueur.isValid() && longueur.toLongLong() > tailleMaximaleReponse)
            depasser(reponse);
    });
    connect(reponse, &QIODevice::readyRead, this, [this, reponse] {
        m_corps += reponse->read(tailleMaximaleReponse + 1 - m_corps.size());
        if (m_corps.size() > tailleMaximaleReponse)
            depasser(reponse);
    });
    connect(reponse, &QNetworkReply::finished, this, [this, reponse] { finir(reponse); });
}

void LiaisonReseau::depasser(QNetworkReply *reponse)
{
    if (reponse != m_reponse && m_reponse)
        return;
    m_reponse = reponse;
    abandonner();
    m_corps.clear();
    ReponseEmcf r;
    r.echec = ReponseEmcf::Echec::TropLongue;
    rendre(r);
}

void LiaisonReseau::finir(QNetworkReply *reponse)
{
    if (reponse != m_reponse)
        return;
    m_reponse = nullptr;
    reponse->deleteLater();
    m_corps += reponse->read(tailleMaximaleReponse + 1 - m_corps.size());
    if (m_corps.size() > tailleMaximaleReponse) {
        depasser(reponse);
        return;
    }
    ReponseEmcf r = reponseDuReseau(*reponse, m_proxy);
    if (r.echec == ReponseEmcf::Echec::Aucun)
        r.corps = std::exchange(m_corps, QByteArray());
    rendre(r);
}

void LiaisonReseau::rendre(const ReponseEmcf &reponse)
{
    // The handler may send the next request, which replaces m_fin.
    const Fin fin = std::exchange(m_fin, nullptr);
    if (fin)
        fin(reponse);
}

void LiaisonReseau::abandonner()
{
    ++m_generation;
    m_enAttente.reset();
    if (QNetworkReply *reponse = m_reponse) {
        m_reponse = nullptr;
        reponse->disconnect(this);
        // Aborting a request under way also closes the connection it was on.
        reponse->abort();
        reponse->deleteLater();
    }
}

void LiaisonReseau::fermer()
{
    abandonner();
    m_gestionnaire.clearConnectionCache();
}
