#include "run_watch.h"

#include "dialog_answers.h"
#include "language.h"
#include "run_log.h"
#include "text.h"

#include <cstdio>
#include <cstring>

const ExitCodeMeaning kExitCodes[7] = {
    {ExitInstalled, "installed (and restarted, when the restart was chosen)"},
    {ExitRestartPending, "installed; the restart was declined or is pending"},
    {ExitCancelled, "cancelled by the user"},
    {ExitRepeats, "stopped: the answers repeat a dialog without end"},
    {ExitAborted, "aborted after an error"},
    {ExitBadInput, "bad invocation, or input that does not pass its checks; nothing changed"},
    {ExitAlreadyRunning, "another run is already on this machine; nothing changed"},
};

namespace {

// Messages that tell why a run cannot go on; the one shown last is what
// an abort is put down to.
bool IsErrorMessage(int id) {
    static const int kErrors[] = {5, 9, 10, 11, 13, 16, 21, 23, 62};
    for (int error : kErrors)
        if (id == error)
            return true;
    return false;
}

// A cancel that the abort question follows: the cancellable dialogs'.
bool CanBeCancelled(const DialogState& state) {
    return state.templateId == IDD_WELCOME || state.templateId == IDD_OPTIONS || IsPrompt(state);
}

} // namespace

RunWatch::RunWatch(DialogFrontEnd* shown, AnswerFile* record) : shown_(shown), record_(record) {}

int RunWatch::RunDialog(HWND owner, DialogState& state, DialogCommands* commands) {
    bool options = state.templateId == IDD_OPTIONS;
    optionsOpen_ += options;
    int result = shown_->RunDialog(owner, state, commands);
    optionsOpen_ -= options;
    // Welcome and options end with the whole command; the button is its low word.
    int button = result == -1 ? -1 : (result & 0xFFFF);
    char line[DialogAnswers::DescriptionSize];
    DescribeDialog(state, button, line, sizeof line);
    LogLine("dialog %s", line);
    RecordAnswer(record_, state, button, !options && optionsOpen_ > 0);
    if (CanBeCancelled(state) && button == 2 && !(IsPrompt(state) && optionsOpen_ > 0))
        cancelling_ = DialogName(state);
    if (IsQuestion(state) && state.messageId == IDS_ABORT_CONFIRM) {
        if (button == 1 && cancelling_)
            cancelledIn_ = cancelling_;
        cancelling_ = nullptr;
    }
    // A question about an error counts when it was not answered "go on".
    if (IsErrorMessage(state.messageId) && !IsPrompt(state) &&
        (!IsQuestion(state) || button != 1)) {
        // On one line: a line break becomes a blank, unless one follows.
        size_t n = 0;
        for (const char* c = state.Text(IDC_MESSAGE_TEXT); *c && n + 1 < sizeof error_; ++c) {
            bool lineEnd = *c == '\n' || *c == '\r';
            if (!lineEnd)
                error_[n++] = *c;
            else if (c[1] != ' ' && c[1] != '\n')
                error_[n++] = ' ';
        }
        error_[n] = 0;
    }
    return result;
}

HWND RunWatch::OpenProgress(HWND owner, int templateId) {
    HWND window = shown_->OpenProgress(owner, templateId);
    LogLine(window ? "progress window opened" : "progress window: cannot be opened");
    return window;
}

// Every Cancel of the progress window comes here: the one a front end
// answers from UpdateProgress and the one a window takes as it comes.
void RunWatch::ProgressCancelNoted(int percent) {
    shown_->ProgressCancelNoted(percent);
    LogLine("progress: Cancel pressed at %d %%", percent);
    cancelling_ = "the progress window";
    if (record_) {
        char at[8];
        std::snprintf(at, sizeof at, "%d", percent);
        record_->Set("Progress", "CancelAt", at);
    }
}

namespace {

// "Windows 98 (4.10, build 1998, A)": what GetVersionExA reports.
void DescribeWindows(char* out, size_t size) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        CopyText(out, size, "unknown (GetVersionExA failed)");
        return;
    }
    const bool nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const char* name = nt                          ? "Windows NT"
                       : info.dwMinorVersion == 0  ? "Windows 95"
                       : info.dwMinorVersion == 10 ? "Windows 98"
                       : info.dwMinorVersion == 90 ? "Windows Me"
                                                   : "Windows";
    // Windows 95/98 keep the version in the high word of the build number.
    unsigned build = nt ? unsigned(info.dwBuildNumber) : unsigned(info.dwBuildNumber & 0xFFFF);
    char extra[sizeof info.szCSDVersion];
    const char* from = info.szCSDVersion;
    while (*from == ' ')
        ++from;
    CopyText(extra, sizeof extra, from);
    for (size_t n = std::strlen(extra); n > 0 && extra[n - 1] == ' ';)
        extra[--n] = 0;
    std::snprintf(out, size, "%s (%lu.%lu, build %u%s%s)", name, (unsigned long)info.dwMajorVersion,
                  (unsigned long)info.dwMinorVersion, build, extra[0] ? ", " : "", extra);
}

} // namespace

void LogHeader(const LogHeading& h) {
    char windows[200];
    DescribeWindows(windows, sizeof windows);
    LogLine("started: %s", h.started);
    LogLine("program: %s", h.program);
    LogLine("command line: %s", h.commandLine);
    LogLine("source: %s", h.source);
    LogLine("answer file: %s", h.answers);
    LogLine("Windows: %s", windows);
}

RunEnd EndOfRun(ResultCode runResult, bool restartAccepted, bool restarted, const RunWatch& watch,
                const char* loopDialog) {
    RunEnd end = {};
    const size_t size = sizeof end.sentence;
    if (loopDialog) {
        end.exitCode = ExitRepeats;
        std::snprintf(end.sentence, size, "Stopped: the answers repeat this dialog without end: %s",
                      loopDialog);
    } else if (runResult == Ok && (!restartAccepted || restarted)) {
        end.exitCode = restartAccepted ? ExitInstalled : ExitRestartPending;
        CopyText(end.sentence, size,
                 restartAccepted ? "Installed." : "Installed; the restart was declined.");
    } else if (runResult == Ok) {
        end.exitCode = ExitRestartPending;
        CopyText(end.sentence, size, "Installed; the restart is pending: Windows did not restart.");
    } else if (watch.CancelledIn()) {
        end.exitCode = ExitCancelled;
        std::snprintf(end.sentence, size, "Cancelled in %s.", watch.CancelledIn());
    } else {
        end.exitCode = ExitAborted;
        if (watch.LastError()[0])
            std::snprintf(end.sentence, size, "Aborted: %s", watch.LastError());
        else
            std::snprintf(end.sentence, size, "Aborted (code %u: %s).", runResult,
                          ResultMeaning(runResult));
    }
    LogTotalsLine();
    LogLine("result %d: %s", end.exitCode, end.sentence);
    return end;
}
