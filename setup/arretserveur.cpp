#include "arretserveur.h"

#include <QProcess>

CommandeSysteme commandeArretServeur(const QString &nomExecutable)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("taskkill"),
            {QStringLiteral("/IM"), nomExecutable + QStringLiteral(".exe"), QStringLiteral("/F")}};
#else
    // -x: the process name must equal the executable name, so "orvane-server2" or a shell whose
    // command line merely mentions the name are left alone. SIGKILL mirrors taskkill's /F.
    return {QStringLiteral("pkill"), {QStringLiteral("-KILL"), QStringLiteral("-x"), nomExecutable}};
#endif
}

void arreterServeur(const CommandeSysteme &commande)
{
    QProcess processus;
    processus.setStandardOutputFile(QProcess::nullDevice());
    processus.setStandardErrorFile(QProcess::nullDevice());
    processus.start(commande.programme, commande.arguments);
    if (!processus.waitForStarted())
        return;
    processus.waitForFinished(-1);
}
