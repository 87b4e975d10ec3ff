// brivanta-setup on the host: the setup program over an emulated Windows 98
// machine kept in a folder. Arguments and input files are checked before
// anything is made, reset or changed.
#include "host_install.h"
#include "machine_report.h"
#include "plan.h"
#include "run_log.h"
#include "run_watch.h"
#include "setup_state.h"
#include "shown_text.h"
#include "terminal_front_end.h"

#include "platform/host.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
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
const char kVersion[] = "brivanta-setup 3.2 (the setup program of Brivanta 3.2, on the host)";

void Usage(std::ostream& out) {
    out << "usage: brivanta-setup [--machine DIR] [--source DIR | --floppies DIR]\n"
           "                      [--answers FILE] [--record FILE] [--log FILE]\n"
           "       brivanta-setup --plan [--machine DIR] [--source DIR | --floppies DIR]\n"
           "                      [--option NAME=0|1]...\n"
           "       brivanta-setup --help | --version\n"
           "  without --plan  run the installation, its dialogs in the terminal, then\n"
           "                  print what changed, restart the machine when asked and\n"
           "                  print what the restart did\n"
           "  --machine DIR   the emulated machine (made fresh when DIR does not exist\n"
           "                  or is empty; another folder is refused; default: a fresh\n"
           "                  demo machine in ./brivanta-demo)\n"
           "  --source DIR    the folder holding DISK1, DISK2, DISK3; it becomes drive D:\n"
           "                  and setup runs from D:\\DISK1\\ (default: the sample disks)\n"
           "  --floppies DIR  the floppy images DISK1.IMG..DISK3.IMG (or the folders\n"
           "                  DISK1..DISK3) in DIR: setup runs from A:\\ with disk 1 in\n"
           "                  the floppy drive A:; each disk prompt swaps the disk\n"
           "  --answers FILE  answer the dialogs from FILE (checked first), printing one\n"
           "                  line per dialog; without it a terminal answers them a key\n"
           "                  at a time, a pipe or file a line at a time, and with no\n"
           "                  input at all (</dev/null) the proposed answers are taken\n"
           "  --record FILE   write the answers the run used to FILE, for --answers\n"
           "  --log FILE      write one line per dialog, file, system change and\n"
           "                  decision to FILE as the run goes\n"
           "  --plan          print what the installation would do: copies,\n"
           "                  deletes, registry, INI and WININIT.INI changes; writes\n"
           "                  nothing (default machine: a fresh one held in memory)\n"
           "  --option N=V    set an installation option for --plan; N is one of:\n";
    for (int i = 0; i < 7; ++i)
        out << (i % 4 ? " "
                : i   ? "\n                  "
                      : "                  ")
            << kOptionBoxes[i].name;
    out << "\nexit codes:\n";
    for (const ExitCodeMeaning& row : kExitCodes)
        out << "  " << (row.code < 10 ? " " : "") << row.code << "  " << row.meaning << "\n";
}

// A sentence of this program on standard output, shown (it may quote a
// name) and at a terminal wrapped to its width, as the report is.
void Say(const std::string& text) {
    if (isatty(STDOUT_FILENO))
        PrintWrapped(std::cout, Visible(text), TerminalColumns(STDOUT_FILENO), "", "");
    else
        std::cout << Visible(text) << "\n";
}

int BadInput(const std::string& error) {
    std::cerr << "brivanta-setup: " << Visible(error) << "\n";
    return ExitBadInput;
}

struct Arguments {
    bool plan = false, help = false, version = false, optionGiven = false;
    std::string machine, source, floppies, answers, record, log;
    PlanOptions options;
};

// Sets one option of NAME=0|1; answers its index, or -1 when the text is
// not one.
int SetOption(PlanOptions* options, const std::string& text) {
    size_t eq = text.find('=');
    if (eq == std::string::npos)
        return -1;
    std::string name = text.substr(0, eq), value = text.substr(eq + 1);
    if (value != "0" && value != "1")
        return -1;
    for (int i = 0; i < 7; ++i) {
        if (strcasecmp(name.c_str(), kOptionBoxes[i].name) == 0) {
            options->flags[i] = value == "1";
            return i;
        }
    }
    return -1;
}

