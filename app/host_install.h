// One run of the setup program on the mounted emulated machine, the way
// setup.exe runs from the first sample disk: the folder holding DISK1..3 is
// drive D: and the program is D:\DISK1\SETUP.EXE. Or from three floppies:
// the program is A:\SETUP.EXE, on disk 1 in the floppy drive A:.
#pragma once

#include "dialog_front_end.h"
#include "result_code.h"
#include "terminal_front_end.h"

#include <string>

// Makes `source` (a host folder) drive D: of the mounted machine.
bool MountSourceDrive(const std::string& source, std::string* error);

// Drive A: of the mounted machine with one of three floppies in it: the
// images DISK1.IMG..DISK3.IMG of a folder, or else its folders DISK1..DISK3.
class FloppyDrive : public DiskDrive {
  public:
    // Finds the three disks in `folder` and checks that each can be read;
    // nothing is changed.
    bool Find(const std::string& folder, std::string* error);
    int DiskCount() const override { return 3; }
    const char* Current() const override { return current_.c_str(); }
    bool Insert(const char* disk, std::string* error) override;

  private:
    std::string disks_[3];
    std::string current_ = "none";
};

struct SetupOutcome {
    ResultCode runResult = Ok; // what the run answered before the finishing hook
    ResultCode result = Ok;    // what the finishing hook answered
    bool restart = false;      // the user chose to restart Windows
};

// Runs the whole installation with its dialogs on `frontEnd`, from a clean
// product state, and asks Windows to restart when the user chose to. The
// module is D:\DISK1\SETUP.EXE, as when setup.exe runs from the first disk,
// unless `module` says otherwise.
extern const char kSetupModule[];
extern const char kFloppySetupModule[]; // A:\SETUP.EXE
SetupOutcome RunSetup(DialogFrontEnd* frontEnd, const char* module = kSetupModule);
