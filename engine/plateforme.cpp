#include "plateforme.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const QStringList argumentsPhp = {QStringLiteral("-S"), QStringLiteral("0.0.0.0:801"),
                                  QStringLiteral("index.php")};

#ifndef Q_OS_WIN
QString fichierPid(const QString &dossierApplication)
{
    return dossierApplication + QStringLiteral("/php-server.pid");
}

// True when `pid` is still the server we started (its command line ends with our arguments), so
// that a recycled process id is never killed.
bool estServeurPhp(qint64 pid)
{
#ifdef Q_OS_LINUX
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    QByteArray attendu;
    for (const QString &a : argumentsPhp)
        attendu += a.toLocal8Bit() + '\0';
    return cmdline.readAll().endsWith(attendu);
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0;
#endif
}
#endif

} // namespace

void detacherConsole()
{
#ifdef Q_OS_WIN
    FreeConsole();
#else
    std::fflush(stdout);
    const int nul = ::open("/dev/null", O_RDWR);
    if (nul >= 0) {
        ::dup2(nul, STDIN_FILENO);
        ::dup2(nul, STDOUT_FILENO);
        ::dup2(nul, STDERR_FILENO);
        if (nul > STDERR_FILENO)
            ::close(nul);
    }
    std::signal(SIGHUP, SIG_IGN);
#endif
}

int demarrerServeurPhp(const QString &dossierApplication)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dossierApplication);
    return QProcess::execute(QStringLiteral("php/php"), argumentsPhp);
#else
    QProcess php;
    php.setProcessChannelMode(QProcess::ForwardedChannels);
    php.setInputChannelMode(QProcess::ForwardedInputChannel);
    php.start(QStringLiteral("php/php"), argumentsPhp);
    if (!php.waitForStarted(-1))
        return -2;
    QFile pid(fichierPid(dossierApplication));
    if (pid.open(QIODevice::WriteOnly | QIODevice::Truncate))
        pid.write(QByteArray::number(php.processId()));
    pid.close();
    php.waitForFinished(-1);
    QFile::remove(fichierPid(dossierApplication));
    if (php.exitStatus() == QProcess::CrashExit)
        return -1;
    return php.exitCode();
#endif
}

int arreterServeurPhp(const QString &dossierApplication)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dossierApplication);
    const QStringList commande = QProcess::splitCommand(QStringLiteral("taskkill /IM \"php.exe\" /F"));
    return QProcess::execute(commande.first(), commande.mid(1));
#else
    QFile fichier(fichierPid(dossierApplication));
    if (!fichier.open(QIODevice::ReadOnly))
        return 1;
    bool ok = false;
    const qint64 pid = fichier.readAll().trimmed().toLongLong(&ok);
    fichier.close();
    if (!ok || pid <= 1 || !estServeurPhp(pid))
        return 1;
    return ::kill(static_cast<pid_t>(pid), SIGTERM) == 0 ? 0 : 1;
#endif
}
