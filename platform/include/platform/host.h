// Host-only controls of the emulated Windows 98 machine: which folder is the
// machine, the setup program's own path inside it, embedded resources, and
// fault switches that make chosen platform calls fail.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HWND__;

namespace hostwin {

// Mounts the machine kept in `folder`; a folder that does not exist (or holds
// no drive_c) is made into a fresh Windows 98 machine first. The registry is
// read from `folder`/registry.reg (REGEDIT4 text); a store that cannot be
// read fails the mount with its line number and is left as it is.
bool MountMachine(const std::string& folder, std::string* error = nullptr);
void UnmountMachine();

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
const std::string& MachineFolder();

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

// Fault switches. Every fallible call is counted; a rule makes the n-th call
// (1-based) of its kind fail, optionally only calls whose path contains a text.
enum class FaultOp {
    Any,
    Create,   // _lcreat
    Open,     // _lopen, FindFirstFileA
    Read,     // _lread (path: the file as it was opened, for these three)
    Write,    // _lwrite
    Close,    // _lclose
    Delete,   // DeleteFileA, RemoveDirectoryA
    Copy,     // CopyFileA
    Move,     // MoveFileA
    MakeDir,  // CreateDirectoryA
    SetAttr,  // SetFileAttributesA
    Registry, // registry calls (path: the key, "\\" and the subkey or value);
              // saving the store (path: its host path, ending "registry.reg")
    Profile,  // profile writes (path: the file as the call names it)
};
enum class FaultKind {
    Fail,       // the call reports failure
    ShortWrite, // _lwrite writes half of what it was given (a full disk)
};
struct FaultRule {
    FaultOp op = FaultOp::Any;
    unsigned nth = 1;
    std::string pathContains;
    FaultKind kind = FaultKind::Fail;
};
void AddFault(const FaultRule& rule);
void ClearFaults();
// Number of fallible calls seen since the last ClearFaults (all kinds).
unsigned FallibleCallCount();
// Calls that failed because of a rule, as "op path" lines, for test messages.
const std::vector<std::string>& TriggeredFaults();
// While on, every fallible call is noted as an "op path" line, in order,
// until the next ClearFaults: a test can then aim at each one.
void LogFallibleCalls(bool on);
const std::vector<std::string>& FallibleCalls();

// Stops the process with SIGSTOP at the start of its n-th fallible call (as
// FallibleCallCount counts them), so that a parent can kill it at exactly
// that point; 0, or ClearFaults, switches it off.
void StopAtFallibleCall(unsigned n);

// Called by the platform layer at each fallible call: true when it must fail.
bool ShouldFail(FaultOp op, const char* path, FaultKind* kind = nullptr);

// ---- Top-level windows of other programs and the keyboard layout --------
// Windows live until WM_CLOSE reaches them or the machine is mounted or
// unmounted; the record of messages lives as long.

// One message a window received, in the order of arrival.
struct WindowMessage {
    std::string className;
    std::string title;
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
    bool posted;
};

// Puts a top-level window of another program on the machine. One that
// `ignoresClose` stays after WM_CLOSE, as a program that refuses to quit.
HWND AddWindow(const char* className, const char* title = "", bool ignoresClose = false);
const std::vector<WindowMessage>& WindowMessages();
// Number of FindWindowA calls since the machine was mounted.
unsigned FindWindowCount();
// The layouts ActivateKeyboardLayout was asked for, in order.
const std::vector<uintptr_t>& ActivatedKeyboardLayouts();
// Forgets every window, the messages and the layouts.
void ResetWindows();

// What GetWindowsDirectoryA reports (default "C:\WINDOWS"; "" restores it),
// for a machine installed elsewhere, such as the root of a drive. The
// profile calls, the restart's WININIT.INI and the program search follow
// it; the system and temporary directories stay where they are.
void SetWindowsDirectory(const char* dosPath);

// ---- Program Manager, shell start, restart, version, window texts ----------
// Mounting or unmounting a machine starts a fresh session: no DDE instances,
// nothing recorded, Program Manager answering, Windows 98 reported.

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
// Not answering: every DdeConnect fails, as when Program Manager is not running.
void SetProgmanAnswering(bool answering);
// Every execute transaction Program Manager received, as sent, and whether
// it was carried out.
struct ProgmanCommand {
    std::string text;
    bool done;
};
const std::vector<ProgmanCommand>& ProgmanCommands();
void ClearProgmanCommands();
// DdeInitializeA fails while this is off (no DDE management library).
void SetDdeAvailable(bool available);
// DDE objects still alive: instances, conversations, string handles.
unsigned DdeInstanceCount();
unsigned DdeConversationCount();
unsigned DdeStringHandleCount();

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
// The flags of every ExitWindowsEx call.
const std::vector<unsigned>& ExitWindowsCalls();

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

// GetVersionExA reports Windows NT (platform 2) instead of Windows 98.
void SetWindowsNT(bool nt);

// The last text SetWindowTextA gave a window ("" for none).
std::string WindowText(HWND__* window);
// Every SetForegroundWindow and BringWindowToTop call, in order, with the
// number of Program Manager commands received before it (ProgmanCommands),
// so that a test can place each among those commands.
struct RaiseCall {
    std::string call; // "SetForegroundWindow" or "BringWindowToTop"
    HWND__* window;
    size_t progmanCommandsBefore;
};
const std::vector<RaiseCall>& RaiseCalls();

} // namespace hostwin

#endif
