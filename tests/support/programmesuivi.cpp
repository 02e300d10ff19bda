#include "programmesuivi.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

ProgrammeSuivi::~ProgrammeSuivi()
{
    arreter();
}

bool ProgrammeSuivi::demarrer(const QString &programme, const QStringList &arguments)
{
    m_processus.setProgram(programme);
    m_processus.setArguments(arguments);
    m_processus.start();
    return m_processus.waitForStarted(attenteFauteMs);
}

void ProgrammeSuivi::arreter()
{
    if (m_processus.state() != QProcess::NotRunning) {
        m_processus.kill();
        m_processus.waitForFinished(attenteFauteMs);
    }
}

QStringList ProgrammeSuivi::lignes()
{
    while (m_processus.waitForReadyRead(0)) {
    }
    while (m_processus.canReadLine())
        m_lignes << QString::fromUtf8(m_processus.readLine()).chopped(1);
    return m_lignes;
}

QString ProgrammeSuivi::journal()
{
    const QStringList l = lignes();
    return l.isEmpty() ? QString() : l.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int ProgrammeSuivi::attendre(const QRegularExpression &motif, int delaiMs)
{
    QElapsedTimer chrono;
    chrono.start();
    for (;;) {
        const QStringList l = lignes();
        for (int i = 0; i < l.size(); ++i) {
            if (motif.match(l.at(i)).hasMatch())
                return i;
        }
        if (chrono.elapsed() > delaiMs)
            return -1;
        m_processus.waitForReadyRead(qMax(1, delaiMs - int(chrono.elapsed())));
    }
}

SimulateurMCF::SimulateurMCF(const QStringList &options)
{
    if (demarrer(QStringLiteral(ORVANE_SIMULATEURS_DIR "/orvane-mcf-sim"), options) &&
        attendre(QRegularExpression(QStringLiteral("^/"))) == 0)
        terminal = lignes().first();
}

int SimulateurMCF::trames()
{
    return int(lignes().filter(QRegularExpression(QStringLiteral("^recu "))).size());
}

CertificatLocal::CertificatLocal()
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dossier.path());
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-keyout", "serveur.key", "-out", "serveur.pem", "-subj", "/CN=127.0.0.1",
                   "-addext", "subjectAltName=IP:127.0.0.1"});
    m_pret = m_dossier.isValid() && openssl.waitForFinished(attenteFauteMs) && openssl.exitCode() == 0;
}

DoubleEmcf::DoubleEmcf(const CertificatLocal &certificat, const QStringList &options)
    : m_certificat(certificat.certificat())
{
    if (demarrer(QStringLiteral(ORVANE_SIMULATEURS_DIR "/orvane-emcf-sim"),
                 QStringList{QStringLiteral("--certificat"), certificat.certificat(), QStringLiteral("--cle"),
                             certificat.cle()} +
                     options) &&
        attendre(QRegularExpression(QStringLiteral("^orvane-emcf-sim: https://"))) == 0)
        url = lignes().first().section(QLatin1Char(' '), 1);
}

QMap<QString, QString> DoubleEmcf::environnement() const
{
    return {{QStringLiteral("ORVANE_EMCF_URL"), url}, {QStringLiteral("ORVANE_EMCF_CA"), m_certificat}};
}

QStringList DoubleEmcf::requetes()
{
    QStringList r;
    for (const QString &l : lignes())
        if (l.startsWith(QStringLiteral("> ")))
            r << l.mid(2);
    return r;
}

bool installerMoteur(const QString &dossier)
{
    const QString module = QStringLiteral("orvane-emcf");
    QString fichierModule;
    for (const QString &nom : QDir(QStringLiteral(ORVANE_BIN_DIR)).entryList(QDir::Files)) {
        if (QLibrary::isLibrary(nom) && QFileInfo(nom).completeBaseName() == module)
            fichierModule = nom;
    }
    const QString programme = QStringLiteral("orvane-engine" ORVANE_SUFFIXE_EXE);
    return !fichierModule.isEmpty() &&
           QFile::copy(QStringLiteral(ORVANE_BIN_DIR "/") + programme,
                       dossier + QLatin1Char('/') + programme) &&
           QFile::copy(QStringLiteral(ORVANE_BIN_DIR "/") + fichierModule,
                       dossier + QLatin1Char('/') + fichierModule);
}
