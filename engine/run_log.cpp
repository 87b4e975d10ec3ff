#include "run_log.h"

#include "entry_list.h"
#include "result_code.h"
#include "text.h"

#include <cstdio>
#include <cstring>

namespace {
RunLog* g_log = nullptr;
RunLogTotals g_totals = {};

const char* OutcomeText(ChangeOutcome outcome) {
    switch (outcome) {
    case ChangeOutcome::Done:
        return "done";
    case ChangeOutcome::NotPresent:
        return "not present";
    default:
        return "failed";
    }
}

bool StartsWith(const char* text, const char* word) {
    return CompareNoCaseN(text, word, std::strlen(word)) == 0;
}

void Count(const char* what, ChangeOutcome outcome) {
    if (StartsWith(what, "registry ") || StartsWith(what, "ini ") || StartsWith(what, "wininit "))
        ++g_totals.values[int(outcome)];
    else if (StartsWith(what, "delete "))
        ++(outcome == ChangeOutcome::Failed ? g_totals.failed : g_totals.deleted);
    else
        ++g_totals.others[int(outcome)];
}

} // namespace

void RunLog::Change(const char* what, ChangeOutcome outcome) {
    char line[RunLogLineSize + 16];
    std::snprintf(line, sizeof line, "%s: %s", what, OutcomeText(outcome));
    Line(line);
}

void SetRunLog(RunLog* log) {
    g_log = log;
    g_totals = RunLogTotals{};
}

RunLog* CurrentRunLog() {
    return g_log;
}

const RunLogTotals& LogTotals() {
    return g_totals;
}

namespace {

// One line, or one change with its outcome, from a printf-style format.
// Names from the machine, the disks and the answer file are in it: their
// control bytes are written as \xNN, so that reading the log in a terminal
// never obeys them. Other bytes are the code page's letters.
void Write(const ChangeOutcome* outcome, const char* format, va_list args) {
    char text[RunLogLineSize], shown[RunLogLineSize];
    int length = std::vsnprintf(text, sizeof text, format, args);
    if (length < 0)
        length = 0;
    VisibleText(shown, sizeof shown, text,
                size_t(length) < sizeof text ? size_t(length) : sizeof text - 1, 0);
    if (outcome) {
        Count(shown, *outcome);
        g_log->Change(shown, *outcome);
    } else {
        g_log->Line(shown);
    }
}

} // namespace

void LogLine(const char* format, ...) {
    if (!g_log)
        return;
    va_list args;
    va_start(args, format);
    Write(nullptr, format, args);
    va_end(args);
}

void LogChange(bool done, const char* format, ...) {
    if (!g_log)
        return;
    const ChangeOutcome outcome = done ? ChangeOutcome::Done : ChangeOutcome::Failed;
    va_list args;
    va_start(args, format);
    Write(&outcome, format, args);
    va_end(args);
}

void LogOutcome(ChangeOutcome outcome, const char* format, ...) {
    if (!g_log)
        return;
    va_list args;
    va_start(args, format);
    Write(&outcome, format, args);
    va_end(args);
}

void LogTotalsLine() {
    const RunLogTotals& t = g_totals;
    LogLine("totals: %d files copied, %d skipped, %d failed, %d deleted; %d values written, "
            "%d failed, %d not present; %d other changes done, %d failed, %d not present",
            t.copied, t.skipped, t.failed, t.deleted, t.values[0], t.values[1], t.values[2],
            t.others[0], t.others[1], t.others[2]);
}

const char* ResultMeaning(ResultCode code) {
    switch (code) {
    case Ok:
        return "";
    case Abort:
        return "aborted";
    case OutOfMemory:
        return "out of memory, or a command or script line that cannot be used";
    case ScriptError:
        return "the script cannot be read";
    case NotApplicable:
        return "not applicable";
    case CannotCreateTarget:
        return "the target cannot be created";
    case CannotOpenSource:
        return "the source cannot be opened";
    case ReadFailed:
        return "the source cannot be read";
    case WriteFailed:
        return "the target cannot be written";
    case DeleteFailed:
        return "the file cannot be deleted";
    case Skip:
        return "skipped";
    case WindowFailed:
        return "a window cannot be created";
    case AlreadyRunning:
        return "another setup is running";
    default:
        return "an unknown error";
    }
}

namespace {

// "SOURCE -> TARGET" of a file entry, or the source alone for a delete.
void FileText(const FileEntry* file, char* out, size_t size) {
    char source[FileEntry::TextSize], target[FileEntry::TextSize] = "";
    if (!JoinPath(source, sizeof source, file->Source()->Directory(), file->SourceName()))
        CopyText(source, sizeof source, file->SourceName());
    if (file->Target() &&
        !JoinPath(target, sizeof target, file->Target()->Directory(), file->TargetName()))
        CopyText(target, sizeof target, file->TargetName());
    std::snprintf(out, size, file->Target() ? "%s -> %s" : "%s", source, target);
}

} // namespace

void LogCopy(const FileEntry* file, const char* outcome) {
    if (!g_log)
        return;
    ++(std::strcmp(outcome, "copied") == 0 ? g_totals.copied : g_totals.skipped);
    char text[2 * FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    LogLine("copy %s: %s", text, outcome);
}

void LogCopyError(const FileEntry* file, ResultCode code, ResultCode answer) {
    if (!g_log)
        return;
    // A retry is not the end of the file; the next attempt's line counts.
    if (answer != Ok)
        ++g_totals.failed;
    char text[2 * FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    const char* decision = answer == Ok ? "retried" : answer == Skip ? "skipped" : "aborted";
    LogLine("copy %s: failed %u (%s), %s", text, code, ResultMeaning(code), decision);
}

void LogDelete(const FileEntry* file, bool done) {
    if (!g_log)
        return;
    char text[FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    LogChange(done, "delete %s", text);
}
