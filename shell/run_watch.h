// What a run came to. Every front end of a run is wrapped in a RunWatch,
// which passes each dialog on to it and notes the answer: in the run log,
// in the record of answers when one is kept, and in the run's outcome (where
// a cancel was confirmed, the last error message shown). At the end the
// outcome becomes one exit code and one plain sentence, the same for the
// host program and for setup.exe run with options.
#pragma once

#include "answer_file.h"
#include "dialog_front_end.h"
#include "result_code.h"

#include <cstddef>

// The exit codes; setup.exe without options always ends with 0.
enum RunExitCode : int {
    ExitInstalled = 0,      // installed (and restarted, when that was asked)
    ExitRestartPending = 1, // installed; the restart was declined or is pending
    ExitCancelled = 2,      // cancelled by the user
    ExitRepeats = 3,        // the answers repeat a dialog without end
    ExitAborted = 4,        // aborted after an error
    ExitBadInput = 5,       // bad invocation, or input that does not pass its checks
    ExitAlreadyRunning = 17 // another run is already on this machine
};
struct ExitCodeMeaning {
    int code;
    const char* meaning;
};
extern const ExitCodeMeaning kExitCodes[7];

class RunWatch : public DialogFrontEnd {
  public:
    // `shown`: the front end that shows (or answers) the dialogs; `record`:
    // where the answers go, or null.
    RunWatch(DialogFrontEnd* shown, AnswerFile* record);

    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override;
    void AfterDialog(HWND owner) override { shown_->AfterDialog(owner); }
    int BrowseForDirectory(HWND owner, char* buffer) override {
        return shown_->BrowseForDirectory(owner, buffer);
    }
    HWND OpenProgress(HWND owner, int templateId) override;
    bool UpdateProgress(HWND window, int percent) override {
        return shown_->UpdateProgress(window, percent);
    }
    void ProgressCancelNoted(int percent) override;
    void CloseProgress(HWND window) override { shown_->CloseProgress(window); }
    void ShowProgress(HWND window, bool visible) override { shown_->ShowProgress(window, visible); }

    // Where a cancel was confirmed ("the options dialog"), or null.
    const char* CancelledIn() const { return cancelledIn_; }
    // The last error message shown, on one line; "" when none.
    const char* LastError() const { return error_; }

  private:
    DialogFrontEnd* shown_;
    AnswerFile* record_;
    const char* cancelling_ = nullptr; // the dialog just cancelled
    const char* cancelledIn_ = nullptr;
    char error_[DialogState::TextSize + 16] = "";
    int optionsOpen_ = 0;
};

// The head of a run's log, before its first event: one "name: value" line
// each, and the Windows version the run finds.
struct LogHeading {
    const char* started;     // date and time, "2025-01-31 14:05:09"
    const char* program;     // name and version
    const char* commandLine; // as given
    const char* source;      // where setup runs from
    const char* answers;     // the answer file, or what answers the dialogs
};
void LogHeader(const LogHeading& heading);

struct RunEnd {
    int exitCode;
    char sentence[DialogState::TextSize + 160];
};

// The end of a run: `runResult` is what InstallEngine::Run answered,
// `restartAccepted` whether the restart was chosen and `restarted` whether
// it was carried out; `loopDialog` is DialogAnswers::LoopDialog(). The
// totals and then the result go to the run log as its last lines.
RunEnd EndOfRun(ResultCode runResult, bool restartAccepted, bool restarted, const RunWatch& watch,
                const char* loopDialog);
