#include "run_log.h"

#include "entry_list.h"
#include "result_code.h"
#include "text.h"

#include <cstdio>
#include <cstring>

namespace {
RunLog* g_log = nullptr;
} // namespace

void RunLog::Change(const char* what, bool done) {
    char line[RunLogLineSize + 16];
    std::snprintf(line, sizeof line, "%s: %s", what, done ? "done" : "failed");
    Line(line);
}

void SetRunLog(RunLog* log) {
    g_log = log;
}

RunLog* CurrentRunLog() {
    return g_log;
}

namespace {

// One line, or one change with its outcome, from a printf-style format.
void Write(const bool* done, const char* format, va_list args) {
    char text[RunLogLineSize];
    std::vsnprintf(text, sizeof text, format, args);
    if (done)
        g_log->Change(text, *done);
    else
        g_log->Line(text);
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
    va_list args;
    va_start(args, format);
    Write(&done, format, args);
    va_end(args);
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
    char text[2 * FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    LogLine("copy %s: %s", text, outcome);
}

void LogCopyError(const FileEntry* file, ResultCode code, ResultCode answer) {
    if (!g_log)
        return;
    char text[2 * FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    const char* decision = answer == Ok ? "retried" : answer == Skip ? "skipped" : "aborted";
    LogLine("copy %s: failed %u, %s", text, code, decision);
}

void LogDelete(const FileEntry* file, bool done) {
    if (!g_log)
        return;
    char text[FileEntry::TextSize + 8];
    FileText(file, text, sizeof text);
    LogChange(done, "delete %s", text);
}
