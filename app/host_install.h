// One run of the setup program on the mounted emulated machine, the way
// setup.exe runs from the first sample disk: the folder holding DISK1..3 is
// drive D: and the program is D:\DISK1\SETUP.EXE.
#pragma once

#include "dialog_front_end.h"
#include "result_code.h"

#include <string>

// Makes `source` (a host folder) drive D: of the mounted machine.
bool MountSourceDrive(const std::string& source, std::string* error);

struct SetupOutcome {
    ResultCode runResult = Ok; // what the run answered before the finishing hook
    ResultCode result = Ok;    // what the finishing hook answered
    bool restart = false;      // the user chose to restart Windows
};

// Runs the whole installation with its dialogs on `frontEnd`, from a clean
// product state, and asks Windows to restart when the user chose to. The
// module is D:\DISK1\SETUP.EXE, as when setup.exe runs from the first disk.
SetupOutcome RunSetup(DialogFrontEnd* frontEnd);
extern const char kSetupModule[];
