// An opt-in record of what a run does: one line for each dialog and its
// answer, each file copied, skipped or failed, each change made to the
// system with its outcome, and the end of the run. The steps that make the
// changes do not look at their outcomes; the log is where a person sees
// them. Without a log set nothing is formatted and nothing is written.
#pragma once

#include "result_code.h"

#include <cstdarg>

// How a change to the system came out. NotPresent: what was to be deleted
// or replaced is not there, as the steps expect on a machine without it;
// that is no failure.
enum class ChangeOutcome { Done, Failed, NotPresent };

class RunLog {
  public:
    virtual ~RunLog() = default;
    // One line, without a line end; written before the call returns, so a
    // crash later leaves it in place.
    virtual void Line(const char* text) = 0;
    // A change the run makes to the system and how it came out; by default
    // the line "what: done", "what: failed" or "what: not present".
    virtual void Change(const char* what, ChangeOutcome outcome);
};

enum { RunLogLineSize = 1024 };

// The log of the run; none by default. Setting one starts its totals.
void SetRunLog(RunLog* log);
RunLog* CurrentRunLog();

// printf-style lines, cut at RunLogLineSize - 1 characters, their control
// bytes written as \xNN (VisibleText).
void LogLine(const char* format, ...);
void LogChange(bool done, const char* format, ...);
void LogOutcome(ChangeOutcome outcome, const char* format, ...);

// What the lines since the log was set add up to. Changes are counted by
// the first word of their line: registry, INI and WININIT.INI lines are
// values, a file delete is a file, the rest (Program Manager, programs
// started, the restart) other changes.
struct RunLogTotals {
    int copied, skipped, failed, deleted; // files; failed: not copied or not deleted
    int values[3];                        // by ChangeOutcome
    int others[3];
};
const RunLogTotals& LogTotals();
// The totals in one line: "totals: 38 files copied, 0 skipped, ...".
void LogTotalsLine();

// What a result code of the engine means, in a few words ("the target
// cannot be created"); "" for Ok.
const char* ResultMeaning(ResultCode code);

class FileEntry;

// The engine's lines: a file copied or skipped ("copied", "skipped"), a
// copy that failed with `code` and what the error hook decided, a delete.
void LogCopy(const FileEntry* file, const char* outcome);
void LogCopyError(const FileEntry* file, ResultCode code, ResultCode answer);
void LogDelete(const FileEntry* file, bool done);
