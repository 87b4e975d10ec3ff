// The whole unattended installation, run once for every fallible platform
// call it makes, with exactly that call failing. Each run happens in a child
// process on its own copy of a prepared machine, so that a crash, a hang or
// an endless dialog loop shows as the child's end instead of taking the test
// down. After each run the machine must be sound and a second, clean run
// must complete the installation.
#include "host_install.h"
#include "install_checks.h"
#include "program_group.h"
#include "reg_key.h"
#include "support/scratch.h"
#include "terminal_front_end.h"

#include "platform/host.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <signal.h>
#include <sstream>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#ifdef __SANITIZE_ADDRESS__
// The sanitised build runs many times slower: there every sixteenth of the
// chosen calls is failed, to keep the run short.
const unsigned kStride = 16;
#else
const unsigned kStride = 1;
#endif

const char kProductKey[] = "HCU\\Software\\Velmor\\Brivanta\\3.2\\";
const char kUninstall[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kRun[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const char kItem[] = "Brivanta 3.2=C:\\VELMOR\\BRIVANTA\\brivanta.exe";
// Asked only once a run has come to its end.
const char kCompleted[] = "Do you want to restart your computer now?";

// Every option, the indicator switched off, retry on a read error, restart
// answered yes (the machine is not restarted: WININIT.INI stays to be
// checked). Prompts keep the directory they propose.
const char kAnswers[] = "[Destination]\nDirectory=C:\\VELMOR\\BRIVANTA\n"
                        "[Options]\nKeyboardBds=1\nKeyboardPhonetic=1\nLanguageDriver=1\n"
                        "DosFilter=1\nSystemFonts=1\nDunorU=1\nArvelU=1\n"
                        "[Questions]\n13=1\n22=1\n57=1\n59=1\n";

const char* const kIniFiles[] = {"WIN.INI", "SYSTEM.INI", "WININIT.INI", "VELMOR.INI"};

std::string ReadHost(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

// A file of the Windows directory by its name in any case; "" when absent.
std::string WindowsFile(const fs::path& machine, const std::string& name) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(machine / "drive_c/WINDOWS", ec))
        if (strcasecmp(e.path().filename().c_str(), name.c_str()) == 0)
            return ReadHost(e.path());
    return "";
}

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.insert(line);
    return lines;
}

// Every file of the machine but the source drive, by its place in the folder.
std::map<std::string, std::string> Snapshot(const fs::path& machine) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(machine))
        if (e.is_regular_file() && !e.is_symlink())
            files[fs::relative(e.path(), machine).string()] = ReadHost(e.path());
    return files;
}

std::vector<std::string> TempFiles(const fs::path& machine) {
    std::vector<std::string> temps;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(machine)) {
        std::string name = e.path().filename().string();
        if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".tmp") == 0)
            temps.push_back(fs::relative(e.path(), machine).string());
    }
    return temps;
}

