// The main window: as large as the desktop, painted with the background
// picture, owner of every dialog; the whole installation runs inside its
// start message.
#pragma once

#include "install_engine.h"

// 17 when another copy is running (its window is brought to the front), 15
// when the window cannot be made, 0 after the message loop ended.
ResultCode RunMainWindow(InstallEngine* installer);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
