#pragma once

#include <QString>
#include <QStringList>

// Stopping the background server program that serves the invoice folders (outside this system):
// every process of exactly its executable name is ended forcibly.

struct CommandeSysteme
{
    QString programme;
    QStringList arguments;
};

// The platform command that ends every process named `nomExecutable` (without ".exe").
CommandeSysteme commandeArretServeur(const QString &nomExecutable = QStringLiteral("orvane-server"));

// Runs the command and waits for it to end. Its outcome (no such process, command missing) is
// of no interest to the caller: the server is stopped if it was running.
void arreterServeur(const CommandeSysteme &commande = commandeArretServeur());
