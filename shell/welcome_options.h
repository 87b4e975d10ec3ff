// The two dialogs that open the installation: welcome and setup options.
#pragma once

#include "result_code.h"

#include "platform/win32.h"

// 0 to go on, 2 when the user left and confirmed the abort. A welcome
// dialog that cannot be created lets the installation go on.
ResultCode ShowWelcome(HWND owner);
// 0 with SetupOptions and DestinationDir as chosen, 2 when cancelled and
// confirmed. Every option starts chosen.
ResultCode ShowOptions(HWND owner);
