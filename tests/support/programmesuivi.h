#pragma once

#include "attente.h"

#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// Helpers shared by the end-to-end tests: the real programs and simulators, started from the build
// folder, their output kept line by line.

// Lays out the engine in `dossier` as an installation has it: the program and, beside it, the e-MCF
// module it loads for online runs. False when a file could not be copied.
bool installerMoteur(const QString &dossier);

// A program whose standard output is kept line by line, waited on by its lines (never by sleeping).
class ProgrammeSuivi
{
public:
    ProgrammeSuivi() = default;
    ProgrammeSuivi(const ProgrammeSuivi &) = delete;
    ProgrammeSuivi &operator=(const ProgrammeSuivi &) = delete;
    ~ProgrammeSuivi();

    bool demarrer(const QString &programme, const QStringList &arguments);
    void arreter();
    // Every line written so far (whatever is in the pipe by now is taken in).
    QStringList lignes();
    // The lines joined by "\n", each followed by its line end.
    QString journal();
    // Waits until a line matches `motif`; the index of that line, -1 when none came in time (by
    // default, a time that only a fault exhausts).
    int attendre(const QRegularExpression &motif, int delaiMs = attenteFauteMs);

private:
    QProcess m_processus;
    QStringList m_lignes;
};

// orvane-mcf-sim on a pseudo-terminal of its own; `terminal` is empty when it did not start.
class SimulateurMCF : public ProgrammeSuivi
{
public:
    explicit SimulateurMCF(const QStringList &options = {});

    // Request frames the device received.
    int trames();

    QString terminal;
};

// A certificate for 127.0.0.1 made with the openssl command in a folder of its own: the e-MCF
// double serves it and the engine trusts it as its own authority (ORVANE_EMCF_CA).
class CertificatLocal
{
public:
    CertificatLocal();
    bool pret() const { return m_pret; }
    QString certificat() const { return m_dossier.filePath(QStringLiteral("serveur.pem")); }
    QString cle() const { return m_dossier.filePath(QStringLiteral("serveur.key")); }

private:
    QTemporaryDir m_dossier;
    bool m_pret = false;
};

// orvane-emcf-sim over HTTPS on a free port with `certificat` and the extra `options`; `url` is
// empty when it did not start.
class DoubleEmcf : public ProgrammeSuivi
{
public:
    explicit DoubleEmcf(const CertificatLocal &certificat, const QStringList &options = {});

    // The engine's environment that points it at this double and trusts its certificate.
    QMap<QString, QString> environnement() const;
    // Requests received so far ("METHOD path [body]"), in order.
    QStringList requetes();

    QString url;

private:
    QString m_certificat;
};
