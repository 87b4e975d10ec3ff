#include "keyboard.h"

#include "ini_file.h"
#include "messages.h"
#include "reg_key.h"
#include "resource_ids.h"
#include "run_log.h"
#include "text.h"

#include <cstring>

namespace {

const char kEarlierDriver[] = "kbdbriv2.drv";
const char kEarlierPanel[] = "go_bvpan.exe";
const char kRunKey[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const char kIndicatorProgram[] = "internat.exe";
const char kIndicatorDisabled[] = "internat.ex$";
const char kIndicatorClass[] = "Indicator";
enum { IniValueSize = 100, RegValueSize = 260, IndicatorPolls = 1000 };

// The file's full path in the system directory; "" when it does not fit.
void SystemFilePath(const char* name, char* path, size_t size) {
    char directory[MAX_PATH];
    UINT n = GetSystemDirectoryA(directory, sizeof directory);
    if (n == 0 || n >= sizeof directory)
        directory[0] = 0;
    AppendBackslash(directory, sizeof directory);
    if (!JoinPath(path, size, directory, name))
        path[0] = 0;
}

bool IndicatorProgramExists() {
    char path[MAX_PATH];
    SystemFilePath(kIndicatorProgram, path, sizeof path);
    return path[0] && PathExists(path);
}

bool IndicatorRegistered(RegKey* key) {
    char value[RegValueSize];
    return key->IsOpen() && key->QueryValue(kIndicatorProgram, value, sizeof value);
}

} // namespace

bool EarlierKeyboardSetupPresent() {
    char value[IniValueSize];
    GetPrivateProfileStringA("boot", "keyboard.drv", "", value, sizeof value, "system.ini");
    if (value[0] && CompareNoCase(value, kEarlierDriver) == 0)
        return true;
    GetProfileStringA("windows", "load", "", value, sizeof value);
    return CompareNoCase(value, kEarlierPanel) == 0;
}

BOOL RemoveEarlierKeyboardSetup() {
    IniFile systemIni("system.ini");
    IniFile winIni("win.ini");
    char value[IniValueSize];
    if (systemIni.GetValue("boot", "keyboard.drv", "", value, sizeof value) && value[0] &&
        CompareNoCase(value, kEarlierDriver) == 0)
        LogChange(systemIni.DisableKey("boot", "keyboard.drv"),
                  "ini SYSTEM.INI boot\\keyboard.drv disabled");
    winIni.GetValue("windows", "load", "", value, sizeof value);
    if (CompareNoCase(value, kEarlierPanel) != 0)
        return 1;
    BOOL done = winIni.SetValue("windows", "load", "");
    LogChange(done != FALSE, "ini WIN.INI windows\\load = ");
    return done;
}

bool LayoutIndicatorPresent() {
    RegKey key(kRunKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    if (IndicatorRegistered(&key))
        return IndicatorProgramExists();
    return FindWindowA(kIndicatorClass, nullptr) != nullptr;
}

BOOL DisableLayoutIndicator() {
    if (HWND window = FindWindowA(kIndicatorClass, nullptr)) {
        SendMessageA(window, WM_CLOSE, 0, 0);
        // The window may go away a little after its program handled WM_CLOSE.
        for (int i = 0; i < IndicatorPolls && FindWindowA(kIndicatorClass, nullptr); ++i) {
        }
    }
    RegKey key(kRunKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    if (IndicatorRegistered(&key))
        LogChange(key.Delete(kIndicatorProgram), "registry delete %s%s", kRunKey,
                  kIndicatorProgram);
    if (!IndicatorProgramExists())
        return 1;
    char from[MAX_PATH], to[MAX_PATH];
    SystemFilePath(kIndicatorProgram, from, sizeof from);
    SystemFilePath(kIndicatorDisabled, to, sizeof to);
    BOOL moved = MoveFileA(from, to);
    LogChange(moved != FALSE, "rename %s -> %s", from, to);
    return moved;
}

void SetUpKeyboard(HWND owner) {
    // Both tests look at the machine before anything changes.
    bool earlier = EarlierKeyboardSetupPresent();
    bool indicator = LayoutIndicatorPresent();
    if (earlier)
        RemoveEarlierKeyboardSetup();
    if (indicator && AskMessage(owner, IDS_DISABLE_INDICATOR, 0) == 1)
        DisableLayoutIndicator();
}
