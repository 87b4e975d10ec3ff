#include "program_group.h"

#include "run_log.h"
#include "text.h"

#include <cstring>

namespace {

const char kProgman[] = "PROGMAN";

HDDEDATA CALLBACK IgnoreTransaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

// Program Manager splits its arguments at commas and parentheses and trims
// blanks, and a bracket ends the command; a command line holding any of
// these must travel in quotes.
bool NeedsQuotes(const char* commandLine) {
    return std::strpbrk(commandLine, " ,()[]") != nullptr;
}

} // namespace

bool ExecuteProgmanCommand(DWORD instance, const char* command, bool mayBeAbsent) {
    HSZ progman = DdeCreateStringHandleA(instance, kProgman, CP_WINANSI);
    bool done = false;
    HCONV conversation = DdeConnect(instance, progman, progman, nullptr);
    const bool answered = conversation != nullptr;
    if (conversation) {
        DWORD length = DWORD(std::strlen(command) + 1);
        BYTE* data = reinterpret_cast<BYTE*>(const_cast<char*>(command));
        done = DdeClientTransaction(data, length, conversation, 0, CF_TEXT, XTYP_EXECUTE, 1000,
                                    nullptr) != 0;
        if (!done)
            DdeGetLastError(instance); // clears the error; its value is of no use here
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, progman);
    LogOutcome(done                      ? ChangeOutcome::Done
               : answered && mayBeAbsent ? ChangeOutcome::NotPresent
                                         : ChangeOutcome::Failed,
               "progman %s", command);
    return done;
}

ProgramGroup::ProgramGroup(const char* name, HWND owner)
    : callback_(IgnoreTransaction), owner_(owner) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, callback_, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR)
        instance_ = instance;
    name_[0] = 0;
    named_ = name && std::strlen(name) <= MaxName;
    if (named_)
        CopyText(name_, sizeof name_, name);
    ready_ = SendShowGroup(4, ShortCommand, true);
    ToForeground();
}

void ProgramGroup::ToForeground() const {
    if (owner_)
        SetForegroundWindow(owner_);
}

bool ProgramGroup::Send(size_t capacity, std::initializer_list<const char*> parts,
                        bool mayBeAbsent) const {
    if (!named_)
        return false;
    char command[LongCommand];
    size_t length = 0;
    for (const char* part : parts) {
        size_t n = std::strlen(part);
        if (n >= capacity - length)
            return false;
        std::memcpy(command + length, part, n);
        length += n;
    }
    command[length] = 0;
    return ExecuteProgmanCommand(instance_, command, mayBeAbsent);
}

bool ProgramGroup::SendShowGroup(int show, size_t capacity, bool mayBeAbsent) const {
    const char* suffix = show == 1 ? ", 1)]" : show == 4 ? ", 4)]" : ", 6)]";
    return Send(capacity, {"[ShowGroup(", name_, suffix}, mayBeAbsent);
}

ResultCode ProgramGroup::CreateGroup() {
    if (!Send(ShortCommand, {"[CreateGroup(", name_, ")]"})) {
        ready_ = 0;
        return CommandFailed;
    }
    ready_ = 1;
    ToForeground();
    return Ok;
}

ResultCode ProgramGroup::AddItem(const char* commandLine, const char* title) {
    if (!ready_ && CreateGroup() != Ok)
        return GroupFailed;
    if (!SendShowGroup(1, LongCommand))
        return CommandFailed;
    Send(LongCommand, {"[ReplaceItem(", title, ")]"}, true); // no such item yet is fine
    const char* quote = NeedsQuotes(commandLine) ? "\"" : "";
    if (!Send(LongCommand, {"[AddItem(", quote, commandLine, quote, ",", title, ")]"}))
        return CommandFailed;
    ToForeground();
    return Ok;
}

ResultCode ProgramGroup::DeleteItem(const char* title) {
    if (!ready_)
        return GroupNotOpen;
    if (!SendShowGroup(1, LongCommand))
        return CommandFailed;
    return Send(LongCommand, {"[DeleteItem(", title, ")]"}, true) ? Ok : CommandFailed;
}

ResultCode ProgramGroup::ShowGroup(int show) {
    if (show == 6 && !ready_ && CreateGroup() != Ok)
        return GroupFailed;
    if (!SendShowGroup(show, LongCommand))
        return CommandFailed;
    ToForeground();
    return Ok;
}

void ProgramGroup::Release() {
    if (ready_) {
        ShowGroup(4);
        Send(ShortCommand, {"[Reload(", name_, ")]"});
    }
    DdeUninitialize(instance_);
    instance_ = 0;
    if (ready_)
        ToForeground();
}
