// The preview: what the shipped script would do on a machine, printed one
// line per path, copy and delete, without changing anything.
#pragma once

#include <ostream>

struct PlanOptions {
    // KeyboardBds, KeyboardPhonetic, LanguageDriver, DosFilter, SystemFonts,
    // DunorU, ArvelU, in this order.
    bool flags[7] = {true, true, true, true, true, true, true};
};

// Names of the seven flags as --option takes them.
extern const char* const kPlanFlagNames[7];

// Prints the plan; answers the engine's result (0 when the script parsed).
int PrintPlan(const PlanOptions& options, std::ostream& out);
