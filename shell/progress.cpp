#include "progress.h"

#include "dialog_front_end.h"
#include "language.h"
#include "messages.h"

#include <cstdio>

ProgressState progressState = {};

HWND OpenProgressWindow(HWND owner, int total, int abortMessage) {
    progressState = ProgressState{nullptr, total, 0, 0, abortMessage};
    if (DialogFrontEnd* frontEnd = FrontEnd())
        progressState.window = frontEnd->OpenProgress(owner, MapResourceId(DlgProgress));
    return progressState.window;
}

int UpdateProgress(int done) {
    ProgressState& s = progressState;
    if (!s.window || s.total <= 0 || s.cancelled)
        return 0;
    // Wider than 32 bits so that no count can overflow into a wrong percent.
    long long percent = static_cast<long long>(done) * 100 / s.total;
    if (percent > s.shownPercent && percent <= 100)
        s.shownPercent = int(percent);
    if (FrontEnd()->UpdateProgress(s.window, s.shownPercent))
        ProgressCancelPressed();
    return s.cancelled ? 0 : 1;
}

void ProgressCancelPressed() {
    ProgressState& s = progressState;
    if (!s.window)
        return;
    if (DialogFrontEnd* frontEnd = FrontEnd())
        frontEnd->ProgressCancelNoted(s.shownPercent);
    // Here the first button, which confirms the abort, is the default. Only
    // that answer cancels; a question that cannot be shown is no
    // confirmation, and the copy goes on.
    if (AskMessage(s.window, s.abortMessage, 0) == 1)
        s.cancelled = 1;
}

int CloseProgressWindow() {
    if (progressState.cancelled)
        return 0;
    if (progressState.window && FrontEnd())
        FrontEnd()->CloseProgress(progressState.window);
    progressState.window = nullptr;
    return 1;
}

void FormatPercent(char* out, size_t size, int percent) {
    std::snprintf(out, size, "%d %c", percent, '%');
}
