// What the fault sweep and the crash sweep share: the machine they install
// on, one whole unattended installation in a child process, and the checks
// of a machine that a broken run left.
#pragma once

#include "entry_list.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sweep {

namespace fs = std::filesystem;

// Asked only once a run has come to its end.
extern const char kCompleted[];
extern const char* const kIniFiles[4];

// Every file of a machine (not the source drive) by its place in the folder.
using Files = std::map<std::string, std::string>;
Files Snapshot(const fs::path& machine);
std::string ReadHost(const fs::path& path);
std::set<std::string> Lines(const std::string& text);
void CopyMachine(const fs::path& from, const fs::path& to);
// A new folder for a sweep's machines, in /dev/shm where there is one.
fs::path MakeWorkFolder();

// A temporary or kept file of the installation: the INI rewrites' wdps.tmp
// and a whole copy kept as NAME.~1, ~2, ...; the spare files of a replaced
// target, its new content and its old file waiting (FileEntry::SpareName).
// "" for any other name, else the kind: ".tmp", "~N", "new" or "old".
std::string LeftoverKind(const std::string& name);
// The spare file of `kind` of the file `path` (separators '/' or '\\').
std::string SparePath(const std::string& path, FileEntry::Spare kind);
// Each spare file of the files in `paths`, mapped to the file it belongs to.
using Owners = std::map<std::string, std::string>;
Owners SpareOwners(const std::set<std::string>& paths);
// The file a leftover belongs to: a kept copy's file, a spare file's target
// among `owners`; else `path` itself.
std::string LeftoverOwner(const std::string& path, const Owners& owners);

// Makes `folder` a fresh machine with an earlier version on it: its keys,
// shared directory, group items, keyboard driver, panel loader, the
// system's layout indicator, and an earlier filter where the new one goes.
void MakeEarlierVersion(const fs::path& folder);

enum class Interrupt {
    None,     // a clean run; every fallible call is logged
    FailCall, // the n-th fallible call fails
    KillAt,   // the child is killed (SIGKILL) at the start of its n-th call
};

struct RunResult {
    int status = -1;     // as waitpid reports it
    bool ran = false;    // the child got to the end of the run
    unsigned result = 0; // what RunSetup answered
    unsigned calls = 0;  // fallible calls seen
    std::vector<std::string> triggered;
    std::vector<std::string> log; // every fallible call, "op path", in a clean run
    std::string transcript;       // one line per dialog

    bool EndedWell() const;
    bool Killed() const;
    std::string How() const;
};

// The whole installation (every option, restart answered yes, the machine
// not restarted) in a child process on the machine in `machine`.
RunResult RunInChild(const fs::path& machine, Interrupt how, unsigned call, const fs::path& report);

// The files of the registry store: the store, the journal beside it, and
// while a fold runs, the new store and the old one stepped aside.
bool IsRegistryStore(const std::string& path);
// The store and its journal load, as the next run would find them; the
// machine is left as it is.
bool ExpectStoreLoads(const fs::path& machine, const std::string& label);

// The machine `now` after a broken run, against the machine before the run
// and after a clean one. Each INI file holds only lines of before or after
// and keeps those both have. Every other file holds its old or its new
// content; a file the run makes may hold anything (the next run replaces
// it). A leftover is allowed only where `allowed` says so (a kept copy of an
// INI file is held to its lines); a target whose old file waits under its
// spare name counts as there when that holds the old content. Program
// Manager's group files and the registry store's files are left to other
// checks.
void ExpectOldOrNew(const Files& before, const Files& after, const Files& now,
                    const std::function<bool(const std::string&)>& allowed,
                    const std::string& label);

// A clean run on the machine as a broken run left it must complete the
// installation; answers what that run left, or an empty map when it did not
// end well (the failure is then reported).
Files ExpectSecondRunCompletes(const fs::path& machine, const fs::path& report,
                               const std::string& label);

// A sweep's folders: a fresh machine with the earlier version (`fresh_`,
// its files in `before_`), the machine each run works on, the child's
// report; all removed at the end.
class SweepTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    fs::path root_, fresh_, machine_, report_;
    Files before_;
};

} // namespace sweep
