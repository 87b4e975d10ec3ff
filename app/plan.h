// The preview: what the shipped script would do on a machine, printed one
// line per path, copy, delete and change of the registry, the INI files and
// WININIT.INI, on a machine mounted read-only (nothing is written anywhere).
#pragma once

#include <ostream>

struct PlanOptions {
    // KeyboardBds, KeyboardPhonetic, LanguageDriver, DosFilter, SystemFonts,
    // DunorU, ArvelU, in this order.
    bool flags[7] = {true, true, true, true, true, true, true};
};

// Names of the seven flags as --option takes them.
extern const char* const kPlanFlagNames[7];

// Prints the plan for the machine mounted now, the setup program running
// from the module path set; answers the engine's result (0 when the script
// parsed).
int PrintPlan(const PlanOptions& options, std::ostream& out);