bool ParseArguments(int argc, char** argv, Arguments* a, std::string* error) {
    const struct {
        const char* flag;
        std::string Arguments::*value;
        const char* what;
    } kValues[] = {{"--machine", &Arguments::machine, "a folder"},
                   {"--source", &Arguments::source, "a folder"},
                   {"--floppies", &Arguments::floppies, "a folder"},
                   {"--answers", &Arguments::answers, "a file"},
                   {"--record", &Arguments::record, "a file"},
                   {"--log", &Arguments::log, "a file"},
                   {"--option", nullptr, "NAME=0|1"}};
    std::set<std::string> given; // each option once; --option once per name
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool known = true;
        if (arg == "--plan")
            a->plan = true;
        else if (arg == "--help" || arg == "-h")
            a->help = true;
        else if (arg == "--version")
            a->version = true;
        else
            known = false;
        if (known && !given.insert(arg == "-h" ? "--help" : arg).second) {
            *error = arg + " is given twice";
            return false;
        }
        for (const auto& v : kValues) {
            if (known || arg != v.flag)
                continue;
            known = true;
            if (i + 1 >= argc || !argv[i + 1][0]) {
                *error = arg + " needs " + v.what;
                return false;
            }
            std::string value = argv[++i];
            int option = v.value ? -1 : SetOption(&a->options, value);
            std::string name =
                v.value ? arg : arg + " " + kOptionBoxes[option < 0 ? 0 : option].name;
            if (!v.value && option < 0) {
                *error = "bad option: " + value + " (NAME=0 or NAME=1, see --help)";
                return false;
            }
            if (!given.insert(name).second) {
                *error = name + " is given twice";
                return false;
            }
            if (v.value)
                a->*v.value = value;
            else
                a->optionGiven = true;
        }
        if (!known) {
            *error = "unknown argument: " + arg + " (see --help)";
            return false;
        }
    }
    if (a->optionGiven && !a->plan)
        *error = "--option sets an option for --plan only; an installation asks for them";
    else if (a->plan && (!a->answers.empty() || !a->record.empty() || !a->log.empty()))
        *error = "--answers, --record and --log are for an installation, not for --plan";
    else if (!a->floppies.empty() && !a->source.empty())
        *error = "--source and --floppies both name the disks: give one of them";
    if (a->source.empty() && a->floppies.empty())
        a->source = BRIVANTA_SAMPLE_DISKS;
    return error->empty();
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Reads and checks the answer file; its faults go to standard error.
bool LoadAnswers(const std::string& path, AnswerFile* answers) {
    struct StderrFaults : AnswerFaults {
        void Fault(const char* text) override { std::cerr << Visible(text) << "\n"; }
    } faults;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        std::cerr << path << ": cannot be read: " << std::strerror(errno) << "\n";
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        std::cerr << path << ": is a directory, not an answer file\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << path << ": cannot be read\n";
        return false;
    }
    std::string data = text.str();
    return answers->Parse(path.c_str(), data.data(), data.size(), &faults) == 0;
}

// Whether `path` can be written: an existing file that is writable, or a
// new one in a writable folder. Nothing is made.
bool CanWrite(const std::string& path, std::string* error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            *error = path + " is a directory";
        else if (access(path.c_str(), W_OK) != 0)
            *error = path + " cannot be written: " + std::strerror(errno);
        return error->empty();
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (access(folder.c_str(), W_OK) != 0)
        *error = path + " cannot be written: " + std::strerror(errno);
    return error->empty();
}

bool SaveRecord(const std::string& path, const AnswerFile& record) {
    char text[AnswerFile::MaxEntries * (AnswerFile::ValueSize + 64)];
    size_t length = record.Format(text, sizeof text, "\n");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text, std::streamsize(length < sizeof text ? length : sizeof text - 1));
    out.close();
    return bool(out);
}

// Each line goes to the file at once, so a crash leaves what came before.
class FileLog : public RunLog {
  public:
    explicit FileLog(FILE* file) : file_(file) {}
    void Line(const char* text) override {
        std::fputs(text, file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }

  private:
    FILE* file_;
};

// What a path names, so that two spellings of one file compare equal: an
// existing file by its device and inode (through links, hard links and
// "../" alike), else its folder's real path and its name, after the link it
// may be to a file not there yet.
std::string FileIdentity(std::string path) {
    for (int hops = 0; hops < 16; ++hops) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0)
            return "inode " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
        char target[4096];
        ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        target[n] = 0;
        size_t slash = path.rfind('/');
        path = target[0] == '/' || slash == std::string::npos ? std::string(target)
                                                              : path.substr(0, slash + 1) + target;
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char* real = realpath(folder.c_str(), nullptr);
    std::string identity =
        "path " + std::string(real ? real : folder) + "/" + path.substr(slash + 1);
    free(real);
    return identity;
}

// The answer file, the record and the log are three files: one named twice
// would be read and overwritten, or written twice over.
bool OneFileOneRole(const Arguments& a, std::string* error) {
    const struct {
        const char* flag;
        const std::string* path;
    } files[] = {{"--answers", &a.answers}, {"--record", &a.record}, {"--log", &a.log}};
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (files[i].path->empty() || files[j].path->empty() ||
                FileIdentity(*files[i].path) != FileIdentity(*files[j].path))
                continue;
            *error = std::string(files[i].flag) + " " + *files[i].path + " and " + files[j].flag +
                     " " + *files[j].path + " name the same file: give each its own";
            return false;
        }
    }
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsEmptyDirectory(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    int entries = 0;
    while (dir && readdir(dir))
        ++entries;
    if (dir)
        closedir(dir);
    return dir && entries <= 2; // "." and ".."
}

