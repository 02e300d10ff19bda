#pragma once

#include "serviceemcf.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSslConfiguration>
#include <QSslServer>

#include <ostream>

class QSslSocket;

// The HTTPS front of the test double: accepts TLS connections, cuts their bytes into HTTP requests,
// hands each to the service and writes its answer back (or nothing, for an injected silence).
// Every accepted connection, request and answer is logged, one line each: "+ connexion TLS n",
// "> METHOD path body" and "< status body".
class ServeurEmcf : public QObject
{
public:
    ServeurEmcf(ServiceEmcf &service, const QSslConfiguration &tls, std::ostream &journal,
                QObject *parent = nullptr);

    bool ecouter(const QHostAddress &adresse, quint16 port);
    // Waits before writing the answers of a step (etat, soumission, decision), in milliseconds.
    void retarder(const QMap<QString, Pause> &pauses) { m_pauses = pauses; }
    quint16 port() const { return m_serveur.serverPort(); }
    QString erreur() const { return m_serveur.errorString(); }
    // TLS connections accepted since start (handshake done).
    int connexions() const { return m_connexions; }

private:
    void accepter();
    void lire(QSslSocket *socket);
    void journaliser(const std::string &ligne);

    ServiceEmcf &m_service;
    std::ostream &m_journal;
    QSslServer m_serveur;
    QHash<QSslSocket *, QByteArray> m_tampons;
    int m_connexions = 0;
    QMap<QString, Pause> m_pauses;
};
