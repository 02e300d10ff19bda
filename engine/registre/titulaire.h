#pragma once

#include "lignejournal.h"

// This process as the journal records a run: its id and a token of its start time.
TitulaireExecution executionCourante();
// True while the process `titulaire` names is still running (the same process, not a later one that
// was given the same id).
bool executionVivante(const TitulaireExecution &titulaire);
// The run holding a reference as the operator reads it: "processus <id>", or on a shared register,
// where a run is a database session recorded as "session <machine> <process id>", "poste <machine>,
// processus <id>".
QString texteTitulaire(const TitulaireExecution &titulaire);
