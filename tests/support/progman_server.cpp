#include "progman_server.h"

#include "platform/win32.h"

#include <cstring>

namespace {

HDDEDATA CALLBACK NoAnswer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

// A client of its own, apart from the code under test.
bool SendAsClient(const std::string& command) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, NoAnswer, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, nullptr);
    bool done = false;
    if (conversation) {
        std::string data = command;
        done = DdeClientTransaction(reinterpret_cast<BYTE*>(&data[0]), DWORD(data.size() + 1),
                                    conversation, 0, CF_TEXT, XTYP_EXECUTE, 5000, nullptr) != 0;
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    return done;
}

} // namespace

bool ProgmanServer::Send(const std::string& command) {
    return SendAsClient(command);
}

#ifndef _WIN32

#include "platform/host_testing.h"

#include <strings.h>

ProgmanServer::ProgmanServer() {
    running_ = hostwin::IsMounted();
    hostwin::SetProgmanAnswering(true);
    hostwin::ClearProgmanCommands();
}
ProgmanServer::~ProgmanServer() {
    hostwin::SetProgmanAnswering(true);
}
void ProgmanServer::SetAnswering(bool answering) {
    hostwin::SetProgmanAnswering(answering);
}
std::vector<std::string> ProgmanServer::Received() const {
    std::vector<std::string> out;
    for (const hostwin::ProgmanCommand& c : hostwin::ProgmanCommands())
        out.push_back((c.done ? "+" : "-") + c.text);
    return out;
}
void ProgmanServer::Clear() {
    hostwin::ClearProgmanCommands();
}
std::vector<std::string> ProgmanServer::Items(const std::string& group, bool* found) const {
    std::vector<std::string> out;
    if (found)
        *found = false;
    for (const hostwin::ProgmanGroup& g : hostwin::ProgmanGroups()) {
        if (strcasecmp(g.name.c_str(), group.c_str()) != 0)
            continue;
        if (found)
            *found = true;
        for (const hostwin::ProgmanItem& item : g.items)
            out.push_back(item.title + "=" + item.commandLine);
    }
    return out;
}

#else

#include <utility>

namespace {

typedef std::vector<std::pair<std::string, std::string>> ItemList;

// What the server thread and the test share, under the lock.
struct Shared {
    CRITICAL_SECTION lock;
    bool answering = true;
    std::vector<std::string> received;
    std::vector<std::pair<std::string, ItemList>> groups;
    std::string current;
    HSZ name = nullptr;
};
Shared g_shared;

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    size_t b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "[Verb(a, "b,c")]" into "Verb" and its arguments, quotes taken off.
bool Parse(const std::string& text, std::string* verb, std::vector<std::string>* args) {
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    if (text.empty() || text[0] != '[' || open == std::string::npos || close < open)
        return false;
    *verb = text.substr(1, open - 1);
    std::string arg;
    bool quoted = false;
    for (size_t i = open + 1; i <= close; ++i) {
        char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || i == close)) {
            args->push_back(Trim(arg));
            arg.clear();
        } else {
            arg += c;
        }
    }
    return true;
}

ItemList* FindGroup(const std::string& name) {
    for (auto& g : g_shared.groups)
        if (lstrcmpiA(g.first.c_str(), name.c_str()) == 0)
            return &g.second;
    return nullptr;
}

ItemList::iterator FindItem(ItemList* items, const std::string& title) {
    for (auto it = items->begin(); it != items->end(); ++it)
        if (lstrcmpiA(it->first.c_str(), title.c_str()) == 0)
            return it;
    return items->end();
}

bool Carry(const std::string& text) {
    std::string verb;
    std::vector<std::string> args;
    if (!Parse(text, &verb, &args) || args.empty())
        return false;
    if (verb == "CreateGroup") {
        if (!FindGroup(args[0]))
            g_shared.groups.push_back({args[0], ItemList()});
        g_shared.current = args[0];
        return true;
    }
    if (verb == "DeleteGroup") {
        for (auto g = g_shared.groups.begin(); g != g_shared.groups.end(); ++g) {
            if (lstrcmpiA(g->first.c_str(), args[0].c_str()) == 0) {
                g_shared.groups.erase(g);
                return true;
            }
        }
        return false;
    }
    ItemList* group =
        FindGroup(verb == "ShowGroup" || verb == "Reload" ? args[0] : g_shared.current);
    if (!group)
        return false;
    if (verb == "ShowGroup")
        g_shared.current = args[0];
    if (verb == "ShowGroup" || verb == "Reload")
        return true;
    auto item = FindItem(group, verb == "AddItem" ? (args.size() > 1 ? args[1] : "") : args[0]);
    if (verb == "AddItem") {
        if (item != group->end())
            item->second = args[0];
        else
            group->push_back({args.size() > 1 ? args[1] : "", args[0]});
        return true;
    }
    if ((verb != "ReplaceItem" && verb != "DeleteItem") || item == group->end())
        return false;
    group->erase(item);
    return true;
}

