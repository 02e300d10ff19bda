#pragma once

#include <QString>
#include <QStringList>

// Stopping the background server. On Windows the server program orvane-server.exe is ended by its
// executable name (taskkill). Elsewhere no program of that name exists: the engine's own
// --stop-server, run from the installation folder, stops the PHP server it recorded there.

struct CommandeSysteme
{
    QString programme;
    QStringList arguments;
};

// The command for an installation in `dossierInstallation` (the folder of the programs).
CommandeSysteme commandeArretServeur(const QString &dossierInstallation);

enum class IssueArret {
    Arrete,         // the command ended at least one process
    AucunProcessus, // nothing was running
    Impossible,     // the command could not be started, or failed
};

// How the platform command's exit code reads: taskkill ends with 0 when it ended processes and
// 128 when it found none (any other code is a failure); the engine's --stop-server with 0 when it
// stopped the server and 1 otherwise.
IssueArret issueArret(int codeSortie);

// Runs the command and waits for it to end.
IssueArret arreterServeur(const CommandeSysteme &commande);

// What the dialog tells the user after the command.
QString messageArret(IssueArret issue, const CommandeSysteme &commande);