// The folder a path is in ("." for a bare name).
std::string ParentFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// --machine takes a machine (a folder holding drive_c), or a folder that is
// not there yet or is empty, where a fresh one is made (or, for a plan,
// held in memory: *fresh tells). Any other folder is the user's and is not
// filled with a machine; one that cannot be written is refused before the
// run.
bool CheckMachineFolder(const std::string& folder, bool plan, bool* fresh, std::string* error) {
    struct stat st;
    *fresh = true;
    std::string writable = folder;
    if (stat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            *error = "--machine: " + folder + " cannot be read: " + std::strerror(errno);
            return false;
        }
        writable = ParentFolder(folder);
    } else if (!S_ISDIR(st.st_mode)) {
        *error = "--machine: " + folder + " is a file, not a machine folder";
        return false;
    } else if (IsDirectory(folder + "/drive_c")) {
        *fresh = false;
    } else if (!IsEmptyDirectory(folder)) {
        *error = "--machine: " + folder +
                 " is not an emulated machine (it holds no drive_c) and not empty; give a new "
                 "folder or a machine";
        return false;
    }
    if (!plan && access(writable.c_str(), W_OK) != 0) {
        *error = "--machine: " + writable + " cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

// The command line as given, an argument with blanks or quotes in quotes.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        bool quote = arg.empty() || arg.find_first_of(" \t'\"") != std::string::npos;
        line += (i ? " " : "") + (quote ? "'" + arg + "'" : arg);
    }
    return line;
}

// Who answers the dialogs when no answer file does.
enum class Answerer {
    Terminal, // the user, a key at a time
    Lines,    // the lines of standard input, a pipe or a file, as typed lines
    Proposed  // nobody: no input at all (/dev/null, an empty pipe or file)
};

// Waits for standard input to give its first byte or end.
Answerer WhoAnswers() {
    if (isatty(STDIN_FILENO))
        return Answerer::Terminal;
    bool none = std::cin.peek() == std::char_traits<char>::eof();
    std::cin.clear();
    return none ? Answerer::Proposed : Answerer::Lines;
}

