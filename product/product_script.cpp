#include "product_script.h"

#include "product_state.h"

#include "reg_key.h"
#include "text.h"

#include <cstdio>
#include <cstring>

const char kFontsKey[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";

namespace {

enum { ScratchSize = 10 };

struct Condition {
    const char* name;
    DWORD SetupOptionFlags::*flag;
};
const Condition kConditions[7] = {
    {"IF_KBDPH", &SetupOptionFlags::KeyboardPhonetic},
    {"IF_KBDBDS", &SetupOptionFlags::KeyboardBds},
    {"IF_LANGDRV", &SetupOptionFlags::LanguageDriver},
    {"IF_DOSFIL", &SetupOptionFlags::DosFilter},
    {"IF_FONTS", &SetupOptionFlags::SystemFonts},
    {"IF_DUNORU", &SetupOptionFlags::DunorU},
    {"IF_ARVELU", &SetupOptionFlags::ArvelU},
};

ResultCode Answer(ResultCode code, const char* text, char* dest, unsigned* room) {
    size_t length = std::strlen(text);
    unsigned n = length < *room ? unsigned(length) : *room;
    std::memcpy(dest, text, n);
    *room = n;
    return code;
}

// A directory of the state with a trailing backslash.
ResultCode AnswerDirectory(const char* directory, char* dest, unsigned* room) {
    char text[MAX_PATH + 1];
    CopyText(text, sizeof text, directory);
    AppendBackslash(text, sizeof text);
    return Answer(Ok, text, dest, room);
}

// The stored shortcut choice; "2" when none is stored or it begins with 0.
// Reads no more than the room holds, and at most ten bytes.
ResultCode AnswerShortcut(char* dest, unsigned* room) {
    char value[ScratchSize];
    unsigned limit = *room < ScratchSize - 1 ? *room + 1 : unsigned(ScratchSize);
    RegKey key(kProductKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    bool read = key.IsOpen() && key.QueryValue("General shortcut", value, limit);
    if (!read || value[0] == 0 || value[0] == '0')
        return Answer(Ok, "2", dest, room);
    return Answer(Ok, value, dest, room);
}

// 5 when the family is registered (the line is for machines without it).
ResultCode AnswerFamilyMissing(const char* valueName, char* dest, unsigned* room) {
    char value[ScratchSize];
    RegKey key(kFontsKey, RegKey::AccessRead | RegKey::AccessWrite, false);
    bool installed = key.IsOpen() && key.QueryValue(valueName, value, sizeof value);
    return Answer(installed ? NotApplicable : Ok, "", dest, room);
}

} // namespace

ResultCode ProductScript::ResolveVariable(const char* name, char* dest, unsigned* room) {
    for (const Condition& c : kConditions) {
        if (CompareNoCase(name, c.name) == 0)
            return Answer(SetupOptions.*c.flag ? Ok : NotApplicable, "", dest, room);
    }
    if (CompareNoCase(name, "BV_DIR") == 0 || CompareNoCase(name, "BV_Path") == 0)
        return AnswerDirectory(DestinationDir, dest, room);
    if (CompareNoCase(name, "BV_SRC_DIR") == 0)
        return AnswerDirectory(SourceDir, dest, room);
    if (CompareNoCase(name, "DEL_OLD") == 0)
        return Answer(SharedDir[0] ? Ok : NotApplicable, "", dest, room);
    if (CompareNoCase(name, "AUTO_NUMBER") == 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%ld", long(AutoNumber));
        ++AutoNumber;
        return Answer(Ok, number, dest, room);
    }
    if (CompareNoCase(name, "FEXT") == 0)
        return Answer(Ok, FontExtension, dest, room);
    if (CompareNoCase(name, "BV_SCUT") == 0)
        return AnswerShortcut(dest, room);
    if (CompareNoCase(name, "IF_REG") == 0)
        return Answer(Ok, "", dest, room);
    if (CompareNoCase(name, "IF_N_DUNOR") == 0)
        return AnswerFamilyMissing("Dunor (TrueType)", dest, room);
    if (CompareNoCase(name, "IF_N_ARVEL") == 0)
        return AnswerFamilyMissing("Arvel (TrueType)", dest, room);
    return Answer(NotApplicable, "", dest, room);
}
