// brivanta-setup on the host: the setup program over an emulated Windows 98
// machine kept in a folder.
#include "plan.h"

#include "platform/host.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

int Usage(const char* error) {
    if (error)
        std::cerr << "brivanta-setup: " << error << "\n";
    std::cerr << "usage: brivanta-setup --plan [--machine DIR] [--option NAME=0|1]...\n"
                 "  --plan         print what the installation would do, changing nothing\n"
                 "  --machine DIR  the emulated machine (made fresh when DIR does not exist;\n"
                 "                 default: a fresh machine in a temporary folder)\n"
                 "  --option N=V   set an installation option; N is one of:\n"
                 "                 ";
    for (const char* name : kPlanFlagNames)
        std::cerr << name << " ";
    std::cerr << "\n";
    return 2;
}

bool SetOption(PlanOptions* options, const std::string& text) {
    size_t eq = text.find('=');
    if (eq == std::string::npos)
        return false;
    std::string name = text.substr(0, eq), value = text.substr(eq + 1);
    if (value != "0" && value != "1")
        return false;
    for (int i = 0; i < 7; ++i) {
        if (strcasecmp(name.c_str(), kPlanFlagNames[i]) == 0) {
            options->flags[i] = value == "1";
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    bool plan = false;
    std::string machine;
    PlanOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--plan") {
            plan = true;
        } else if (arg == "--machine" && i + 1 < argc) {
            machine = argv[++i];
        } else if (arg == "--option" && i + 1 < argc) {
            if (!SetOption(&options, argv[++i]))
                return Usage((std::string("bad option: ") + argv[i]).c_str());
        } else if (arg == "--help" || arg == "-h") {
            return Usage(nullptr);
        } else {
            return Usage(("unknown argument: " + arg).c_str());
        }
    }
    if (!plan)
        return Usage("the installation itself is not available yet; use --plan");

    std::string temporary;
    if (machine.empty()) {
        char pattern[] = "/tmp/brivanta-machine-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::cerr << "brivanta-setup: cannot make a temporary machine folder\n";
            return 1;
        }
        machine = temporary = pattern;
    }
    std::string error;
    if (!hostwin::MountMachine(machine, &error)) {
        std::cerr << "brivanta-setup: " << error << "\n";
        return 1;
    }
    hostwin::SetModuleFileName("A:\\SETUP.EXE");
    int result = PrintPlan(options, std::cout);
    hostwin::UnmountMachine();
    if (!temporary.empty())
        std::system(("rm -rf '" + temporary + "'").c_str());
    return result == 0 ? 0 : 1;
}
