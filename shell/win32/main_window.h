// The main window: as large as the desktop, painted with the background
// picture, owner of every dialog; the whole installation runs inside its
// start message.
#pragma once

#include "install_engine.h"

// 17 when another copy is running (its window is brought to the front), 15
// when the window cannot be made, 0 after the message loop ended. A window
// not `shown` stays hidden: the run has no screen, yet marks the machine.
ResultCode RunMainWindow(InstallEngine* installer, bool shown = true);

// What the last run in the main window came to: the run's own result, from
// before the finishing hook, and whether Windows agreed to restart.
struct MainWindowRun {
    ResultCode runResult;
    bool restartRequested;
    bool restartStarted;
};
const MainWindowRun& LastMainWindowRun();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
