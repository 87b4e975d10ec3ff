// Host-only controls of the emulated Windows 98 machine: which folder is the
// machine, the setup program's own path inside it, its floppy drives,
// embedded resources, and what the machine did (Program Manager groups,
// programs started, the restart). What only tests use, the call recorders
// and the fault switches, is in platform/host_testing.h.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hostwin {

// Mounts the machine kept in `folder`; a folder that does not exist (or holds
// no drive_c) is made into a fresh Windows 98 machine first. The registry is
// read from `folder`/registry.reg (REGEDIT4 text); a store that cannot be
// read fails the mount with its line number and is left as it is.
bool MountMachine(const std::string& folder, std::string* error = nullptr);
void UnmountMachine();

// Makes a machine in `folder` (which must not exist) from a real Windows
// 95/98 machine. `registry` is what "REGEDIT /E" exported (REGEDIT4, or the
// UTF-16 form of later registry editors, read in code page 1252), made the
// machine's registry. Where it lacks HKEY_CURRENT_USER or HKEY_CLASSES_ROOT
// (an export of the whole registry does), they are copied from the user's
// key under HKEY_USERS and from Software\Classes of HKEY_LOCAL_MACHINE.
// WIN.INI and SYSTEM.INI are copied into C:\WINDOWS. `listing` (optional)
// names the files of the Windows, SYSTEM and FONTS folders by their DOS
// paths, one a line ("DIR /B /S"); those folders then hold exactly the
// files listed, empty, besides the two INI files.
struct MachineImport {
    std::string registry, winIni, systemIni, listing; // host paths
};
bool ImportMachine(const std::string& folder, const MachineImport& from, std::string* error);

// Takes the machine in `folder` (which need not exist yet) for this process
// until it ends: a second process asking for the same machine gets InUse.
// On InUse and Failed, *error says why.
enum class MachineLock { Held, InUse, Failed };
MachineLock LockMachine(const std::string& folder, std::string* error);
bool IsMounted();
// Mounts the machine in `folder` to be read only: nothing is written to
// the folder or anywhere else. Its registry is held in memory and changes
// there only; every other call that would write fails, as on a
// write-protected disk. A folder without drive_c (or "") stands for a fresh
// machine held in memory: a fresh machine's registry, and no drives.
bool MountMachineReadOnly(const std::string& folder, std::string* error = nullptr);
bool MachineIsReadOnly();
// Mounts a fresh Windows 98 machine held in memory, its files and its
// registry: every call works as on a machine in a folder, nothing reaches
// the disk, and it is gone once unmounted. MachineFolder() names no host
// folder then. For runs that need speed, not a lasting machine (fuzzing).
bool MountMachineInMemory(std::string* error = nullptr);
const std::string& MachineFolder();

// A copy of the mounted machine's registry as it is now, to be compared with
// a later one (null when no machine is mounted).
struct RegistryCopy;
std::shared_ptr<const RegistryCopy> CopyRegistry();
// The keys that differ between two copies: those in one only, and those
// whose values differ, each with all its values, from each copy. A key is
// "PATH" -> "" ("HKEY_CURRENT_USER\Software"), a value "PATH\"name"" or
// "PATH\@" -> its data as the store writes it, on one line ("text" with
// its quotes, dword:..., hex:...). Time grows with the registry, memory
// only with what differs.
void RegistryDifferences(const RegistryCopy& a, const RegistryCopy& b,
                         std::map<std::string, std::string>* inA,
                         std::map<std::string, std::string>* inB);

// The host path a DOS path stands for ("" when the path is not valid or its
// drive does not exist). Existing entries are matched case-insensitively.
std::string HostPath(const char* dosPath);

// The module file name GetModuleFileNameA reports (a DOS path).
void SetModuleFileName(const char* dosPath);

// Drives A: and B: are floppy drives (GetDriveTypeA: DRIVE_REMOVABLE). A
// disk is a host folder or a 1.44 MB floppy image, read with mtools.
// CheckDisk reads nothing into the machine; InsertDisk replaces what the
// drive shows with the disk's files, as a person swaps floppies, and leaves
// the disk in the drive where it is when the new one cannot be read.
bool CheckDisk(const std::string& disk, std::string* error);
bool InsertDisk(char drive, const std::string& disk, std::string* error);

// A resource of the program's own module, as FindResourceA finds it.
struct EmbeddedResource {
    const char* type; // "FD", "MF", ...; "#5" for an integer type such as RT_DIALOG
    unsigned id;
    const unsigned char* data;
    size_t size;
};
void RegisterResource(const EmbeddedResource& resource);
void UnregisterResource(const char* type, unsigned id);

// A string-table entry of the module, as LoadStringA finds it; the text is
// zero-terminated.
struct EmbeddedString {
    unsigned id;
    const char* text;
};
void RegisterString(const EmbeddedString& string);

// What GetWindowsDirectoryA reports (default "C:\WINDOWS"; "" restores it),
// for a machine installed elsewhere, such as the root of a drive. The
// profile calls, the restart's WININIT.INI and the program search follow
// it; the system and temporary directories stay where they are.
void SetWindowsDirectory(const char* dosPath);

// ---- Program Manager, programs started, restart -----------------------------
// Mounting or unmounting a machine starts a fresh session: nothing recorded
// (see also platform/host_testing.h).

// The built-in Program Manager answers DDE service and topic "PROGMAN" with
// CreateGroup, DeleteGroup, ShowGroup, AddItem, ReplaceItem, DeleteItem and
// Reload. Its groups live in the machine folder, one text file per group in
// progman/: the first line "[group name]", then one "title=command line" per
// item.
struct ProgmanItem {
    std::string title;
    std::string commandLine;
};
struct ProgmanGroup {
    std::string name;
    std::vector<ProgmanItem> items;
};
// Every group of the machine, ordered by name.
std::vector<ProgmanGroup> ProgmanGroups();
// What ShellExecuteA was asked to start, in order.
struct ShellStart {
    std::string operation; // "" for none
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
    bool started; // false: the file was not found
};
const std::vector<ShellStart>& ShellStarts();

// Set by ExitWindowsEx with EWX_REBOOT; RestartMachine clears it.
bool RestartRequested();
// One line of WININIT.INI's [rename] section as the restart carried it out.
struct RenameStep {
    std::string target; // the key: the name the file gets, or NUL
    std::string source; // the value: the file moved there or deleted
    bool deleted;       // a NUL line
    bool done;          // false: the file or its new place was not there
};
// Restarts Windows: carries out the lines of the first [rename] section of
// WININIT.INI in the Windows directory, in file order, the way Windows 95/98
// does at start-up (blanks around key and value dropped, ";" lines skipped;
// key NUL in any case deletes the file; any other key receives the file and
// replaces what was there; relative names are taken in the Windows
// directory, so a key NULL moves the file to C:\WINDOWS\NULL, as under
// Wine), then renames WININIT.INI to WININIT.BAK. Answers the lines in order.
std::vector<RenameStep> RestartMachine();

} // namespace hostwin

#endif
