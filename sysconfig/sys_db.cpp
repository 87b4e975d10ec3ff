#include "sys_db.h"

#include "ini_file.h"
#include "reg_key.h"
#include "run_log.h"
#include "script_text.h"
#include "text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsRegistry(const char* target) {
    return !*target || std::strcmp(target, "REG") == 0;
}

// The standard decimal conversion, held to 32 bits the same way on every
// platform.
LONG ParseNumber(const char* text) {
    long long n = std::strtoll(text, nullptr, 10);
    if (n > INT32_MAX)
        return INT32_MAX;
    if (n < INT32_MIN)
        return INT32_MIN;
    return LONG(n);
}

// Splits a left part into its target and path. False for a leading bar
// without a second one among the first SysDBMaxBar characters.
bool SplitTarget(const char* left, char* target, const char** path) {
    target[0] = 0;
    if (left[0] != '|') {
        *path = left;
        return true;
    }
    for (size_t i = 1; i < SysDBMaxBar && left[i]; ++i) {
        if (left[i] == '|') {
            CopyBytes(target, SysDBMaxBar, left + 1, i - 1);
            *path = left + i + 1;
            return true;
        }
    }
    return false;
}

// Reads line n; false when the section is over.
bool NextLine(ScriptText& script, const char* section, unsigned n, char* left, char* right,
              bool* usable) {
    unsigned leftCapacity = SysDBLineCapacity, rightCapacity = SysDBLineCapacity;
    ResultCode result =
        script.GetEntry(section, left, &leftCapacity, right, right ? &rightCapacity : nullptr, n);
    // A malformed header would answer the same for every line number.
    if (result == NoSuchLine || result == MalformedScript)
        return false;
    *usable = result == Ok;
    return true;
}

} // namespace

bool WriteSysDBText(const char* target, const char* path, const char* text) {
    if (!IsRegistry(target))
        return IniFile(target).SetValueByPath(path, text) != FALSE;
    if (text[0] == '%')
        return WriteSysDBNumber(target, path, ParseNumber(text + 1));
    RegKey key(RegKey::AccessRead | RegKey::AccessWrite);
    return key.SetString(path, text);
}

bool WriteSysDBNumber(const char* target, const char* path, LONG number) {
    if (!IsRegistry(target)) {
        char text[16];
        std::snprintf(text, sizeof text, "%ld", long(number));
        return IniFile(target).SetValueByPath(path, text) != FALSE;
    }
    RegKey key(RegKey::AccessRead | RegKey::AccessWrite);
    return key.SetNumber(path, DWORD(number));
}

namespace {

// What deleting one line did; a key or value that is not there is no failure.
ChangeOutcome DeleteOutcome(const char* target, const char* path) {
    if (!IsRegistry(target))
        return IniFile(target).DeleteByPath(path) ? ChangeOutcome::Done : ChangeOutcome::Failed;
    RegKey key(RegKey::AccessRead | RegKey::AccessWrite);
    LONG status = key.DeleteEntry(path);
    return status == ERROR_SUCCESS          ? ChangeOutcome::Done
           : status == ERROR_FILE_NOT_FOUND ? ChangeOutcome::NotPresent
                                            : ChangeOutcome::Failed;
}

} // namespace

bool DeleteSysDBEntry(const char* target, const char* path) {
    return DeleteOutcome(target, path) == ChangeOutcome::Done;
}

bool WriteSysDBSection(ScriptText& script, const char* section) {
    char left[SysDBLineCapacity], right[SysDBLineCapacity];
    bool usable = false;
    for (unsigned n = 0; NextLine(script, section, n, left, right, &usable); ++n) {
        char target[SysDBMaxBar];
        const char* path;
        if (!usable || !SplitTarget(left, target, &path))
            continue;
        bool done = right[0] == '%' ? WriteSysDBNumber(target, path, ParseNumber(right + 1))
                                    : WriteSysDBText(target, path, right);
        if (IsRegistry(target))
            LogChange(done, "registry %s = %s", path, right);
        else
            LogChange(done, "ini %s %s = %s", target, path, right);
    }
    return true;
}

bool DeleteSysDBSection(ScriptText& script, const char* section) {
    char left[SysDBLineCapacity];
    bool usable = false;
    for (unsigned n = 0; NextLine(script, section, n, left, nullptr, &usable); ++n) {
        char target[SysDBMaxBar];
        const char* path;
        if (!usable || !SplitTarget(left, target, &path))
            continue;
        ChangeOutcome outcome = DeleteOutcome(target, path);
        if (IsRegistry(target))
            LogOutcome(outcome, "registry delete %s", path);
        else
            LogOutcome(outcome, "ini %s delete %s", target, path);
    }
    return true;
}
