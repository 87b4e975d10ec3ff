// The whole unattended installation, killed with SIGKILL at the start of its
// n-th fallible call (the child stops itself there and the test kills it),
// for points spread over the run. The machine it leaves must have lost
// nothing, and a second, clean run on it must end where a run that was
// never interrupted ends.
#include "entry_list.h"
#include "sweep_support.h"

#include "platform/host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <strings.h>

namespace fs = std::filesystem;

namespace {

using namespace sweep;

#ifdef __SANITIZE_ADDRESS__
// The sanitised build runs many times slower: there every sixteenth of the
// chosen points is taken, to keep the run short.
const unsigned kStride = 16;
#else
const unsigned kStride = 1;
#endif
const unsigned kSpread = 100; // points spread evenly over the run

// What a kill may leave: the rewrites' temporary file, and the two files of
// a replacement. The next run takes each of them up again.
bool LeftByAKill(const std::string& path) {
    std::string kind = LeftoverKind(path);
    return kind == "new" || kind == "old" ||
           (kind == ".tmp" && strcasecmp(fs::path(path).filename().c_str(), "wdps.tmp") == 0);
}

// The first free font extension on a machine, as the font step chooses it.
std::string FreeFontExtension(const Files& machine) {
    const std::string fonts = "drive_c/WINDOWS/FONTS/";
    for (unsigned n = 1; n < 100; ++n) {
        char ext[8];
        std::snprintf(ext, sizeof ext, ".%03x", n);
        bool taken = false;
        for (const auto& f : machine)
            taken = taken || (f.first.rfind(fonts, 0) == 0 && f.first.size() > 4 &&
                              strcasecmp(f.first.c_str() + f.first.size() - 4, ext) == 0);
        if (!taken)
            return ext;
    }
    return ".063";
}

// What a run after a killed one does differently, as the product's own
// rules make it depend on the earlier attempt, undone so that the rest can
// be compared with a run that was never interrupted:
// - the next free font extension: once the earlier attempt has copied a new
//   font, the second run takes the next extension for its fonts and their
//   WININIT.INI lines, and the earlier copies stay where they are;
// - each WININIT.INI "NULL" line is inserted again, above those of the
//   earlier attempt: only the first of equal lines is kept.
Files AsAfterOneRun(const Files& second, const std::string& earlierExt, const std::string& ext) {
    Files out;
    const std::string fonts = "drive_c/WINDOWS/FONTS/";
    for (const auto& f : second) {
        std::string path = f.first, text = f.second;
        bool font = path.rfind(fonts, 0) == 0 && path.size() > 4;
        if (ext != earlierExt && font && path.compare(path.size() - 4, 4, earlierExt) == 0)
            continue;
        if (font && path.compare(path.size() - 4, 4, ext) == 0)
            path.replace(path.size() - 4, 4, earlierExt);
        if (strcasecmp(path.c_str(), "drive_c/WINDOWS/WININIT.INI") == 0) {
            std::string kept;
            std::set<std::string> seen;
            size_t at = 0;
            while (at < text.size()) {
                size_t end = text.find('\n', at);
                end = end == std::string::npos ? text.size() : end + 1;
                std::string line = text.substr(at, end - at);
                at = end;
                if (line.rfind("NULL=", 0) == 0 && !seen.insert(line).second)
                    continue;
                for (size_t p = 0; (p = line.find(ext, p)) != std::string::npos; ++p)
                    line.replace(p, ext.size(), earlierExt);
                kept += line;
            }
            text = kept;
        }
        out[path] = text;
    }
    return out;
}

class CrashSweep : public SweepTest {
  protected:
    // The machine after a clean run that followed the killed one, against
    // the one a run never interrupted leaves.
    void ExpectAsUninterrupted(const Files& second, const std::string& label) {
        for (const auto& f : second) {
            auto want = uninterrupted_.find(f.first);
            if (want == uninterrupted_.end())
                ADD_FAILURE() << label << ": " << f.first << " is made by no uninterrupted run";
            else if (f.second != want->second)
                ADD_FAILURE() << label << ": " << f.first << " differs:\n"
                              << (f.second.size() < 4096 ? f.second : "(long)") << "\nnot\n"
                              << (want->second.size() < 4096 ? want->second : "(long)");
        }
        for (const auto& f : uninterrupted_)
            EXPECT_TRUE(second.count(f.first)) << label << ": " << f.first << " is missing";
    }

