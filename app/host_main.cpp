// brivanta-setup on the host: the setup program over an emulated Windows 98
// machine kept in a folder.
#include "interim_installer.h"
#include "language.h"
#include "plan.h"
#include "shell_ui.h"
#include "terminal_front_end.h"

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
    std::cerr << "usage: brivanta-setup [--machine DIR] [--answers FILE] [--record FILE]\n"
                 "       brivanta-setup --plan [--machine DIR] [--option NAME=0|1]...\n"
                 "  without --plan  run the installation, its dialogs in the terminal\n"
                 "  --answers FILE  answer the dialogs from FILE (INI text), printing one\n"
                 "                  line per dialog; also the way without a terminal\n"
                 "  --record FILE   write the answers given interactively to FILE\n"
                 "  --plan          print what the installation would do, changing nothing\n"
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

// The installation with its dialogs in the terminal. Exit status 0 whatever
// the installation's result (printed on the last line), 3 when the answers
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
    SetFrontEnd(&frontEnd);
    SetModuleInstance(GetModuleHandleA(nullptr));
    ShellUi ui;
    InterimInstaller installer(ModuleInstance());
    installer.SetUi(&ui);
    ResultCode result = installer.Finish(installer.Run());
    std::cout << "Installation result: " << result << "\n";
    SetFrontEnd(nullptr);
    if (!recordPath.empty() && !record.Save(recordPath)) {
        std::cerr << "brivanta-setup: cannot write " << recordPath << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool plan = false;
    std::string machine, answersPath, recordPath;
    PlanOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--plan") {
            plan = true;
        } else if (arg == "--machine" && i + 1 < argc) {
            machine = argv[++i];
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
    int result = plan ? PrintPlan(options, std::cout) : RunInstallation(answersPath, recordPath);
    hostwin::UnmountMachine();
    if (!temporary.empty())
        std::system(("rm -rf '" + temporary + "'").c_str());
    return plan ? (result == 0 ? 0 : 1) : result;
}
