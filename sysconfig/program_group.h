// A Program Manager group, driven through its DDE command interface: the
// setup program is a client of the service and topic "PROGMAN" and sends it
// bracketed command texts, each in a conversation of its own.
#pragma once

#include "platform/win32.h"
#include "result_code.h"

#include <cstddef>
#include <initializer_list>

// Sends one command text; true when Program Manager accepted it.
// `mayBeAbsent`: the command names a group or item that need not be there
// (a probe, a replace or delete of an old item), so Program Manager's
// refusal is logged as "not present"; no answer at all is still a failure.
bool ExecuteProgmanCommand(DWORD instance, const char* command, bool mayBeAbsent = false);

class ProgramGroup {
  public:
    // A group name longer than MaxName is refused: nothing is ever sent for
    // it, so no command can name a cut-off group.
    enum { MaxName = 127, ShortCommand = 256, LongCommand = 1024 };

    // Starts DDE, then probes the group with ShowGroup 4: ready when it
    // answered.
    ProgramGroup(const char* name, HWND owner);

    bool IsReady() const { return ready_ != 0; }
    const char* Name() const { return name_; }

    // 0, or 3 when the command failed.
    ResultCode CreateGroup();
    // 0; 1 when the group was missing and could not be created; 3 when the
    // ShowGroup or AddItem command failed.
    ResultCode AddItem(const char* commandLine, const char* title);
    // 0; 5 when the group is not ready (nothing sent); 3 on failure.
    ResultCode DeleteItem(const char* title);
    // Show command 4 probes and activates; 6 creates a missing group first.
    ResultCode ShowGroup(int show);
    // Reloads a ready group and ends the DDE instance in every case.
    void Release();

  private:
    // Builds the command from its parts in a buffer of `capacity` bytes and
    // sends it; a command that does not fit is not sent and counts as failed.
    bool Send(size_t capacity, std::initializer_list<const char*> parts,
              bool mayBeAbsent = false) const;
    bool SendShowGroup(int show, size_t capacity, bool mayBeAbsent = false) const;
    void ToForeground() const;

    int ready_ = 0;
    DWORD instance_ = 0;
    PFNCALLBACK callback_;
    char name_[MaxName + 1];
    HWND owner_;
    bool named_ = false;
};
