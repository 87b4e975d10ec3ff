// brivanta-setup on the host: the setup program over an emulated Windows 98
// machine kept in a folder.
#include "host_install.h"
#include "machine_report.h"
#include "plan.h"
#include "terminal_front_end.h"

#include "platform/host.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifndef BRIVANTA_SAMPLE_DISKS
#define BRIVANTA_SAMPLE_DISKS ""
#endif

namespace {

// Marks a machine folder this program made as its demo, so that a later run
// may replace it and nothing else.
const char kDemoMarker[] = ".brivanta-demo";

int Usage(const char* error) {
    if (error)
        std::cerr << "brivanta-setup: " << error << "\n";
    std::cerr
        << "usage: brivanta-setup [--machine DIR] [--source DIR] [--answers FILE] [--record FILE]\n"
           "       brivanta-setup --plan [--machine DIR] [--option NAME=0|1]...\n"
           "  without --plan  run the installation, its dialogs in the terminal, then\n"
           "                  print what changed, restart the machine when asked and\n"
           "                  print what the restart did\n"
           "  --machine DIR   the emulated machine (made fresh when DIR does not exist;\n"
           "                  default: a fresh demo machine in ./brivanta-demo)\n"
           "  --source DIR    the folder holding DISK1, DISK2, DISK3; it becomes drive D:\n"
           "                  and setup runs from D:\\DISK1\\ (default: the sample disks)\n"
           "  --answers FILE  answer the dialogs from FILE (INI text), printing one\n"
           "                  line per dialog; also the way without a terminal\n"
           "  --record FILE   write the answers given interactively to FILE\n"
           "  --plan          print what the installation would do, changing nothing\n"
           "                  (default: a fresh machine in a temporary folder)\n"
           "  --option N=V    set an installation option for --plan; N is one of:\n"
           "                  ";
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

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The default machine: ./brivanta-demo, made fresh on every run.
bool PrepareDemoMachine(std::string* folder) {
    *folder = "brivanta-demo";
    if (Exists(*folder)) {
        if (!Exists(*folder + "/" + kDemoMarker)) {
            std::cerr << "brivanta-setup: ./brivanta-demo exists and is not a demo machine; "
                         "give --machine DIR\n";
            return false;
        }
        if (std::system("rm -rf brivanta-demo") != 0)
            return false;
    }
    if (mkdir(folder->c_str(), 0755) != 0)
        return false;
    std::ofstream(*folder + "/" + kDemoMarker) << "made by brivanta-setup\n";
    return true;
}

void PrintRestart(const std::vector<hostwin::RenameStep>& steps) {
    std::cout << "\nRestart: WININIT.INI carried out (" << steps.size() << " lines):\n";
    for (const hostwin::RenameStep& step : steps) {
        std::cout << "  " << (step.deleted ? "deleted " : "moved ") << step.source;
        if (!step.deleted)
            std::cout << " -> " << step.target;
        std::cout << (step.done ? "" : "  (not done: missing)") << "\n";
    }
}

// The installation with its dialogs in the terminal, then the report. Exit
// status 0 whatever the installation's result (printed), 3 when the answers
// would repeat a dialog forever, 1 when the answers cannot be read.
int RunInstallation(const std::string& answersPath, const std::string& recordPath) {
    AnswerFile answers, record;
    std::string error;
    bool unattended = !answersPath.empty() || !isatty(0);
    if (!answersPath.empty() && !answers.Load(answersPath, &error)) {
        std::cerr << "brivanta-setup: " << error << "\n";
        return 1;
    }
    TerminalFrontEnd frontEnd(std::cin, std::cout, unattended ? &answers : nullptr,
                              recordPath.empty() ? nullptr : &record, isatty(1) != 0);
    TerminalFrontEnd::InstallInterruptHandler();
    MachineSnapshot before = TakeSnapshot(hostwin::MachineFolder());
    SetupOutcome outcome = RunSetup(&frontEnd);
    std::cout << "Installation result: " << outcome.result << "\n";
    if (!recordPath.empty() && !record.Save(recordPath)) {
        std::cerr << "brivanta-setup: cannot write " << recordPath << "\n";
        return 1;
    }
    MachineSnapshot after = TakeSnapshot(hostwin::MachineFolder());
    std::cout << "\nWhat changed on the machine " << hostwin::MachineFolder() << ":\n";
    if (PrintChanges(before, after, std::cout) == 0)
        std::cout << "  nothing\n";
    PrintProgramGroups(std::cout);
    for (const hostwin::ShellStart& start : hostwin::ShellStarts())
        std::cout << "Started: " << start.file << " " << start.parameters << "\n";
    if (hostwin::RestartRequested()) {
        PrintRestart(hostwin::RestartMachine());
        MachineSnapshot restarted = TakeSnapshot(hostwin::MachineFolder());
        std::cout << "What the restart changed:\n";
        PrintChanges(after, restarted, std::cout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool plan = false;
    std::string machine, source = BRIVANTA_SAMPLE_DISKS, answersPath, recordPath;
    PlanOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--plan") {
            plan = true;
        } else if (arg == "--machine" && i + 1 < argc) {
            machine = argv[++i];
        } else if (arg == "--source" && i + 1 < argc) {
            source = argv[++i];
        } else if (arg == "--answers" && i + 1 < argc) {
            answersPath = argv[++i];
        } else if (arg == "--record" && i + 1 < argc) {
            recordPath = argv[++i];
        } else if (arg == "--option" && i + 1 < argc) {
            if (!SetOption(&options, argv[++i]))
                return Usage((std::string("bad option: ") + argv[i]).c_str());
        } else if (arg == "--help" || arg == "-h") {
            return Usage(nullptr);
        } else {
            return Usage(("unknown argument: " + arg).c_str());
        }
    }
    // The preview changes nothing, so its default machine is a throwaway one.
    std::string temporary;
    if (machine.empty() && plan) {
        char pattern[] = "/tmp/brivanta-machine-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::cerr << "brivanta-setup: cannot make a temporary machine folder\n";
            return 1;
        }
        machine = temporary = pattern;
    }
    std::string error; // one run per machine, before anything on it changes
    if (hostwin::MachineLock lock =
            hostwin::LockMachine(machine.empty() ? "brivanta-demo" : machine, &error);
        lock != hostwin::MachineLock::Held) {
        std::cerr << "brivanta-setup: " << error << "\n";
        return lock == hostwin::MachineLock::InUse ? int(AlreadyRunning) : 1;
    }
    if (machine.empty() && !PrepareDemoMachine(&machine))
        return 1;
    if (!hostwin::MountMachine(machine, &error)) {
        std::cerr << "brivanta-setup: " << error << "\n";
        return 1;
    }
    int result;
    if (plan) {
        hostwin::SetModuleFileName("A:\\SETUP.EXE");
        result = PrintPlan(options, std::cout) == 0 ? 0 : 1;
    } else if (source.empty() || !Exists(source + "/DISK1")) {
        std::cerr << "brivanta-setup: no DISK1 in the source folder '" << source
                  << "' (give --source DIR)\n";
        result = 1;
    } else if (!MountSourceDrive(source, &error)) {
        std::cerr << "brivanta-setup: " << error << "\n";
        result = 1;
    } else {
        result = RunInstallation(answersPath, recordPath);
    }
    hostwin::UnmountMachine();
    if (!temporary.empty())
        std::system(("rm -rf '" + temporary + "'").c_str());
    return result;
}
