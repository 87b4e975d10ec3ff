#include "setup_state.h"

#include "resource_ids.h"
#include "text.h"

SetupOptionFlags SetupOptions = {};
char DestinationDir[MAX_PATH] = "";

const OptionBox kOptionBoxes[7] = {
    {IDC_KEYBOARD_BDS, &SetupOptionFlags::KeyboardBds, "KeyboardBds"},
    {IDC_KEYBOARD_PHONETIC, &SetupOptionFlags::KeyboardPhonetic, "KeyboardPhonetic"},
    {IDC_LANGUAGE_DRIVER, &SetupOptionFlags::LanguageDriver, "LanguageDriver"},
    {IDC_DOS_FILTER, &SetupOptionFlags::DosFilter, "DosFilter"},
    {IDC_SYSTEM_FONTS, &SetupOptionFlags::SystemFonts, "SystemFonts"},
    {IDC_DUNORU, &SetupOptionFlags::DunorU, "DunorU"},
    {IDC_ARVELU, &SetupOptionFlags::ArvelU, "ArvelU"},
};

namespace {
DefaultProgramDirHook g_hook = nullptr;
} // namespace

void SetDefaultProgramDirHook(DefaultProgramDirHook hook) {
    g_hook = hook;
}

int ProposeProgramDir(char* output, int fallback) {
    if (g_hook)
        return g_hook(output, fallback);
    if (!fallback)
        return 0;
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows)
        windows[0] = 0;
    AppendBackslash(windows, sizeof windows);
    JoinPath(output, MAX_PATH, windows, "VELMOR");
    return 1;
}