HDDEDATA CALLBACK Serve(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR,
                        ULONG_PTR) {
    if (type == XTYP_CONNECT) {
        EnterCriticalSection(&g_shared.lock);
        bool accept = g_shared.answering && DdeCmpStringHandles(topic, g_shared.name) == 0;
        LeaveCriticalSection(&g_shared.lock);
        return reinterpret_cast<HDDEDATA>(ULONG_PTR(accept ? TRUE : FALSE));
    }
    if (type != XTYP_EXECUTE)
        return 0;
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string text(size, '\0');
    DdeGetData(data, reinterpret_cast<BYTE*>(&text[0]), size, 0);
    text.resize(std::strlen(text.c_str()));
    EnterCriticalSection(&g_shared.lock);
    bool done = Carry(text);
    g_shared.received.push_back((done ? "+" : "-") + text);
    LeaveCriticalSection(&g_shared.lock);
    return reinterpret_cast<HDDEDATA>(ULONG_PTR(done ? DDE_FACK : DDE_FNOTPROCESSED));
}

struct Thread {
    HANDLE handle = nullptr;
    DWORD id = 0;
    HANDLE ready = nullptr;
    bool ok = false;
};
Thread g_thread;

DWORD WINAPI ServerThread(LPVOID) {
    DWORD instance = 0;
    const DWORD flags = APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS | CBF_FAIL_ADVISES |
                        CBF_FAIL_POKES | CBF_FAIL_REQUESTS;
    if (DdeInitializeA(&instance, Serve, flags, 0) == DMLERR_NO_ERROR) {
        g_shared.name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
        g_thread.ok = DdeNameService(instance, g_shared.name, 0, DNS_REGISTER) != 0;
    }
    SetEvent(g_thread.ready);
    MSG msg;
    while (g_thread.ok && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (instance) {
        DdeNameService(instance, g_shared.name, 0, DNS_UNREGISTER);
        DdeFreeStringHandle(instance, g_shared.name);
        DdeUninitialize(instance);
    }
    return 0;
}

} // namespace

ProgmanServer::ProgmanServer() {
    InitializeCriticalSection(&g_shared.lock);
    g_shared.answering = true;
    g_shared.received.clear();
    g_shared.groups.clear();
    g_shared.current.clear();
    g_thread = Thread();
    g_thread.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_thread.handle = CreateThread(nullptr, 0, ServerThread, nullptr, 0, &g_thread.id);
    if (g_thread.handle)
        WaitForSingleObject(g_thread.ready, 10000);
    running_ = g_thread.handle && g_thread.ok;
}

ProgmanServer::~ProgmanServer() {
    if (g_thread.handle) {
        PostThreadMessageA(g_thread.id, WM_QUIT, 0, 0);
        WaitForSingleObject(g_thread.handle, 10000);
        CloseHandle(g_thread.handle);
    }
    CloseHandle(g_thread.ready);
    DeleteCriticalSection(&g_shared.lock);
}

void ProgmanServer::SetAnswering(bool answering) {
    EnterCriticalSection(&g_shared.lock);
    g_shared.answering = answering;
    LeaveCriticalSection(&g_shared.lock);
}

std::vector<std::string> ProgmanServer::Received() const {
    EnterCriticalSection(&g_shared.lock);
    std::vector<std::string> out = g_shared.received;
    LeaveCriticalSection(&g_shared.lock);
    return out;
}

void ProgmanServer::Clear() {
    EnterCriticalSection(&g_shared.lock);
    g_shared.received.clear();
    LeaveCriticalSection(&g_shared.lock);
}

std::vector<std::string> ProgmanServer::Items(const std::string& group, bool* found) const {
    std::vector<std::string> out;
    EnterCriticalSection(&g_shared.lock);
    ItemList* items = FindGroup(group);
    if (found)
        *found = items != nullptr;
    if (items)
        for (const auto& item : *items)
            out.push_back(item.first + "=" + item.second);
    LeaveCriticalSection(&g_shared.lock);
    return out;
}

#endif
