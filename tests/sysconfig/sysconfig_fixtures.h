// Places for the system configuration tests that leave nothing behind on a
// real Windows: a registry key of this process under
// HKCU\Software\BrivantaTest and INI files of this process in the Windows
// directory, all removed afterwards. On the host they live in the fresh
// machine of a Scratch.
#pragma once

#include "support/scratch.h"

#include "platform/win32.h"
#include "reg_key.h"

#include <string>

#ifdef _WIN32
inline unsigned long ProcessNumber() {
    return GetCurrentProcessId();
}
#else
#include <unistd.h>
inline unsigned long ProcessNumber() {
    return (unsigned long)getpid();
}
#endif

// The value's type and size as the registry holds it; type REG_NONE and size
// 0 when it is missing.
struct StoredValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::string data;
    bool found = false;
};

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline StoredValue ReadStored(HKEY root, const std::string& path, const char* name) {
    StoredValue v;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return v;
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        v.found = true;
        v.size = size;
        v.data.assign(data, size);
    }
    RegCloseKey(key);
    return v;
}

class TestRegistry {
  public:
    TestRegistry() {
        sub_ = "Software\\BrivantaTest\\" + std::to_string(ProcessNumber());
        Remove();
    }
    ~TestRegistry() {
        Remove();
        HKEY software;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software) == 0) {
            HKEY test;
            char name[8];
            DWORD size = sizeof name;
            if (RegOpenKeyExA(software, "BrivantaTest", 0, KEY_ALL_ACCESS, &test) == 0) {
                bool empty = RegEnumKeyExA(test, 0, name, &size, nullptr, nullptr, nullptr,
                                           nullptr) == ERROR_NO_MORE_ITEMS;
                RegCloseKey(test);
                if (empty)
                    RegDeleteKeyA(software, "BrivantaTest");
            }
            RegCloseKey(software);
        }
    }
    // "Software\BrivantaTest\<pid>" under HKEY_CURRENT_USER.
    const std::string& Sub() const { return sub_; }
    // The same as a RegKey path, ending in a backslash.
    std::string Path(const std::string& rest = "") const { return "HCU\\" + sub_ + "\\" + rest; }

  private:
    void Remove() {
        HKEY parent;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BrivantaTest", 0, KEY_ALL_ACCESS,
                          &parent) == 0) {
            DeleteKeyTree(parent, std::to_string(ProcessNumber()).c_str());
            RegCloseKey(parent);
        }
    }
    Scratch scratch_; // the host's machine; a spare folder on Windows
    std::string sub_;
};

// An INI file of this process in the Windows directory.
class TestIni {
  public:
    explicit TestIni(const std::string& stem) {
        name_ = "BT" + std::to_string(ProcessNumber() % 100000) + stem + ".INI";
        char dir[MAX_PATH];
        GetWindowsDirectoryA(dir, MAX_PATH);
        path_ = std::string(dir) + "\\" + name_;
        Remove();
    }
    ~TestIni() { Remove(); }
    const std::string& Name() const { return name_; }
    const std::string& Path() const { return path_; }
    // Writes the file directly, and makes the system forget a cached copy.
    bool Write(const std::string& text) const {
        bool ok = Scratch::WriteFile(path_, text);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, name_.c_str());
        return ok;
    }
    std::string Read() const { return Scratch::ReadFile(path_); }

  private:
    void Remove() const {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, name_.c_str());
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
    }
    std::string name_;
    std::string path_;
};

// The temporary file of the INI rewrites.
inline std::string RewriteTempPath() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = dir;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path + "wdps.tmp";
}
