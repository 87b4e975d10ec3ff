// A machine for the product's tests, through the Win32 calls only. On the
// host it is the fresh machine of a Scratch. Under Wine it is the prefix
// itself: the INI files, registry values and files the product touches are
// saved first and put back (or removed) afterwards, so the tests leave the
// prefix as they found it.
#pragma once

#include "support/scratch.h"

#include "platform/win32.h"
#include "reg_key.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include "platform/host_testing.h"
#endif

inline std::string WithBackslash(std::string dir) {
    if (dir.empty() || dir.back() != '\\')
        dir += '\\';
    return dir;
}

inline std::string WindowsDir() {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return WithBackslash(dir);
}

inline std::string SystemDir() {
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    return WithBackslash(dir);
}

inline std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// Forgets the cached copy of an INI file after it was written directly.
inline void ForgetIni(const std::string& name) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, name.c_str());
    if (Upper(name) == "WIN.INI")
        WriteProfileStringA(nullptr, nullptr, nullptr);
}

// The registry key names the product uses (RegKey paths).
extern const char kTestProductKey[];
extern const char kTestFontsKey[];
extern const char kTestRunKey[];
extern const char kTestRenameFilesKey[];

class ProductMachine {
  public:
    ProductMachine();
    ~ProductMachine();
    ProductMachine(const ProductMachine&) = delete;
    ProductMachine& operator=(const ProductMachine&) = delete;

    const Scratch& Dir() const { return scratch_; }
    std::string Path(const std::string& name) const { return scratch_.Path(name); }

    // Writes a file the product reads; saved first so it can be put back.
    void PutFile(const std::string& path, const std::string& content);
    // Removes a file; saved first.
    void RemoveFile(const std::string& path);
    // Marks a file that the code under test may create, rename or change.
    void Guard(const std::string& path);
    // Sets a WIN.INI value through the profile calls (Windows NT and Wine
    // keep some WIN.INI sections in the registry); null deletes the key.
    void PutWinIniValue(const std::string& section, const std::string& key, const char* value);
    // Sets a text value (making its keys); the old state is put back later.
    void PutValue(const std::string& keyPath, const std::string& name, const std::string& text);
    void RemoveValue(const std::string& keyPath, const std::string& name);
    // Makes a key; removed afterwards when it did not exist.
    void MakeKey(const std::string& keyPath);
    // Removes a key with everything in it; the key is gone afterwards too.
    void RemoveKey(const std::string& keyPath);
    // Reads a value; "" with found false when missing.
    static std::string Value(const std::string& keyPath, const std::string& name,
                             bool* found = nullptr);
    static bool KeyExists(const std::string& keyPath);

  private:
    struct SavedFile {
        bool existed;
        std::string content;
    };
    struct SavedValue {
        bool existed;
        std::string text;
    };
    void SaveValue(const std::string& keyPath, const std::string& name);
    void SaveKey(const std::string& keyPath);

    Scratch scratch_;
    std::map<std::string, SavedFile> files_;
    std::map<std::pair<std::string, std::string>, SavedValue> values_;
    std::map<std::pair<std::string, std::string>, SavedValue> winIni_;
    std::vector<std::string> madeKeys_; // to delete afterwards, most recent first
};

// A top-level window of another program that records what it receives. On
// Windows a real window of this process; on the host one put on the
// emulated machine.
class OtherWindow {
  public:
    struct Received {
        UINT message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    explicit OtherWindow(const char* className, const char* title = "");
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    HWND Handle() const { return window_; }
    bool Exists() const;
    // WM_CLOSE and the messages from WM_USER on, in order.
    std::vector<Received> Messages() const;

  private:
    std::string className_;
    HWND window_ = nullptr;
};
