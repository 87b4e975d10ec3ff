// The progress window: a bar with the percentage and a Cancel button, kept
// alive by the engine's update after every file.
#pragma once

#include "platform/win32.h"

#include <cstddef>

struct ProgressState {
    HWND window;      // none when not open
    int total;        // units that make 100 %
    int shownPercent; // never decreases
    int cancelled;    // the user confirmed the abort in this window
    int abortMessage; // id of the abort question
};
extern ProgressState progressState;

HWND OpenProgressWindow(HWND owner, int total, int abortMessage);
// Nonzero to go on; 0 when there is no window, no total, or the user
// confirmed the cancel (now or before).
int UpdateProgress(int done);
// 1 when the window was closed; 0 after a confirmed cancel (it stays).
int CloseProgressWindow();
// Cancel in the progress window: the abort question, at once, whatever the
// copy is waiting for; "&OK" there makes every later update answer 0.
void ProgressCancelPressed();

// The bar's text: "37 %".
void FormatPercent(char* out, size_t size, int percent);
