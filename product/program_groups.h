// The product's items in Program Manager: "Brivanta 3.2" in the maker's
// group and in StartUp, and the items of earlier versions removed from both.
#pragma once

#include "install_engine.h"

#include <cstddef>

// The item's command line: the directory and name of the Files entry whose
// target is brivanta.exe; false (and "") when there is none.
bool ProductCommandLine(const InstallEngine& engine, char* output, size_t size);

// Always 0: failures to add the item are reported with a message and the
// installation goes on.
ResultCode CreateProgramGroups(InstallEngine& engine);
