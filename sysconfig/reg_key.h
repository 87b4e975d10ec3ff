// A registry key addressed by a textual path such as
// "HCU\Software\Velmor\Brivanta\3.2\". An absolute path starts with a
// four-character root prefix of which only the first ("H") and third
// character (M, U or C) count; a path given while a key is held is relative
// to that key. The last component of a path names a value; "Default Value"
// names the key's unnamed one.
#pragma once

#include "platform/win32.h"

class RegKey {
  public:
    enum : unsigned { AccessRead = 1, AccessWrite = 2 };
    enum { MaxPath = 1023 };

    explicit RegKey(unsigned access) : access_(access) {}
    // Opens an absolute path; when that fails and `create` is set, makes it
    // (as an empty text value) and opens it again.
    RegKey(const char* path, unsigned access, bool create);
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Handle() const { return key_; }

    void Close();
    // Every component of the path is a key; an empty path closes the key.
    bool Open(const char* path, bool relative);
    // Reads the value's raw data; the buffer always ends up terminated within
    // `size`, and empty on failure.
    bool QueryValue(const char* path, char* buffer, unsigned size);
    bool SetString(const char* path, const char* text);
    bool SetNumber(const char* path, DWORD number);
    // Deletes the last component: a key with all its subkeys, or else a value.
    bool Delete(const char* path) { return DeleteEntry(path) == ERROR_SUCCESS; }
    // The same, answering the registry status: ERROR_FILE_NOT_FOUND when
    // the path names nothing there.
    LONG DeleteEntry(const char* path);

  private:
    // The key a path starts from (the held key, or else the root its prefix
    // names) and the rest of the path; null when it has no root.
    const char* Start(const char* path, HKEY* start) const;
    bool SetValue(const char* path, DWORD type, const BYTE* data);

    HKEY key_ = nullptr;
    unsigned access_;
};

// The walks behind RegKey, down a path (at most RegKey::MaxPath characters)
// from a starting key that they never close. Each answers the registry status
// that ended it.

// Reads the value the path names into `buffer`: *size bytes in, the bytes
// read out. An empty path reads nothing and succeeds.
LONG QueryValueByPath(HKEY start, const char* path, BYTE* buffer, DWORD* size);
// Creates every missing key on the path and writes the value, unless the path
// ends in a backslash. The size stored: REG_SZ the text's length plus one,
// REG_DWORD 4, REG_BINARY `size`, any other type 0.
LONG SetValueByPath(HKEY start, const char* path, const BYTE* data, DWORD type, DWORD size);
// Deletes the last component: a key with all its subkeys, or else a value.
LONG DeleteByPath(HKEY start, const char* path);

// Deletes parent\name and everything under it, deepest keys first.
bool DeleteKeyTree(HKEY parent, const char* name);
