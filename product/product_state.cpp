#include "product_state.h"

#include "ini_file.h"
#include "reg_key.h"
#include "text.h"

#include <cstring>

char SourceDir[MAX_PATH] = "";
char SharedDir[MAX_PATH] = "";
char FontExtension[FontExtensionSize] = "";
LONG AutoNumber = 1;

const char kProductKey[] = "HCU\\Software\\Velmor\\Brivanta\\3.2\\";

const char* const kMainWindowClasses[3] = {"Brivanta 3.0 Main Window", "Brivanta 3.1 Main Window",
                                           "Brivanta 3.2 Main Window"};

void WindowsDirectoryWith(const char* name, char* output, size_t size) {
    if (size == 0)
        return;
    char directory[MAX_PATH];
    UINT n = GetWindowsDirectoryA(directory, sizeof directory);
    if (n == 0 || n >= sizeof directory) {
        output[0] = 0;
        return;
    }
    // A Windows directory at a drive's root already ends in a backslash.
    AppendBackslash(directory, sizeof directory);
    size_t used = CopyText(output, size, directory);
    CopyText(output + used, size - used, name);
}

int DefaultProgramDir(char* output, int fallback) {
    RegKey key(kProductKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    if (key.IsOpen() && key.QueryValue("Program dir", output, MAX_PATH))
        return 1;
    output[0] = 0;
    if (!fallback)
        return 0;
    WindowsDirectoryWith("VELMOR", output, MAX_PATH);
    return 1;
}

HWND FindRunningProduct() {
    return FindWindowA(kMainWindowClasses[2], nullptr);
}

void NotifyRunningVersions() {
    for (int i = 0; i < 3; ++i) {
        HWND window = i < 2 ? FindWindowA(kMainWindowClasses[i], nullptr) : FindRunningProduct();
        if (window)
            SendMessageA(window, NotifyMessage, NotifyCode, 0);
    }
}

void ReadSharedDir() {
    IniFile ini("velmor.ini");
    if (!ini.Exists() || !ini.GetValue("Global", "VelmorDir", "", SharedDir, MAX_PATH))
        SharedDir[0] = 0;
}
