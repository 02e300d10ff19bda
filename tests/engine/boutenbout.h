#pragma once

#include "programmesuivi.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// End-to-end helpers of tst_prelevements and tst_nombresillisibles: the real orvane-engine and
// orvane-render in a throw-away installation, against orvane-mcf-sim or orvane-emcf-sim over HTTPS
// (programmesuivi.h).

namespace boutenbout {

// One installation: the engine and its e-MCF module beside app.xml; the register is created by the
// first run. Invoices are written beside them.
class Installation
{
public:
    explicit Installation(const QString &attributsApp)
    {
        m_pret = m_dossier.isValid() && installerMoteur(m_dossier.path()) &&
                 ecrire(QStringLiteral("app.xml"), QStringLiteral("<app %1/>").arg(attributsApp));
    }

    bool pret() const { return m_pret; }
    QString chemin(const QString &nom) const { return m_dossier.filePath(nom); }

    bool ecrire(const QString &nom, const QString &texte) const
    {
        QFile f(chemin(nom));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(texte.toUtf8()) >= 0;
    }

    struct Sortie
    {
        int code = -1; // exit code; negative when the program did not end normally in time
        QString console;
    };

    // orvane-engine on the input file `nom` (result beside it), with the device on `port` (empty:
    // the settings') and the extra environment `environnement`.
    Sortie certifier(const QString &nom, const QString &port = {},
                     const QMap<QString, QString> &environnement = {}) const
    {
        QStringList arguments{chemin(nom), chemin(nom + QStringLiteral(".mcf"))};
        if (!port.isEmpty())
            arguments << port;
        QMap<QString, QString> env = environnement;
        env.insert(QStringLiteral("ORVANE_MCF_WAIT_MS"), QString::number(attenteMs(2000)));
        return executer(chemin(QStringLiteral("orvane-engine")), arguments, env);
    }

    // The program `programme` of the installation with `arguments`, from the installation folder.
    Sortie lancer(const QString &programme, const QStringList &arguments) const
    {
        return executer(chemin(programme), arguments, {});
    }

    // orvane-render started by hand on `nom` and its result file, from the installation folder.
    Sortie rendre(const QString &nom) const
    {
        return executer(QStringLiteral(ORVANE_BIN_DIR "/orvane-render"),
                        {chemin(nom), chemin(nom + QStringLiteral(".mcf"))}, {});
    }

    // The fields of the result file of `nom`; empty when the invoice got no result.
    QStringList resultat(const QString &nom) const
    {
        QFile f(chemin(nom + QStringLiteral(".mcf")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\t'));
    }

    // The text of a PDF of the installation, spaces of every kind made plain and runs of them one.
    QString textePdf(const QString &nom) const
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), chemin(nom), QStringLiteral("-")});
        if (!p.waitForFinished(attenteFauteMs) || p.exitCode() != 0)
            return {};
        QString texte = QString::fromUtf8(p.readAllStandardOutput());
        texte.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
        return texte.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    }

private:
    Sortie executer(const QString &programme, const QStringList &arguments,
                    const QMap<QString, QString> &environnement) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *v : {"ORVANE_EMCF_URL", "ORVANE_EMCF_CA", "ORVANE_EMCF_TIMEOUT_MS"})
            env.remove(QString::fromLatin1(v));
        for (auto it = environnement.begin(); it != environnement.end(); ++it)
            env.insert(it.key(), it.value());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dossier.path());
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(programme, arguments);
        Sortie s;
        if (!p.waitForFinished(attenteFauteMs)) {
            p.kill();
            p.waitForFinished(attenteFauteMs);
            s.code = -101;
        } else {
            s.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -102;
        }
        s.console = QString::fromUtf8(p.readAllStandardOutput());
        return s;
    }

    QTemporaryDir m_dossier;
    bool m_pret = false;
};

// The two ways of certifying, as the tests' rows name them.
inline const QString appareil = QStringLiteral("appareil");
inline const QString emcf = QStringLiteral("e-MCF");

// The simulators' country code of `pays`.
inline QString codeSimulateur(const QString &pays)
{
    return pays == QStringLiteral("Niger") ? QStringLiteral("NE") : QStringLiteral("BJ");
}

// The app.xml attributes of an installation in `pays` that certifies on `chemin`: the e-MCF double's
// token on the web path; on the device path, the port given on the command line.
inline QString attributsApp(const QString &pays, const QString &chemin,
                            const QString &modePrix = QStringLiteral("TTC"))
{
    return QStringLiteral("pays=\"%1\" modeMCF=\"Développement\" jeton=\"%2\" portMCF=\"\" modePrix=\"%3\" "
                          "isf=\"\"")
        .arg(pays, chemin == emcf ? QStringLiteral("jeton-de-test") : QString(), modePrix);
}

// What one run of the engine showed, with the simulator it was given.
struct Deroulement
{
    QString console;
    bool certifiee = false;    // a result file was written
    int trames = -1;           // device path: request frames the device received
    int validees = -1;         // device path: invoices the device validated
    QStringList requetes;      // web path: the double's requests, "METHOD path [body]"
    QString reponseSoumission; // web path: the double's reply to the submission, empty when none
};

// orvane-engine on the invoice file `nom` of `installation`, against a device simulator of `pays`
// or an e-MCF double of `pays` of its own.
inline Deroulement certifierSur(const Installation &installation, const CertificatLocal &certificat,
                                const QString &pays, const QString &chemin, const QString &nom)
{
    Deroulement d;
    const QStringList options{QStringLiteral("--pays"), codeSimulateur(pays)};
    if (chemin == appareil) {
        SimulateurMCF simulateur(options);
        if (simulateur.terminal.isEmpty()) {
            d.console = QStringLiteral("[orvane-mcf-sim n'a pas demarre]");
            return d;
        }
        d.console = installation.certifier(nom, simulateur.terminal).console;
        d.trames = simulateur.trames();
        d.validees =
            int(simulateur.lignes().filter(QRegularExpression(QStringLiteral("^facture validee "))).size());
    } else {
        DoubleEmcf service(certificat, options);
        if (service.url.isEmpty()) {
            d.console = QStringLiteral("[orvane-emcf-sim n'a pas demarre]");
            return d;
        }
        d.console = installation.certifier(nom, {}, service.environnement()).console;
        d.requetes = service.requetes();
        const QStringList l = service.lignes();
        for (qsizetype i = 0; i + 1 < l.size() && d.reponseSoumission.isEmpty(); ++i)
            if (l.at(i).startsWith(QStringLiteral("> POST ")) && l.at(i + 1).startsWith(QStringLiteral("< ")))
                d.reponseSoumission = l.at(i + 1).section(QLatin1Char(' '), 2);
    }
    d.certifiee = !installation.resultat(nom).isEmpty();
    return d;
}

} // namespace boutenbout
