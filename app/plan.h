// The preview: what the shipped script would do on a machine, printed one
// line per copy, delete and change of the registry, the INI files and
// WININIT.INI after the directories they name (the destination, each disk),
// on a machine mounted read-only (nothing is written anywhere).
#pragma once

#include <ostream>

struct PlanOptions {
    // One per check box of the options dialog, in the order of kOptionBoxes,
    // whose names --option takes.
    bool flags[7] = {true, true, true, true, true, true, true};
};

// Prints the plan for the machine mounted now, the setup program running
// from the module path set; answers the engine's result (0 when the script
// parsed).
int PrintPlan(const PlanOptions& options, std::ostream& out);