void WriteLogHeader(const Arguments& a, int argc, char** argv, Answerer answerer) {
    char started[32];
    time_t now = time(nullptr);
    strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", localtime(&now));
    char* real = realpath((a.floppies.empty() ? a.source : a.floppies).c_str(), nullptr);
    std::string folder = real ? real : a.floppies.empty() ? a.source : a.floppies;
    free(real);
    std::string source =
        a.floppies.empty() ? std::string(kSetupModule) + " (drive D: is " + folder + ")"
                           : std::string(kFloppySetupModule) + " (the floppies in " + folder + ")";
    std::string answers = !a.answers.empty() ? a.answers
                          : answerer == Answerer::Terminal
                              ? "none: the dialogs are answered at the terminal"
                          : answerer == Answerer::Lines
                              ? "none: the dialogs are answered by the lines of standard input"
                              : "none: no terminal, every dialog takes its proposed answer";
    std::string line = CommandLine(argc, argv);
    LogHeader({started, kVersion, line.c_str(), source.c_str(), answers.c_str()});
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

// The installation with its dialogs in the terminal, the report of what
// changed, the restart, and one sentence of how it ended; answers the exit
// code.
int RunInstallation(const Arguments& a, const AnswerFile* answers, FloppyDrive* floppy,
                    Answerer answerer) {
    static AnswerFile kProposed; // empty: every dialog takes its proposed answer
    if (!answers && answerer == Answerer::Proposed)
        answers = &kProposed;
    TerminalFrontEnd terminal(std::cin, std::cout, answers, isatty(1) != 0);
    if (!answers && answerer == Answerer::Terminal)
        terminal.UseTerminalKeys(STDIN_FILENO);
    terminal.SetDiskDrive(floppy);
    AnswerFile record;
    RunWatch watch(&terminal, a.record.empty() ? nullptr : &record);
    TerminalFrontEnd::InstallInterruptHandler();
    if (floppy)
        LogLine("floppy %s in drive A:", floppy->Current());
    MachineSnapshot before = TakeSnapshot(hostwin::MachineFolder());
    SetupOutcome outcome = RunSetup(&watch, floppy ? kFloppySetupModule : kSetupModule);
    if (!a.record.empty() && !SaveRecord(a.record, record))
        std::cerr << "brivanta-setup: cannot write the record " << a.record << "\n";
    MachineSnapshot after = TakeSnapshot(hostwin::MachineFolder());
    const int columns = TerminalColumns(STDOUT_FILENO);
    std::cout << "\n";
    PrintChanges("What changed on the machine " + hostwin::MachineFolder(), before, after,
                 std::cout, columns);
    PrintStarts(hostwin::ShellStarts(), std::cout, columns);
    bool restarted = false;
    if (hostwin::RestartRequested()) {
        std::cout << "\n";
        PrintRestart(hostwin::RestartMachine(), std::cout, columns);
        restarted = true;
        LogLine("restart: WININIT.INI carried out");
        MachineSnapshot restartedSnap = TakeSnapshot(hostwin::MachineFolder());
        PrintChanges("What the restart changed", after, restartedSnap, std::cout, columns);
    }
    RunEnd end = EndOfRun(outcome.runResult, outcome.restart, restarted, watch,
                          terminal.Answers().LoopDialog());
    std::cout << "\n";
    Say(end.sentence);
    return end.exitCode;
}

int Plan(const Arguments& a) {
    std::string error;
    if (!hostwin::MountMachineReadOnly(a.machine, &error))
        return BadInput(error);
    hostwin::SetModuleFileName(a.floppies.empty() ? kSetupModule : kFloppySetupModule);
    int result = PrintPlan(a.options, std::cout) == 0 ? 0 : ExitAborted;
    hostwin::UnmountMachine();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    Arguments a;
    std::string error;
    if (!ParseArguments(argc, argv, &a, &error))
        return BadInput(error);
    if (a.help) {
        Usage(std::cout);
        return 0;
    }
    if (a.version) {
        std::cout << kVersion << "\n";
        return 0;
    }
    // Everything given is checked before the machine is made or reset.
    FloppyDrive floppy;
    if (!a.floppies.empty() && !floppy.Find(a.floppies, &error))
        return BadInput("--floppies: " + error);
    if (a.floppies.empty() && (a.source.empty() || !Exists(a.source + "/DISK1")))
        return BadInput("no DISK1 in the source folder '" + a.source + "' (give --source DIR)");
    if (!OneFileOneRole(a, &error))
        return BadInput(error);
    bool fresh = false;
    if (!a.machine.empty() && !CheckMachineFolder(a.machine, a.plan, &fresh, &error))
        return BadInput(error);
    // One run per machine, held until the process ends; a plan without a
    // machine plans on one held in memory, which nobody else can reach.
    if (!a.plan || !a.machine.empty()) {
        hostwin::MachineLock lock =
            hostwin::LockMachine(a.machine.empty() ? "brivanta-demo" : a.machine, &error);
        if (lock == hostwin::MachineLock::InUse) {
            std::cerr << "brivanta-setup: " << error << "\n";
            std::cout << "Another run is already on this machine.\n";
            return ExitAlreadyRunning;
        }
        if (lock != hostwin::MachineLock::Held)
            return BadInput(error);
    }
    if (a.plan) {
        if (fresh)
            Say("No machine in " + a.machine + ": the plan is made against a fresh machine.");
        return Plan(a);
    }
    AnswerFile answers;
    if (!a.answers.empty() && !LoadAnswers(a.answers, &answers))
        return ExitBadInput;
    const bool noAnswers = !a.answers.empty() && answers.Count() == 0;
    if (noAnswers)
        Say("The answer file " + a.answers +
            " holds no answers: every dialog takes its proposed answer.");
    if (!a.record.empty() && !CanWrite(a.record, &error))
        return BadInput("--record: " + error);
    const Answerer answerer = a.answers.empty() ? WhoAnswers() : Answerer::Proposed;
    FILE* logFile = nullptr;
    if (!a.log.empty() && !(logFile = std::fopen(a.log.c_str(), "w")))
        return BadInput("--log: " + a.log + " cannot be written: " + std::strerror(errno));
    FileLog log(logFile);
    if (logFile) {
        SetRunLog(&log);
        WriteLogHeader(a, argc, argv, answerer);
        if (noAnswers)
            LogLine("the answer file holds no answers: every dialog takes its proposed answer");
    }
    std::string machine = a.machine;
    int result = ExitBadInput;
    if (machine.empty() && !PrepareDemoMachine(&machine))
        result = ExitBadInput;
    else if (!hostwin::MountMachine(machine, &error))
        result = BadInput(error);
    else if (a.floppies.empty() ? !MountSourceDrive(a.source, &error)
                                : !floppy.Insert("DISK1", &error))
        result = BadInput(error);
    else
        result = RunInstallation(a, a.answers.empty() ? nullptr : &answers,
                                 a.floppies.empty() ? nullptr : &floppy, answerer);
    hostwin::UnmountMachine();
    SetRunLog(nullptr);
    if (logFile)
        std::fclose(logFile);
    return result;
}
