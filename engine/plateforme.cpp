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

namespace {

// A token of the start of process `pid`, empty when no such process runs. On Linux the start time
// in clock ticks since boot; on Windows the creation time; elsewhere only whether it runs.
QString identiteProcessus(qint64 pid)
{
#if defined(Q_OS_WIN)
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return {};
    FILETIME creation, fin, noyau, utilisateur;
    DWORD code = 0;
    QString identite;
    if (GetExitCodeProcess(h, &code) && code == STILL_ACTIVE &&
        GetProcessTimes(h, &creation, &fin, &noyau, &utilisateur))
        identite = QString::number((quint64(creation.dwHighDateTime) << 32) | creation.dwLowDateTime);
    CloseHandle(h);
    return identite;
#elif defined(Q_OS_LINUX)
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    // The command name, in parentheses, may hold spaces: fields are counted after its last ")".
    const QByteArray ligne = stat.readAll();
    const QList<QByteArray> champs = ligne.mid(ligne.lastIndexOf(')') + 2).split(' ');
    // Field 22 of the file (start time) is the 20th after the name; field 3 (state) is the first.
    if (champs.size() < 20 || champs.at(0) == "Z")
        return {};
    return QString::fromLatin1(champs.at(19));
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM ? QStringLiteral("-") : QString();
#endif
}

} // namespace

TitulaireExecution executionCourante()
{
    const qint64 pid = QCoreApplication::applicationPid();
    return {pid, identiteProcessus(pid)};
}

bool executionVivante(const TitulaireExecution &titulaire)
{
    if (titulaire.pid <= 0)
        return false;
    const QString identite = identiteProcessus(titulaire.pid);
    return !identite.isEmpty() && identite == titulaire.identite;
}

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
