// An opt-in record of what a run does: one line for each dialog and its
// answer, each file copied, skipped or failed, each change made to the
// system with its outcome, and the end of the run. The steps that make the
// changes do not look at their outcomes; the log is where a person sees
// them. Without a log set nothing is formatted and nothing is written.
#pragma once

#include "result_code.h"

#include <cstdarg>

class RunLog {
  public:
    virtual ~RunLog() = default;
    // One line, without a line end; written before the call returns, so a
    // crash later leaves it in place.
    virtual void Line(const char* text) = 0;
    // A change the run makes to the system and whether it took; by default
    // the line "what: done" or "what: failed".
    virtual void Change(const char* what, bool done);
};

enum { RunLogLineSize = 1024 };

// The log of the run; none by default.
void SetRunLog(RunLog* log);
RunLog* CurrentRunLog();

// printf-style lines, cut at RunLogLineSize - 1 characters.
void LogLine(const char* format, ...);
void LogChange(bool done, const char* format, ...);

class FileEntry;

// The engine's lines: a file copied or skipped ("copied", "skipped"), a
// copy that failed with `code` and what the error hook decided, a delete.
void LogCopy(const FileEntry* file, const char* outcome);
void LogCopyError(const FileEntry* file, ResultCode code, ResultCode answer);
void LogDelete(const FileEntry* file, bool done);