    Files uninterrupted_;
    std::string fontExt_; // of the uninterrupted run
};

TEST_F(CrashSweep, AKilledInstallationLosesNothingAndTheNextRunCompletesIt) {
    auto start = std::chrono::steady_clock::now();
    CopyMachine(fresh_, machine_);
    RunResult clean = RunInChild(machine_, Interrupt::None, 0, report_);
    ASSERT_TRUE(clean.EndedWell()) << clean.How();
    ASSERT_NE(clean.transcript.find(kCompleted), std::string::npos) << clean.transcript;
    uninterrupted_ = Snapshot(machine_);
    fontExt_ = FreeFontExtension(before_);
    const unsigned calls = clean.calls;
    ASSERT_EQ(clean.log.size(), calls);

    // BRIVANTA_SWEEP=full kills at every call. Otherwise at every call that
    // creates, closes, copies, moves, deletes or makes something (where a
    // run leaves files half done), at every step of every fold of the
    // registry's journal into its store, inside the journal's writes (its
    // two writes for one change in twenty), and at points spread evenly
    // over the rest.
    const char* mode = std::getenv("BRIVANTA_SWEEP");
    bool full = mode && std::string(mode) == "full";
    unsigned killed = 0, picked = 0, journalWrites = 0;
    for (unsigned n = 1; n <= calls; ++n) {
        const std::string& call = clean.log[n - 1];
        std::string kind = call.substr(0, call.find(' '));
        auto endsWith = [](const std::string& text, const char* end) {
            return text.size() >= std::strlen(end) &&
                   text.compare(text.size() - std::strlen(end), std::string::npos, end) == 0;
        };
        bool journal = endsWith(call, "/registry-journal.reg");
        bool fold = endsWith(call, "/registry.reg") || endsWith(call, "/registry.reg.old") ||
                    endsWith(call, "/registry.reg.tmp") ||
                    (journal && n > 1 && endsWith(clean.log[n - 2], "/registry.reg"));
        bool journalWrite = journal && !fold && journalWrites++ % 40 < 2;
        bool chosen = kind == "create" || kind == "close" || kind == "copy" || kind == "move" ||
                      kind == "delete" || kind == "mkdir" || fold || journalWrite ||
                      n % (calls / kSpread + 1) == 0;
        if (!full && (!chosen || ++picked % kStride != 0))
            continue;
        CopyMachine(fresh_, machine_);
        RunResult r = RunInChild(machine_, Interrupt::KillAt, n, report_);
        std::string label = "killed at call " + std::to_string(n) + " (" + call + ")";
        ASSERT_TRUE(r.Killed()) << label << ": " << r.How();
        ++killed;
        Files now = Snapshot(machine_);
        ExpectOldOrNew(before_, uninterrupted_, now, LeftByAKill, label);
        ExpectStoreLoads(machine_, label);
        Files second = ExpectSecondRunCompletes(machine_, report_, label);
        if (!second.empty())
            ExpectAsUninterrupted(AsAfterOneRun(second, fontExt_, FreeFontExtension(now)), label);
        if (HasFailure())
            return;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("crash sweep (%s): %u fallible calls counted, killed at %u, %.1f s\n",
                full          ? "every call"
                : kStride > 1 ? "every 16th of the chosen calls"
                              : "chosen calls",
                calls, killed, seconds);
}

} // namespace