void CopyMachine(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

// An earlier version with everything the installation takes away: its keys,
// shared directory, group items, keyboard driver, panel loader and the
// system's layout indicator.
void MakeEarlierVersion() {
    for (const char* key :
         {"HCU\\Software\\Velmor\\Brivanta\\3.0\\", "HCU\\Software\\Velmor\\Brivanta\\3.1\\"})
        ASSERT_TRUE(RegKey(key, RegKey::AccessWrite, true).SetString("Program dir", "C:\\BV"));
    ASSERT_TRUE(
        RegKey((std::string(kUninstall) + "Brivanta 3.1\\").c_str(), RegKey::AccessWrite, true)
            .SetString("DisplayName", "Brivanta 3.1"));
    ASSERT_TRUE(RegKey(kRun, RegKey::AccessWrite, false).SetString("internat.exe", "internat.exe"));
    ASSERT_TRUE(WritePrivateProfileStringA("Global", "VelmorDir", "C:\\VELSHARE\\", "velmor.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "keyboard.drv", "kbdbriv2.drv", "system.ini"));
    ASSERT_TRUE(WriteProfileStringA("windows", "load", "go_bvpan.exe"));
    ASSERT_TRUE(Scratch::MakeDir("C:\\VELSHARE\\"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\VELSHARE\\bvpanel.exe", "old panel"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM\\internat.exe", "indicator"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM\\fixb01.fon", "old font"));
    ProgramGroup maker("Velmor Applications", nullptr);
    for (const char* item : {"BV Control Panel", "Brivanta 3.1", "Other Tool"})
        ASSERT_EQ(maker.AddItem("C:\\BV\\OLD.EXE", item), Ok);
    maker.Release();
    ProgramGroup startUp("StartUp", nullptr);
    ASSERT_EQ(startUp.AddItem("C:\\BV\\OLD.EXE", "Brivanta 3.1"), Ok);
    startUp.Release();
}

struct RunResult {
    int status = -1;     // as waitpid reports it
    bool ran = false;    // the child got to the end of the run
    unsigned result = 0; // what RunSetup answered
    unsigned calls = 0;  // fallible calls seen
    std::vector<std::string> triggered;
    std::vector<std::string> log; // every fallible call, "op path", in a clean run
    std::string transcript;       // one line per dialog

    bool EndedWell() const { return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
    std::string How() const {
        if (WIFSIGNALED(status))
            return "killed by signal " + std::to_string(WTERMSIG(status));
        return "exit code " + std::to_string(WEXITSTATUS(status));
    }
};

// The child's side: one installation on the machine in `machine`, the
// fallible call `failing` made to fail (0: none), the result in `report`.
[[noreturn]] void ChildRun(const fs::path& machine, unsigned failing, const fs::path& report) {
    alarm(20); // a hang ends the child with SIGALRM
    std::string error;
    if (!hostwin::MountMachine(machine.string(), &error) ||
        !MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error))
        _exit(4);
    hostwin::AddWindow("Indicator");
    hostwin::AddWindow("Brivanta 3.1 Main Window");
    hostwin::ClearFaults();
    hostwin::LogFallibleCalls(failing == 0);
    if (failing)
        hostwin::AddFault({hostwin::FaultOp::Any, failing, "", hostwin::FaultKind::Fail});
    AnswerFile answers;
    if (answers.Parse("answers", kAnswers, sizeof kAnswers - 1, nullptr) != 0)
        _exit(5);
    std::istringstream input;
    std::ostringstream transcript;
    TerminalFrontEnd frontEnd(input, transcript, &answers, false);
    SetupOutcome outcome = RunSetup(&frontEnd);
    if (frontEnd.Answers().LoopDialog())
        _exit(3);
    unsigned calls = hostwin::FallibleCallCount();
    std::vector<std::string> triggered = hostwin::TriggeredFaults();
    std::vector<std::string> log = hostwin::FallibleCalls();
    hostwin::LogFallibleCalls(false);
    hostwin::ClearFaults();
    hostwin::UnmountMachine();
    std::ofstream out(report, std::ios::binary);
    out << unsigned(outcome.result) << "\n" << calls << "\n" << triggered.size() << "\n";
    for (const std::string& t : triggered)
        out << t << "\n";
    out << log.size() << "\n";
    for (const std::string& call : log)
        out << call << "\n";
    out << transcript.str();
    out.close();
    _exit(out ? 0 : 6);
}

RunResult RunInChild(const fs::path& machine, unsigned failing, const fs::path& report) {
    RunResult r;
    fs::remove(report);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0)
        ChildRun(machine, failing, report);
    if (pid < 0 || waitpid(pid, &r.status, 0) != pid)
        return r;
    std::ifstream in(report, std::ios::binary);
    size_t count = 0;
    if (!(in >> r.result >> r.calls >> count))
        return r;
    in.ignore(1);
    std::string line;
    for (size_t i = 0; i < count && std::getline(in, line); ++i)
        r.triggered.push_back(line);
    if (!(in >> count))
        return r;
    in.ignore(1);
    for (size_t i = 0; i < count && std::getline(in, line); ++i)
        r.log.push_back(line);
    std::ostringstream rest;
    rest << in.rdbuf();
    r.transcript = rest.str();
    r.ran = true;
    return r;
}

bool Has(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// What a run came to, compared with the clean run.
enum class Outcome { AsClean, SkippedSilently, CompletedWithMessage, AbortedWithMessage, Other };

const char* OutcomeName(Outcome o) {
    static const char* const names[] = {"as the clean run", "completed, a step skipped silently",
                                        "completed with a message", "aborted with a message",
                                        "ended otherwise"};
    return names[int(o)];
}

class FaultSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::path shm = "/dev/shm";
        char pattern[] = "brivanta-sweep-XXXXXX";
        std::string base =
            ((fs::is_directory(shm) ? shm : fs::temp_directory_path()) / pattern).string();
        ASSERT_TRUE(mkdtemp(&base[0])) << base;
        root_ = base;
        fresh_ = root_ / "fresh";
        machine_ = root_ / "machine";
        report_ = root_ / "report";
        std::string error;
        ASSERT_TRUE(hostwin::MountMachine(fresh_.string(), &error)) << error;
        ASSERT_TRUE(MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error)) << error;
        MakeEarlierVersion();
        hostwin::UnmountMachine();
    }
    void TearDown() override {
        hostwin::UnmountMachine();
        fs::remove_all(root_);
    }

    // The INI files, the registry store and the temporary files after a run
    // in which `failed` failed. Leaves the machine mounted.
    void CheckMachine(const std::string& failed, const std::string& label) {
        for (const char* ini : kIniFiles) {
            std::string before = WindowsFile(fresh_, ini), after = clean_[ini];
            std::string now = WindowsFile(machine_, ini);
            if (now == before || now == after)
                continue;
            // Some writes done, others not: every line is one of the file
            // before or after, and none that both have is lost.
            std::set<std::string> was = Lines(before), is = Lines(after), has = Lines(now);
            for (const std::string& line : has)
                EXPECT_TRUE(was.count(line) || is.count(line))
                    << label << ": " << ini << " has a line no run writes: " << line;
            for (const std::string& line : was) {
                if (is.count(line)) {
                    EXPECT_TRUE(has.count(line)) << label << ": " << ini << " lost " << line;
                }
            }
        }
        // The rewrite keeps its temporary file when copying it back failed
        // (the file may be cut short, the copy is the only whole one) and,
        // of course, when deleting it failed; the INI checks above show
        // that the file itself is whole.
        bool keepsTemp = (failed.rfind("copy ", 0) == 0 || failed.rfind("delete ", 0) == 0) &&
                         failed.find("wdps.tmp") != std::string::npos;
        for (const std::string& temp : TempFiles(machine_))
            if (!keepsTemp || temp.find("wdps.tmp") == std::string::npos)
                ADD_FAILURE() << label << ": temporary file left: " << temp;
        std::string error;
        EXPECT_TRUE(hostwin::MountMachine(machine_.string(), &error))
            << label << ": the registry store no longer parses: " << error;
    }

    // What the failure of `call` must come to: silent failures leave the
    // dialogs as in the clean run; copy failures follow the target's kind.
    void CheckExpected(const std::string& call, Outcome outcome, const RunResult& r,
                       const std::string& label) {
        std::string op = call.substr(0, call.find(' '));
        std::string path = call.substr(call.find(' ') + 1);
        std::string ext = path.substr(path.rfind('.') + 1);
        for (char& c : ext)
            c = char(tolower(c));
        bool source = path.rfind("D:\\", 0) == 0;
        bool temp = path.find("wdps.tmp") != std::string::npos;
        bool silent = op == "registry" || op == "profile" || op == "delete" || op == "move" ||
                      op == "copy" || (temp && (op == "create" || op == "write"));
        bool copyTarget = !temp && !source && (op == "create" || op == "write");
        if (silent || (copyTarget && (ext == "kbd" || ext == "nls" || ext == "ttf"))) {
            EXPECT_TRUE(outcome == Outcome::AsClean || outcome == Outcome::SkippedSilently)
                << label << ": expected silence:\n"
                << r.transcript;
        } else if (copyTarget) {
            EXPECT_EQ(outcome, Outcome::AbortedWithMessage) << label << ":\n" << r.transcript;
            EXPECT_NE(r.transcript.find("Can't copy the file"), std::string::npos) << label;
        } else if (source && op == "read") {
            EXPECT_EQ(outcome, Outcome::CompletedWithMessage) << label;
            EXPECT_NE(r.transcript.find("Can't read data from the source disk!"), std::string::npos)
                << label;
        } else if (source && op == "open" && path.find('*') == std::string::npos) {
            EXPECT_EQ(outcome, Outcome::CompletedWithMessage) << label;
            EXPECT_NE(r.transcript.find("could not be found!"), std::string::npos) << label;
        }
    }

    // A clean run on the machine as the faulty run left it.
    void CheckSecondRun(const std::string& label) {
        hostwin::UnmountMachine();
        RunResult again = RunInChild(machine_, 0, report_);
        ASSERT_TRUE(again.EndedWell()) << label << ": second run: " << again.How();
        EXPECT_NE(again.transcript.find(kCompleted), std::string::npos)
            << label << ": second run:\n"
            << again.transcript;
        std::string error;
        ASSERT_TRUE(hostwin::MountMachine(machine_.string(), &error)) << label << ": " << error;
        EXPECT_EQ(Reg(std::string(kProductKey) + "Program dir"), "C:\\VELMOR\\BRIVANTA\\") << label;
        EXPECT_EQ(Scratch::ReadFile("C:\\VELMOR\\BRIVANTA\\brivanta.exe"),
                  ReadHost(fs::path(BRIVANTA_SAMPLE_DISKS) / "DISK1/brivanta.ex_"))
            << label;
        EXPECT_TRUE(Has(Items("Velmor Applications"), kItem)) << label;
        EXPECT_TRUE(Has(Items("StartUp"), kItem)) << label;
        hostwin::UnmountMachine();
    }

    Outcome Classify(const RunResult& r) {
        bool completed = r.transcript.find(kCompleted) != std::string::npos;
        bool sameDialogs = r.transcript == cleanRun_.transcript;
        if (completed && sameDialogs)
            return Snapshot(machine_) == cleanFiles_ ? Outcome::AsClean : Outcome::SkippedSilently;
        if (completed)
            return Outcome::CompletedWithMessage;
        if (r.transcript.find("Installation will be terminated!") != std::string::npos ||
            r.transcript.find("Close all opened programs") != std::string::npos)
            return Outcome::AbortedWithMessage;
        return Outcome::Other;
    }

    fs::path root_, fresh_, machine_, report_;
    RunResult cleanRun_;
    std::map<std::string, std::string> clean_;
    std::map<std::string, std::string> cleanFiles_;
};

TEST_F(FaultSweep, EveryFallibleCallOfAWholeInstallation) {
    auto start = std::chrono::steady_clock::now();
    CopyMachine(fresh_, machine_);
    cleanRun_ = RunInChild(machine_, 0, report_);
    ASSERT_TRUE(cleanRun_.EndedWell()) << cleanRun_.How();
    ASSERT_NE(cleanRun_.transcript.find(kCompleted), std::string::npos) << cleanRun_.transcript;
    for (const char* ini : kIniFiles)
        clean_[ini] = WindowsFile(machine_, ini);
    cleanFiles_ = Snapshot(machine_);
    const unsigned calls = cleanRun_.calls;
    ASSERT_GT(calls, 0u);

    if (const char* list = std::getenv("BRIVANTA_SWEEP_LOG")) { // to study the calls
        std::ofstream out(list);
        for (const std::string& call : cleanRun_.log)
            out << call << "\n";
    }
    // Every kind of call the installation makes is counted.
    std::map<std::string, unsigned> counted;
    for (const std::string& call : cleanRun_.log)
        ++counted[call.substr(0, call.find(' '))];
    ASSERT_EQ(cleanRun_.log.size(), calls);
    for (const char* needed :
         {"create", "open", "read", "write", "delete", "copy", "move", "registry", "profile"})
        EXPECT_GT(counted[needed], 0u) << "no " << needed << " call in the installation";

    // The state a run leaves when its failure changed nothing: a second run
    // on it is this one.
    CheckSecondRun("after the clean run");

    // BRIVANTA_SWEEP=full fails every call in turn. Otherwise, of the reads,
    // writes and closes of one file and of the registry calls on one key
    // only the first is failed: the others take the same way (the later
    // chunks of a copy, a key opened again on the way to another).
    const char* mode = std::getenv("BRIVANTA_SWEEP");
    bool full = mode && std::string(mode) == "full";
    std::set<std::string> seen;
    unsigned chosen = 0;
    std::map<std::string, unsigned> swept, changedByKind;
    std::map<Outcome, unsigned> outcomes;
    for (unsigned n = 1; n <= calls; ++n) {
        const std::string& call = cleanRun_.log[n - 1];
        std::string kind = call.substr(0, call.find(' '));
        bool repeats = kind == "read" || kind == "write" || kind == "close" || kind == "registry";
        if (!full && repeats && !seen.insert(call).second)
            continue;
        if (!full && ++chosen % kStride != 0)
            continue;
        if (std::getenv("BRIVANTA_SWEEP_LOG"))
            break;
        CopyMachine(fresh_, machine_);
        RunResult r = RunInChild(machine_, n, report_);
        std::string label = "call " + std::to_string(n) + " (" + call + ")";
        ASSERT_TRUE(r.EndedWell()) << label << " failing: " << r.How();
        ASSERT_EQ(r.triggered, std::vector<std::string>{call}) << label;
        ++swept[kind];
        Outcome outcome = Classify(r);
        ++outcomes[outcome];
        if (outcome != Outcome::AsClean)
            ++changedByKind[kind];
        EXPECT_NE(outcome, Outcome::Other) << label << ":\n" << r.transcript;
        CheckExpected(call, outcome, r, label);
        CheckMachine(call, label);
        if (outcome != Outcome::AsClean)
            CheckSecondRun(label);
        if (HasFatalFailure())
            return;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    unsigned total = 0;
    for (const auto& o : outcomes)
        total += o.second;
    std::printf("fault sweep (%s): %u fallible calls counted, %u swept, %u changed the outcome, "
                "%.1f s\n",
                full          ? "every call"
                : kStride > 1 ? "every 16th of the chosen calls"
                              : "chosen calls",
                calls, total, total - outcomes[Outcome::AsClean], seconds);
    for (const auto& k : counted)
        std::printf("  %-9s %5u counted, %5u swept, %5u changed the outcome\n", k.first.c_str(),
                    k.second, swept[k.first], changedByKind[k.first]);
    for (const auto& o : outcomes)
        std::printf("  %-36s %5u\n", OutcomeName(o.first), o.second);
}

} // namespace
