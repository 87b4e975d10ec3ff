#include "setup_state.h"

#include "resource_ids.h"
#include "text.h"

#include <cstring>

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
    UINT n = GetWindowsDirectoryA(output, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        output[0] = 0;
    AppendBackslash(output, MAX_PATH);
    size_t used = std::strlen(output);
    CopyText(output + used, MAX_PATH - used, "VELMOR");
    return 1;
}
