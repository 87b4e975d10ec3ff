#include "setup_state.h"

#include "text.h"

#include <cstring>

SetupOptionFlags SetupOptions = {};
char DestinationDir[MAX_PATH] = "";

const OptionBox kOptionBoxes[7] = {
    {1005, &SetupOptionFlags::KeyboardBds, "KeyboardBds"},
    {1006, &SetupOptionFlags::KeyboardPhonetic, "KeyboardPhonetic"},
    {1007, &SetupOptionFlags::LanguageDriver, "LanguageDriver"},
    {1008, &SetupOptionFlags::DosFilter, "DosFilter"},
    {1012, &SetupOptionFlags::SystemFonts, "SystemFonts"},
    {1013, &SetupOptionFlags::DunorU, "DunorU"},
    {1014, &SetupOptionFlags::ArvelU, "ArvelU"},
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
