#include "arretserveur.h"

#include <QDir>
#include <QProcess>

CommandeSysteme commandeArretServeur(const QString &dossierInstallation)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dossierInstallation);
    return {QStringLiteral("taskkill"),
            {QStringLiteral("/IM"), QStringLiteral("orvane-server.exe"), QStringLiteral("/F")}};
#else
    return {QDir(dossierInstallation).filePath(QStringLiteral("orvane-engine")),
            {QStringLiteral("--stop-server")}};
#endif
}

IssueArret issueArret(int codeSortie)
{
    if (codeSortie == 0)
        return IssueArret::Arrete;
#ifdef Q_OS_WIN
    return codeSortie == 128 ? IssueArret::AucunProcessus : IssueArret::Impossible;
#else
    return IssueArret::AucunProcessus;
#endif
}

IssueArret arreterServeur(const CommandeSysteme &commande)
{
    QProcess processus;
    processus.setStandardOutputFile(QProcess::nullDevice());
    processus.setStandardErrorFile(QProcess::nullDevice());
    processus.start(commande.programme, commande.arguments);
    if (!processus.waitForStarted())
        return IssueArret::Impossible;
    processus.waitForFinished(-1);
    if (processus.exitStatus() != QProcess::NormalExit)
        return IssueArret::Impossible;
    return issueArret(processus.exitCode());
}

QString messageArret(IssueArret issue, const CommandeSysteme &commande)
{
    switch (issue) {
    case IssueArret::Arrete:
        return QStringLiteral("Le serveur MCF a été arrêté.");
    case IssueArret::AucunProcessus:
        return QStringLiteral("Aucun serveur MCF n'était en cours d'exécution.");
    case IssueArret::Impossible:
        break;
    }
    return QStringLiteral("Impossible d'arrêter le serveur MCF (%1).")
        .arg(QDir::toNativeSeparators(commande.programme));
}
