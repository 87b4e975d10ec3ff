// The installation choices the dialogs write and the product reads: the
// option flags and the destination directory, one of each per process.
#pragma once

#include "platform/win32.h"

struct SetupOptionFlags {
    DWORD KeyboardBds;
    DWORD KeyboardPhonetic;
    DWORD LanguageDriver;
    DWORD DosFilter;
    DWORD SystemFonts;
    DWORD DunorU;
    DWORD ArvelU;
};

extern SetupOptionFlags SetupOptions;
extern char DestinationDir[MAX_PATH];

// The check box of the options dialog that stands for each flag.
struct OptionBox {
    int control;
    DWORD SetupOptionFlags::*flag;
    const char* name; // as answer files and the command line name it
};
extern const OptionBox kOptionBoxes[7];

// Proposes the destination: 1 when `output` (MAX_PATH bytes) holds a
// directory. The product installs one that reads the stored directory;
// without it, or with `fallback` set when it finds none, the proposal is the
// Windows directory followed by "VELMOR".
typedef int (*DefaultProgramDirHook)(char* output, int fallback);
void SetDefaultProgramDirHook(DefaultProgramDirHook hook);
int ProposeProgramDir(char* output, int fallback);
