#pragma once

#include <QLocale>

class QTranslator;

// The print preview and the print dialog are Qt's own: their buttons and labels come from Qt's
// translations. They are French when the system's language is French or not set (the C locale of
// a service or a bare session); another language keeps Qt's choice.
bool traductionFrancaiseVoulue(const QLocale &systeme);

// Loads Qt's French translation into `traduction` and installs it when traductionFrancaiseVoulue
// says so and the translation file is installed. True when installed.
bool installerTraductionQt(QTranslator &traduction, const QLocale &systeme = QLocale::system());
