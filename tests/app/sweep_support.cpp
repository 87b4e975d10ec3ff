#include "sweep_support.h"

#include "entry_list.h"
#include "host_install.h"
#include "install_checks.h"
#include "program_group.h"
#include "reg_key.h"
#include "support/scratch.h"
#include "terminal_front_end.h"

#include "platform/host_testing.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sstream>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sweep {

const char kCompleted[] = "Do you want to restart your computer now?";
const char* const kIniFiles[4] = {"WIN.INI", "SYSTEM.INI", "WININIT.INI", "VELMOR.INI"};

namespace {

const char kProductKey[] = "HCU\\Software\\Velmor\\Brivanta\\3.2\\";
const char kUninstall[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kRun[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const char kItem[] = "Brivanta 3.2=C:\\VELMOR\\BRIVANTA\\brivanta.exe";

// Every option, the indicator switched off, retry on a read error, restart
// answered yes (the machine is not restarted: WININIT.INI stays to be
// checked). Prompts keep the directory they propose.
const char kAnswers[] = "[Destination]\nDirectory=C:\\VELMOR\\BRIVANTA\n"
                        "[Options]\nKeyboardBds=1\nKeyboardPhonetic=1\nLanguageDriver=1\n"
                        "DosFilter=1\nSystemFonts=1\nDunorU=1\nArvelU=1\n"
                        "[Questions]\n13=1\n22=1\n57=1\n59=1\n";

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

bool Has(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// An INI file of the Windows directory, by its name in any case.
bool IsIniFile(const std::string& path) {
    size_t slash = path.rfind('/');
    if (strncasecmp(path.c_str(), "drive_c/WINDOWS/", 16) != 0 || slash != 15)
        return false;
    for (const char* ini : kIniFiles)
        if (strcasecmp(path.c_str() + 16, ini) == 0)
            return true;
    return false;
}

const std::string* Find(const Files& files, const std::string& path) {
    auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
}

// Some writes done, others not: every line is one of the file before or
// after, and none that both have is lost.
void ExpectIniLines(const std::string& path, const std::string& before, const std::string& after,
                    const std::string& now, const std::string& label) {
    if (now == before || now == after)
        return;
    std::set<std::string> was = Lines(before), is = Lines(after), has = Lines(now);
    for (const std::string& line : has)
        EXPECT_TRUE(was.count(line) || is.count(line))
            << label << ": " << path << " has a line no run writes: " << line;
    for (const std::string& line : was) {
        if (is.count(line)) {
            EXPECT_TRUE(has.count(line)) << label << ": " << path << " lost " << line;
        }
    }
}

// The child's side: one installation on the machine in `machine`, the
// result in `report`.
[[noreturn]] void ChildRun(const fs::path& machine, Interrupt how, unsigned call,
                           const fs::path& report) {
    alarm(20); // a hang ends the child with SIGALRM
    std::string error;
    if (!hostwin::MountMachine(machine.string(), &error) ||
        !MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error))
        _exit(4);
    hostwin::AddWindow("Indicator");
    hostwin::AddWindow("Brivanta 3.1 Main Window");
    hostwin::ClearFaults();
    hostwin::LogFallibleCalls(how == Interrupt::None);
    if (how == Interrupt::FailCall)
        hostwin::AddFault({hostwin::FaultOp::Any, call, "", hostwin::FaultKind::Fail});
    if (how == Interrupt::KillAt)
        hostwin::StopAtFallibleCall(call);
    AnswerFile answers;
    if (answers.Parse("answers", kAnswers, sizeof kAnswers - 1, nullptr) != 0)
        _exit(5);
    std::istringstream input;
    std::ostringstream transcript;
    TerminalFrontEnd frontEnd(input, transcript, &answers, false);
    SetupOutcome outcome = RunSetup(&frontEnd);
    if (frontEnd.Answers().LoopDialog())
        _exit(3);
    hostwin::UnmountMachine(); // the registry's journal is folded: calls of the run too
    unsigned calls = hostwin::FallibleCallCount();
    std::vector<std::string> triggered = hostwin::TriggeredFaults();
    std::vector<std::string> log = hostwin::FallibleCalls();
    hostwin::LogFallibleCalls(false);
    hostwin::ClearFaults();
    std::ofstream out(report, std::ios::binary);
    out << unsigned(outcome.result) << "\n" << calls << "\n" << triggered.size() << "\n";
    for (const std::string& t : triggered)
        out << t << "\n";
    out << log.size() << "\n";
    for (const std::string& line : log)
        out << line << "\n";
    out << transcript.str();
    out.close();
    _exit(out ? 0 : 6);
}

// Waits for the child; one that stopped itself at its chosen call is killed.
int Reap(pid_t pid) {
    int status = -1;
    if (waitpid(pid, &status, WUNTRACED) != pid)
        return -1;
    if (WIFSTOPPED(status)) {
        kill(pid, SIGKILL);
        if (waitpid(pid, &status, 0) != pid)
            return -1;
    }
    return status;
}

} // namespace

bool IsRegistryStore(const std::string& path) {
    for (const char* name :
         {"registry.reg", "registry.reg.old", "registry.reg.tmp", "registry-journal.reg"})
        if (path == name)
            return true;
    return false;
}

bool ExpectStoreLoads(const fs::path& machine, const std::string& label) {
    std::string error;
    bool loaded = hostwin::MountMachineReadOnly(machine.string(), &error);
    EXPECT_TRUE(loaded) << label << ": the registry store no longer loads: " << error;
    hostwin::UnmountMachine();
    return loaded;
}

std::string ReadHost(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.insert(line);
    return lines;
}

Files Snapshot(const fs::path& machine) {
    Files files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(machine))
        if (e.is_regular_file() && !e.is_symlink())
            files[fs::relative(e.path(), machine).string()] = ReadHost(e.path());
    return files;
}

void CopyMachine(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

fs::path MakeWorkFolder() {
    fs::path shm = "/dev/shm";
    std::string base =
        ((fs::is_directory(shm) ? shm : fs::temp_directory_path()) / "brivanta-sweep-XXXXXX")
            .string();
    if (!mkdtemp(&base[0]))
        ADD_FAILURE() << "cannot make " << base;
    return base;
}

std::string LeftoverKind(const std::string& name) {
    if (EndsWithNoCase(name, ".tmp"))
        return ".tmp";
    std::string base = name.substr(name.find_last_of("/\\ ") + 1);
    if (base.size() == 11 && base.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUV") == 8 &&
        base.compare(8, 2, ".~") == 0 &&
        (base[10] == FileEntry::NewContent || base[10] == FileEntry::OldWaiting))
        return base[10] == FileEntry::NewContent ? "new" : "old";
    size_t mark = name.rfind(".~");
    if (mark != std::string::npos && mark + 2 < name.size() &&
        name.find_first_not_of("0123456789", mark + 2) == std::string::npos)
        return "~N";
    return "";
}

std::string SparePath(const std::string& path, FileEntry::Spare kind) {
    size_t folder = path.find_last_of("/\\") + 1;
    char name[FileEntry::SpareNameSize];
    FileEntry::SpareName(path.c_str() + folder, kind, name);
    return path.substr(0, folder) + name;
}

Owners SpareOwners(const std::set<std::string>& paths) {
    Owners owners;
    for (const std::string& path : paths)
        if (LeftoverKind(path).empty())
            for (FileEntry::Spare kind : {FileEntry::NewContent, FileEntry::OldWaiting})
                owners[SparePath(path, kind)] = path;
    return owners;
}

std::string LeftoverOwner(const std::string& path, const Owners& owners) {
    std::string kind = LeftoverKind(path);
    if (kind == "new" || kind == "old") {
        auto owner = owners.find(path);
        return owner != owners.end() ? owner->second : path;
    }
    if (kind == "~N")
        return path.substr(0, path.rfind(".~"));
    return path;
}

void MakeEarlierVersion(const fs::path& folder) {
    std::string error;
    ASSERT_TRUE(hostwin::MountMachine(folder.string(), &error)) << error;
    ASSERT_TRUE(MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error)) << error;
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
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM\\unicode.bin", "old filter"));
    ProgramGroup maker("Velmor Applications", nullptr);
    for (const char* item : {"BV Control Panel", "Brivanta 3.1", "Other Tool"})
        ASSERT_EQ(maker.AddItem("C:\\BV\\OLD.EXE", item), Ok);
    maker.Release();
    ProgramGroup startUp("StartUp", nullptr);
    ASSERT_EQ(startUp.AddItem("C:\\BV\\OLD.EXE", "Brivanta 3.1"), Ok);
    startUp.Release();
    hostwin::UnmountMachine();
}

bool RunResult::EndedWell() const {
    return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunResult::Killed() const {
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::string RunResult::How() const {
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exit code " + std::to_string(WEXITSTATUS(status));
}

RunResult RunInChild(const fs::path& machine, Interrupt how, unsigned call,
                     const fs::path& report) {
    RunResult r;
    fs::remove(report);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0)
        ChildRun(machine, how, call, report);
    if (pid < 0 || (r.status = Reap(pid)) == -1 || !WIFEXITED(r.status))
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

void ExpectOldOrNew(const Files& before, const Files& after, const Files& now,
                    const std::function<bool(const std::string&)>& allowed,
                    const std::string& label) {
    std::set<std::string> paths, made;
    for (const Files* files : {&before, &after, &now})
        for (const auto& f : *files)
            paths.insert(f.first);
    for (const Files* files : {&before, &after})
        for (const auto& f : *files)
            made.insert(f.first);
    const Owners owners = SpareOwners(made);
    for (const std::string& path : paths) {
        const std::string *was = Find(before, path), *is = Find(after, path),
                          *has = Find(now, path);
        if (path.rfind("progman/", 0) == 0 || IsRegistryStore(path))
            continue;
        std::string owner = LeftoverOwner(path, owners);
        if (IsIniFile(owner)) {
            const std::string *ownerWas = Find(before, owner), *ownerIs = Find(after, owner);
            if (has)
                ExpectIniLines(path, ownerWas ? *ownerWas : "", ownerIs ? *ownerIs : "", *has,
                               label);
            if (owner == path)
                continue;
        }
        if (owner != path || LeftoverKind(path) == ".tmp") {
            EXPECT_TRUE(!has || allowed(path)) << label << ": file left: " << path;
        } else if (!has) {
            const std::string* waiting = Find(now, SparePath(path, FileEntry::OldWaiting));
            EXPECT_TRUE(!was || !is || (waiting && *waiting == *was))
                << label << ": " << path << " is gone";
        } else if (was) {
            EXPECT_TRUE(*has == *was || (is && *has == *is))
                << label << ": " << path << " holds neither its old nor its new content ("
                << has->size() << " bytes; " << was->size() << " before, " << (is ? is->size() : 0)
                << " after)";
        } else {
            EXPECT_TRUE(is) << label << ": " << path << " is made by no run";
        }
    }
}

Files ExpectSecondRunCompletes(const fs::path& machine, const fs::path& report,
                               const std::string& label) {
    hostwin::UnmountMachine();
    RunResult again = RunInChild(machine, Interrupt::None, 0, report);
    EXPECT_TRUE(again.EndedWell()) << label << ": second run: " << again.How();
    EXPECT_NE(again.transcript.find(kCompleted), std::string::npos) << label << ": second run:\n"
                                                                    << again.transcript;
    if (!again.EndedWell())
        return {};
    std::string error;
    EXPECT_TRUE(hostwin::MountMachineReadOnly(machine.string(), &error)) << label << ": " << error;
    EXPECT_EQ(Reg(std::string(kProductKey) + "Program dir"), "C:\\VELMOR\\BRIVANTA\\") << label;
    EXPECT_EQ(Scratch::ReadFile("C:\\VELMOR\\BRIVANTA\\brivanta.exe"),
              ReadHost(fs::path(BRIVANTA_SAMPLE_DISKS) / "DISK1/brivanta.ex_"))
        << label;
    EXPECT_TRUE(Has(Items("Velmor Applications"), kItem)) << label;
    EXPECT_TRUE(Has(Items("StartUp"), kItem)) << label;
    hostwin::UnmountMachine();
    return Snapshot(machine);
}

void SweepTest::SetUp() {
    root_ = MakeWorkFolder();
    fresh_ = root_ / "fresh";
    machine_ = root_ / "machine";
    report_ = root_ / "report";
    MakeEarlierVersion(fresh_);
    before_ = Snapshot(fresh_);
}

void SweepTest::TearDown() {
    hostwin::UnmountMachine();
    fs::remove_all(root_);
}

} // namespace sweep
