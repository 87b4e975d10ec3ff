// What an installation changed on the emulated machine: a snapshot of its
// files, registry store and INI files before and after, and their difference
// in words a person can check.
#pragma once

#include "platform/host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>

struct MachineSnapshot {
    // DOS path ("C:\WINDOWS\FONTS\VGAOEM.FON", as stored) → size and checksum.
    std::map<std::string, std::pair<uint64_t, uint32_t>> files;
    // The mounted machine's registry, compared key by key.
    std::shared_ptr<const hostwin::RegistryCopy> registry;
    // "C:\WINDOWS\WIN.INI [section] key" → value. Keys keep their order of
    // first appearance within a section only through the map's sort.
    std::map<std::string, std::string> iniEntries;
    // [rename] lines of WININIT.INI in file order ("key=value").
    std::string renames;
};

// Reads drive C: of the machine in `folder` and copies the registry of the
// mounted machine. Names are compared without regard to case, as Windows
// does.
MachineSnapshot TakeSnapshot(const std::string& folder);

// Prints the differences under headings; answers the number of lines printed.
int PrintChanges(const MachineSnapshot& before, const MachineSnapshot& after, std::ostream& out);

// The Program Manager groups of the mounted machine with their items.
void PrintProgramGroups(std::ostream& out);
