// Takes an earlier version's keyboard driver and panel loader out of the INI
// files and, when the user agrees, switches off the system's keyboard-layout
// indicator: closes its window, removes it from the start-up list and
// renames its program file.
#pragma once

#include "platform/win32.h"

// Runs once before the script's sections are read; asks message 59 (owned
// by `owner`) when the indicator is there. Failures are silent.
void SetUpKeyboard(HWND owner);

bool EarlierKeyboardSetupPresent();
// The result of the WIN.INI write when one is made, else 1.
BOOL RemoveEarlierKeyboardSetup();
bool LayoutIndicatorPresent();
// The result of the rename when one is made, else 1.
BOOL DisableLayoutIndicator();
