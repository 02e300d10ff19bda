#pragma once

#include <QString>

// Process control that differs between Windows and other systems.

// Detaches the program from its console: FreeConsole on Windows; elsewhere the program stops
// writing to (and reading from) the terminal and survives its closing.
void detacherConsole();

// Runs the PHP built-in web server ("php/php -S 0.0.0.0:801 index.php") and waits for it; returns
// its exit code (-2 when it could not start, -1 when it crashed). Outside Windows the server's
// process id is recorded in the application directory for arreterServeurPhp.
int demarrerServeurPhp(const QString &dossierApplication);

// Stops the PHP server: "taskkill /IM "php.exe" /F" on Windows; elsewhere only the process recorded
// by demarrerServeurPhp. Returns the exit code of the stop.
int arreterServeurPhp(const QString &dossierApplication);
