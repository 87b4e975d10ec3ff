// A place for tests to make files, through the Win32 calls only: on the host
// a fresh emulated machine in a temporary folder, on Windows a new folder
// on drive C: that is removed afterwards.
#pragma once

#include <string>

class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The scratch folder as a DOS path ending in a backslash.
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + name; }

    static bool WriteFile(const std::string& path, const std::string& content);
    static std::string ReadFile(const std::string& path, bool* ok = nullptr);
    static bool Exists(const std::string& path);
    static bool MakeDir(const std::string& path);
    // Removes a folder and everything in it, read-only files included.
    static void RemoveTree(const std::string& path);

  private:
    std::string dir_;
    std::string hostFolder_;
};

// Deterministic test data of a given size.
std::string TestBytes(size_t size, unsigned seed = 1);
