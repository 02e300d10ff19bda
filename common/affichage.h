#pragma once

// Call before creating a GUI application object: with no display to connect to (a service, a CI
// machine, a remote shell), selects Qt's offscreen platform instead of aborting at start.
// An explicit QT_QPA_PLATFORM is always respected.
void preparerAffichage();
