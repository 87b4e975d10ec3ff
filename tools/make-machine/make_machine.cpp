// Makes an emulated machine from a real Windows 95/98 machine, for
// brivanta-setup --plan and --machine:
//   make-machine DIR --registry EXPORT.REG --win-ini WIN.INI --system-ini SYSTEM.INI
//                [--listing FILES.TXT]
// EXPORT.REG is what "REGEDIT /E EXPORT.REG" wrote on that machine; FILES.TXT
// lists the files of its Windows, SYSTEM and FONTS folders, as
// "DIR /B /S /A-D C:\WINDOWS > FILES.TXT" (and the same for the other two,
// added with >>) writes them.
#include "platform/host.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    hostwin::MachineImport from;
    std::string folder;
    bool bad = false;
    for (int i = 1; i < argc && !bad; ++i) {
        std::string arg = argv[i];
        std::string* value = arg == "--registry"     ? &from.registry
                             : arg == "--win-ini"    ? &from.winIni
                             : arg == "--system-ini" ? &from.systemIni
                             : arg == "--listing"    ? &from.listing
                                                     : nullptr;
        if (value && i + 1 < argc)
            *value = argv[++i];
        else if (!value && folder.empty() && arg.compare(0, 1, "-") != 0)
            folder = arg;
        else
            bad = true;
    }
    if (bad || folder.empty() || from.registry.empty() || from.winIni.empty() ||
        from.systemIni.empty()) {
        std::fprintf(stderr, "usage: make-machine DIR --registry EXPORT.REG --win-ini WIN.INI "
                             "--system-ini SYSTEM.INI [--listing FILES.TXT]\n");
        return 5;
    }
    std::string error;
    if (!hostwin::ImportMachine(folder, from, &error)) {
        std::fprintf(stderr, "make-machine: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: a machine for brivanta-setup --machine %s\n", folder.c_str(), folder.c_str());
    return 0;
}
