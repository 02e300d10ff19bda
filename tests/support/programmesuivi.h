#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

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
    // Waits until a line matches `motif`; the index of that line, -1 when none came in time.
    int attendre(const QRegularExpression &motif, int delaiMs = 10000);

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
