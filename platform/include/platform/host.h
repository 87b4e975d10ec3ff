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

namespace hostwin {

// Mounts the machine kept in `folder`; a folder that does not exist (or holds
// no drive_c) is made into a fresh Windows 98 machine first. The registry is
// read from `folder`/registry.reg (REGEDIT4 text); a store that cannot be
// read fails the mount with its line number and is left as it is.
bool MountMachine(const std::string& folder, std::string* error = nullptr);
void UnmountMachine();
bool IsMounted();
const std::string& MachineFolder();

// The host path a DOS path stands for ("" when the path is not valid or its
// drive does not exist). Existing entries are matched case-insensitively.
std::string HostPath(const char* dosPath);

// The module file name GetModuleFileNameA reports (a DOS path).
void SetModuleFileName(const char* dosPath);

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
    Create,    // _lcreat
    Open,      // _lopen, FindFirstFileA
    Read,      // _lread
    Write,     // _lwrite
    Close,     // _lclose
    Delete,    // DeleteFileA, RemoveDirectoryA
    Copy,      // CopyFileA
    Move,      // MoveFileA
    MakeDir,   // CreateDirectoryA
    SetAttr,   // SetFileAttributesA
    Registry,  // registry calls (path: the key, "\\" and the subkey or value);
               // saving the store (path: its host path, ending "registry.reg")
    Profile,   // profile writes (path: the file as the call names it)
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
// for a machine installed elsewhere, such as the root of a drive. Nothing
// else follows it: the profile calls keep using C:\WINDOWS.
void SetWindowsDirectory(const char* dosPath);

} // namespace hostwin

#endif
