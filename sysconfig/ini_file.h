// One INI file by name: WIN.INI goes through the WIN.INI profile calls, any
// other file through the private-profile calls (a name without a directory
// is looked for in the Windows directory). Besides single keys it offers two
// whole-file rewrites through a temporary copy, for what the profile calls
// cannot do: disabling a key by a leading "*", and inserting a line at the
// top of a section even when its key is already there.
#pragma once

#include "platform/win32.h"

class IniFile {
  public:
    enum { MaxName = 259, MaxSectionPath = 127, LineCapacity = 260 };

    // Upper-cases the name and adds ".INI" when it has no dot. A name that
    // does not fit leaves the object unusable: every operation fails.
    explicit IniFile(const char* name);

    const char* Name() const { return name_; }

    // A stored value beginning with "!" counts as missing. Missing: the
    // buffer holds `fallback` and the answer is false.
    bool GetValue(const char* section, const char* key, const char* fallback, char* buffer,
                  DWORD size) const;
    // Paths are "section\key" (the key may hold further backslashes).
    bool GetValueByPath(const char* path, const char* fallback, char* buffer, DWORD size) const;
    BOOL SetValue(const char* section, const char* key, const char* value) const;
    BOOL SetValueByPath(const char* path, const char* value) const;
    // "section\key" deletes the key, "section" alone the whole section.
    BOOL DeleteByPath(const char* path) const;

    // Puts "*" before the key's lines inside the section (and only there).
    bool DisableKey(const char* section, const char* key) const;
    // Writes key=value right after each header of the section, or appends
    // the section with that line; a missing file is made.
    bool InsertEntry(const char* section, const char* key, const char* value) const;

    bool Exists() const;

  private:
    enum class Edit { Disable, Insert };
    bool IsWinIni() const;
    DWORD Read(const char* section, const char* key, char* buffer, DWORD size) const;
    BOOL Write(const char* section, const char* key, const char* value) const;
    void FlushCache() const;
    bool Rewrite(Edit edit, const char* section, const char* key, const char* value) const;

    char name_[MaxName + 1];
    bool valid_ = false;
};
