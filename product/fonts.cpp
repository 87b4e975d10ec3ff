#include "fonts.h"

#include "product_state.h"

#include "ini_file.h"
#include "reg_key.h"
#include "run_log.h"
#include "text.h"

#include <cstdio>
#include <cstring>

namespace {

struct SystemFont {
    const char* file;     // the system's font file
    const char* baseName; // the new file is baseName.<FontExtension>
    bool system;          // RenameFiles code ",6" (else ",2")
};
struct FontSubstitute {
    const char* key;
    const char* value;
};

const SystemFont kSystemFontTable[15] = {
    {"8514sys.fon", "8514sys", true},  {"vgasys.fon", "vgasys", true},
    {"8514fix.fon", "8514fix", true},  {"vgafix.fon", "vgafix", true},
    {"courf.fon", "courf", true},      {"coure.fon", "coure", true},
    {"seriff.fon", "seriff", false},   {"serife.fon", "serife", false},
    {"sseriff.fon", "sseriff", false}, {"sserife.fon", "sserife", false},
    {"smallf.fon", "smallf", false},   {"smalle.fon", "smalle", false},
    {"8514oem.fon", "8514oem", true},  {"vgaoem.fon", "vgaoem", true},
    {"dosapp.fon", "dosapp", true},
};

// Older font files of the system directory, taken away at the next start.
const char* const kOldFontTable[26] = {
    "fixb01.fon", "fixe01.fon", "fixf01.fon", "helb01.fon", "helf01.fon", "hele01.fon",
    "oemb01.fon", "oemb03.fon", "oeme01.fon", "oeme03.fon", "oeme04.fon", "oeme05.fon",
    "oeme06.fon", "oeme07.fon", "oeme08.fon", "oemf01.fon", "oemf03.fon", "smab01.fon",
    "smae01.fon", "smaf01.fon", "sysb01.fon", "syse01.fon", "sysf01.fon", "woa_01.fon",
    "woa_03.fon", "woa_07.fon"};

const FontSubstitute kFontSubstituteTable[9] = {
    {"System,0", "System,204"},
    {"Fixedsys,0", "Fixedsys,204"},
    {"Small Fonts,0", "Small Fonts,204"},
    {"Courier,0", "Courier,204"},
    {"MS Sans Serif,0", "MS Sans Serif,204"},
    {"MS Shell Dlg,0", "MS Sans Serif,204"},
    {"MS Serif,0", "MS Serif,204"},
    {"Helv,0", "MS Sans Serif,204"},
    {"Tms Rmn,0", "MS Serif,204"},
};

const char kRenameFilesKey[] =
    "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RenameFiles\\Fonts\\";

} // namespace

void FontsDirectory(char* output, size_t size) {
    WindowsDirectoryWith("FONTS", output, size);
}

void ChooseFontExtension() {
    char directory[MAX_PATH], pattern[MAX_PATH + 8];
    FontsDirectory(directory, sizeof directory);
    JoinPath(pattern, sizeof pattern, directory, "\\*.000");
    char* extension = pattern + std::strlen(pattern) - 3;
    int n = 1;
    for (; n < 100; ++n) {
        std::snprintf(extension, 4, "%03x", unsigned(n));
        if (!PathExists(pattern))
            break;
    }
    if (n == 100)
        n = 99; // all taken: the last one tried
    std::snprintf(FontExtension, sizeof FontExtension, "%03x", unsigned(n));
}

int ScheduleSystemDelete(const char* fileName) {
    char directory[MAX_PATH], path[MAX_PATH];
    UINT n = GetSystemDirectoryA(directory, sizeof directory);
    if (n == 0 || n >= sizeof directory)
        directory[0] = 0;
    AppendBackslash(directory, sizeof directory);
    bool done = JoinPath(path, sizeof path, directory, fileName) &&
                IniFile("wininit.ini").InsertEntry("rename", "NULL", path) != FALSE;
    LogChange(done, "wininit [rename] NULL=%s%s", directory, fileName);
    return 1;
}

int ScheduleOldFontDeletes() {
    for (const char* name : kOldFontTable)
        ScheduleSystemDelete(name);
    return 1;
}

int ScheduleFontRename(const char* fontFile, const char* newFile, bool system) {
    RegKey key(kRenameFilesKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    char directory[MAX_PATH];
    FontsDirectory(directory, sizeof directory);
    AppendBackslash(directory, sizeof directory);
    char target[MAX_PATH], source[MAX_PATH];
    // The key is the name the file gets, the value the file moved there.
    bool done = JoinPath(target, sizeof target, directory, fontFile) &&
                JoinPath(source, sizeof source, directory, newFile) &&
                IniFile("wininit.ini").SetValue("rename", target, source) != FALSE;
    LogChange(done, "wininit [rename] %s%s=%s%s", directory, fontFile, directory, newFile);
    char valueName[MAX_PATH];
    CopyText(valueName, sizeof valueName, fontFile);
    UpperCase(valueName);
    const char* code = system ? ",6" : ",2";
    // Not every Windows has the key (Wine has none); without it there is
    // nothing to write.
    ChangeOutcome outcome = !key.IsOpen()                    ? ChangeOutcome::NotPresent
                            : key.SetString(valueName, code) ? ChangeOutcome::Done
                                                             : ChangeOutcome::Failed;
    LogOutcome(outcome,
               key.IsOpen() ? "registry %s%s = %s" : "registry %s%s = %s (the key is missing)",
               kRenameFilesKey, valueName, code);
    key.Close();
    return 1;
}

int ScheduleSystemFontRenames() {
    for (const SystemFont& font : kSystemFontTable) {
        char newFile[64];
        std::snprintf(newFile, sizeof newFile, "%s.%s", font.baseName, FontExtension);
        ScheduleFontRename(font.file, newFile, font.system);
    }
    return 1;
}

int WriteFontSubstitutes() {
    IniFile winIni("WIN.INI");
    for (const FontSubstitute& entry : kFontSubstituteTable) {
        bool done = winIni.SetValue("FontSubstitutes", entry.key, entry.value) != FALSE;
        LogChange(done, "ini WIN.INI FontSubstitutes\\%s = %s", entry.key, entry.value);
    }
    return 1;
}

int ReplaceSystemFonts() {
    ScheduleOldFontDeletes();
    ScheduleSystemFontRenames();
    WriteFontSubstitutes();
    return 1;
}
