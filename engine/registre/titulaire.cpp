#include "titulaire.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#elif !defined(Q_OS_LINUX)
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

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

QString texteTitulaire(const TitulaireExecution &titulaire)
{
    const QStringList session = titulaire.identite.split(QLatin1Char(' '));
    if (session.size() == 3 && session.at(0) == QStringLiteral("session"))
        return QStringLiteral("poste %1, processus %2").arg(session.at(1), session.at(2));
    return QStringLiteral("processus %1").arg(titulaire.pid);
}
