// What tests of the emulated machine use beside its API: fault switches
// that make chosen platform calls fail, stand-ins for other programs'
// windows and for Program Manager not answering, and recorders of the calls
// the program made.
#pragma once

#ifndef _WIN32

#include "platform/host.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HWND__;

namespace hostwin {

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

// ---- Program Manager and DDE ------------------------------------------------
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

// The flags of every ExitWindowsEx call.
const std::vector<unsigned>& ExitWindowsCalls();

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
