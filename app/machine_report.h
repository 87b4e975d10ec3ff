// What an installation changed on the emulated machine: a snapshot of its
// files, directories, registry store, INI files and Program Manager groups
// before and after, and their difference in words a person can check.
#pragma once

#include "platform/host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

struct MachineSnapshot {
    // DOS path ("C:\WINDOWS\FONTS\VGAOEM.FON", as stored) → size and checksum.
    std::map<std::string, std::pair<uint64_t, uint32_t>> files;
    std::set<std::string> directories; // "C:\WINDOWS\VELMOR"
    // The mounted machine's registry, compared key by key.
    std::shared_ptr<const hostwin::RegistryCopy> registry;
    // "C:\WINDOWS\WIN.INI [section] key" → value.
    std::map<std::string, std::string> iniEntries;
    // [rename] lines of WININIT.INI in file order ("key=value").
    std::vector<std::string> renames;
    // "[group]" → "" for each group, "[group] title" → command line.
    std::map<std::string, std::string> programItems;
};

// Reads drive C: of the machine mounted from `folder`, copies its registry
// and reads its Program Manager groups. Names are compared as stored.
MachineSnapshot TakeSnapshot(const std::string& folder);

// Prints what changed under `title`: first one line that sums it all up,
// then each kind of change under a heading with its total, every line
// wrapped to `columns` and with what came from the machine shown, never
// obeyed. Answers the number of changes.
int PrintChanges(const std::string& title, const MachineSnapshot& before,
                 const MachineSnapshot& after, std::ostream& out, int columns);

// The programs the run started, with their parameters.
void PrintStarts(const std::vector<hostwin::ShellStart>& starts, std::ostream& out, int columns);

// What the restart did with each line of WININIT.INI; the lines whose file
// was not there are told in one line with their count.
void PrintRestart(const std::vector<hostwin::RenameStep>& steps, std::ostream& out, int columns);
