// The product-wide state the dialogs, the script variables, the font step
// and the hooks share, and the dealings with earlier versions of the
// product: notifying their running programs, proposing the previous
// destination and reading the maker's shared directory.
#pragma once

#include "setup_state.h" // SetupOptions and DestinationDir live with the dialogs

#include "platform/win32.h"

#include <cstddef>

enum { FontExtensionSize = 4 };

// The first disk's directory as the copy phase ended; "" before that.
extern char SourceDir[MAX_PATH];
// The maker's shared directory from velmor.ini; "" when there is none.
extern char SharedDir[MAX_PATH];
// Three hexadecimal digits, or "" when the system fonts are not chosen.
extern char FontExtension[FontExtensionSize];
// The next number AUTO_NUMBER gives; it only grows.
extern LONG AutoNumber;

// The product's key in HKEY_CURRENT_USER, as a registry path.
extern const char kProductKey[];

// The window classes of the product's main program, oldest first.
extern const char* const kMainWindowClasses[3];
enum : UINT { NotifyMessage = WM_USER + 1 };
enum : WPARAM { NotifyCode = 101 };

// `name` after the Windows directory and a backslash, cut to `size` bytes
// (the terminator included); "" when the Windows directory is not known.
void WindowsDirectoryWith(const char* name, char* output, size_t size);

// 1 when `output` (MAX_PATH bytes) holds a directory: the stored destination
// of the last installation, or with `fallback` the Windows directory
// followed by VELMOR; 0 without fallback when none is stored.
int DefaultProgramDir(char* output, int fallback);

// The main window of a running Brivanta 3.2 program, or null.
HWND FindRunningProduct();
// Sends every running main window of this and earlier versions the
// notification message, oldest version first; nothing waits for them.
void NotifyRunningVersions();
// Fills SharedDir from Global\VelmorDir of velmor.ini; "" without the file.
void ReadSharedDir();
