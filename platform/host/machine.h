// Internal state of the emulated machine shared by the host Win32 calls.
#pragma once

#include "platform/host_testing.h"
#include "platform/win32.h"

#include <string>
#include <sys/stat.h>

namespace hostwin {

// Result of mapping a DOS path onto the machine folder. The mapping looks
// at every component anyway, so it also tells what the path names as it
// found it: the file calls then need no second look.
struct MappedPath {
    std::string host;    // host path (existing components in their stored case)
    char drive = 0;      // upper-case drive letter
    bool valid = false;  // false: bad syntax, too long, or no such drive
    DWORD error = 0;     // the Win32 error for an invalid path
    bool exists = false; // the host path is there (a file or a folder)
    mode_t mode = 0;     // its mode and size when it exists
    off_t size = 0;
    bool parentIsFolder = false; // the folder that would hold it is there

    bool IsFolder() const { return exists && S_ISDIR(mode); }
    bool IsReadOnly() const { return exists && !S_ISDIR(mode) && !(mode & S_IWUSR); }
};

// Maps a DOS path; `allowWildcards` lets the last component hold * and ?.
MappedPath MapPath(const char* dosPath, bool allowWildcards = false);

// The DOS path as an absolute, normalised path ("C:\A\B"), or "" if invalid.
std::string FullDosPath(const char* dosPath);

bool HostExists(const std::string& host, bool* isDirectory = nullptr);
bool HostIsReadOnly(const std::string& host);
// Copies the host file `from` to `to` (made or emptied first); false with
// the Win32 error in *error.
bool CopyContents(const std::string& from, const std::string& to, DWORD* error);

void SetError(DWORD code);
DWORD ErrnoToWin32(int err);

bool EqualNoCase(const std::string& a, const std::string& b);
// Without the blanks, tabs and line ends around it, as INI lines are read.
std::string Trim(const std::string& s);

// The registry of the machine in `folder` (registry.reg and the journal
// beside it; none is an empty registry). Read only, nothing in the folder
// changes and the registry is held in memory.
bool LoadRegistry(const std::string& folder, bool readOnly, std::string* error);
// Writes the journal's changes into the store, when there are any.
bool FoldRegistry();
// Forgets the registry with every open key, once it is folded.
void ResetRegistry();
// A registry from REGEDIT4 text, held in memory only.
bool LoadRegistryText(const std::string& text, std::string* error);

// The registry's keys, as the calls see them, and the copies taken of it
// (registry_copy.cpp): a call notes each key whose values or subkeys it is
// about to change, and a new registry replaces what the copies share.
struct RegNode;
struct RegRoots;
const RegRoots& MountedRegistry();
void NoteChange(RegNode* key);
void ForgetCopies();

// While set, every call that would write to the machine fails.
void SetReadOnly(bool readOnly);

// Forgets the profile file the system keeps cached.
void DropProfileCache();

// What GetWindowsDirectoryA reports (see SetWindowsDirectory), and a name in
// that directory.
const std::string& WindowsDirectory();
std::string InWindowsDirectory(const std::string& name);

// A fresh session of the machine: DDE, Program Manager and shell state.
void ResetDde();
void ResetProgman();
void ResetShell();

// Program Manager carries out the text of one execute transaction: one or
// more bracketed commands, stopping at the first that fails.
bool ProgmanExecute(const std::string& text);

} // namespace hostwin
