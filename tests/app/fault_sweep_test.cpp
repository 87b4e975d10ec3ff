// The whole unattended installation, run once for every fallible platform
// call it makes, with exactly that call failing. Each run happens in a child
// process on its own copy of a prepared machine, so that a crash, a hang or
// an endless dialog loop shows as the child's end instead of taking the test
// down. After each run the machine must be sound (every file whole: its old
// content or its new, never cut) and a second, clean run must complete the
// installation.
#include "entry_list.h"
#include "sweep_support.h"

#include "platform/host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdlib.h>
#include <strings.h>

namespace fs = std::filesystem;

namespace {

#ifdef __SANITIZE_ADDRESS__
// The sanitised build runs many times slower: there every sixteenth of the
// chosen calls is failed, to keep the run short.
const unsigned kStride = 16;
#else
const unsigned kStride = 1;
#endif

using namespace sweep;

std::string CallPath(const std::string& call) {
    return call.substr(call.find(' ') + 1);
}

// What a run came to, compared with the clean run.
enum class Outcome { AsClean, SkippedSilently, CompletedWithMessage, AbortedWithMessage, Other };

const char* OutcomeName(Outcome o) {
    static const char* const names[] = {"as the clean run", "completed, a step skipped silently",
                                        "completed with a message", "aborted with a message",
                                        "ended otherwise"};
    return names[int(o)];
}

class FaultSweep : public SweepTest {
  protected:
    // The files, the registry store and the leftovers after a run in which
    // `failed` failed.
    void CheckMachine(const std::string& failed, const Files& now, const std::string& label) {
        // The rewrite keeps its temporary file when deleting it failed, and
        // when copying it back failed it keeps it as the only whole copy,
        // beside the file; the checks show that both files are whole.
        bool tempFailed = failed.find("wdps.tmp") != std::string::npos;
        auto allowed = [&](const std::string& path) {
            std::string kind = LeftoverKind(path);
            return tempFailed && ((kind == ".tmp" && failed.rfind("delete ", 0) == 0) ||
                                  (kind == "~N" && failed.rfind("copy ", 0) == 0));
        };
        ExpectOldOrNew(before_, cleanFiles_, now, allowed, label);
        ExpectStoreLoads(machine_, label);
    }

    // What the failure of `call` must come to: silent failures leave the
    // dialogs as in the clean run; copy failures follow the target's kind,
    // the moves and deletes of a replacement among them.
    void CheckExpected(const std::string& call, Outcome outcome, const RunResult& r,
                       const std::string& label) {
        std::string op = call.substr(0, call.find(' '));
        std::string path = call.substr(call.find(' ') + 1);
        std::string target = CallTarget(call);
        std::string ext = target.substr(target.rfind('.') + 1);
        for (char& c : ext)
            c = char(tolower(c));
        bool source = path.rfind("D:\\", 0) == 0;
        bool temp = path.find("wdps.tmp") != std::string::npos;
        bool replacement = replaced_.count(target) && (op == "move" || op == "delete");
        bool copyTarget = (!temp && !source && ext != "ini" &&
                           (op == "create" || op == "write" || op == "close")) ||
                          replacement;
        bool silent = !copyTarget && (op == "registry" || op == "profile" || op == "delete" ||
                                      op == "move" || op == "copy" || temp);
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

    Outcome Classify(const RunResult& r, const Files& now) {
        bool completed = r.transcript.find(kCompleted) != std::string::npos;
        bool sameDialogs = r.transcript == cleanRun_.transcript;
        if (completed && sameDialogs)
            return now == cleanFiles_ ? Outcome::AsClean : Outcome::SkippedSilently;
        if (completed)
            return Outcome::CompletedWithMessage;
        if (r.transcript.find("Installation will be terminated!") != std::string::npos ||
            r.transcript.find("Close all opened programs") != std::string::npos)
            return Outcome::AbortedWithMessage;
        return Outcome::Other;
    }

    RunResult cleanRun_;
    Files cleanFiles_;
    // The file a call names; for a replacement's spare files, their target.
    std::string CallTarget(const std::string& call) const {
        return LeftoverOwner(CallPath(call), owners_);
    }

    std::set<std::string> replaced_; // targets that existed: their copies move and delete
    Owners owners_;                  // the spare files of the files the clean run names
};

TEST_F(FaultSweep, EveryFallibleCallOfAWholeInstallation) {
    auto start = std::chrono::steady_clock::now();
    CopyMachine(fresh_, machine_);
    cleanRun_ = RunInChild(machine_, Interrupt::None, 0, report_);
    ASSERT_TRUE(cleanRun_.EndedWell()) << cleanRun_.How();
    ASSERT_NE(cleanRun_.transcript.find(kCompleted), std::string::npos) << cleanRun_.transcript;
    cleanFiles_ = Snapshot(machine_);
    const unsigned calls = cleanRun_.calls;
    ASSERT_GT(calls, 0u);
    std::set<std::string> callPaths;
    for (const std::string& call : cleanRun_.log)
        callPaths.insert(CallPath(call));
    owners_ = SpareOwners(callPaths);
    for (const std::string& call : cleanRun_.log)
        if (call.rfind("create ", 0) == 0 && LeftoverKind(call) == "new")
            replaced_.insert(CallTarget(call));
    EXPECT_FALSE(replaced_.empty()) << "no existing target is replaced";

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
    ExpectSecondRunCompletes(machine_, report_, "after the clean run");

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
        RunResult r = RunInChild(machine_, Interrupt::FailCall, n, report_);
        std::string label = "call " + std::to_string(n) + " (" + call + ")";
        ASSERT_TRUE(r.EndedWell()) << label << " failing: " << r.How();
        ASSERT_EQ(r.triggered, std::vector<std::string>{call}) << label;
        ++swept[kind];
        Files now = Snapshot(machine_);
        Outcome outcome = Classify(r, now);
        ++outcomes[outcome];
        if (outcome != Outcome::AsClean)
            ++changedByKind[kind];
        EXPECT_NE(outcome, Outcome::Other) << label << ":\n" << r.transcript;
        CheckExpected(call, outcome, r, label);
        CheckMachine(call, now, label);
        if (outcome != Outcome::AsClean)
            ExpectSecondRunCompletes(machine_, report_, label);
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
