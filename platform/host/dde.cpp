// The DDE management library of the emulated machine. The only server on it
// is the built-in Program Manager (service and topic "PROGMAN"), which
// carries out execute transactions at once, so no callback is ever called
// and the time-out never runs out.
#include "machine.h"

#include <cstring>
#include <iterator>
#include <map>

namespace hostwin {

namespace {

struct Instance {
    PFNCALLBACK callback;
    DWORD flags;
    UINT lastError;
};
struct StringHandle {
    DWORD instance;
    std::string text;
    unsigned references;
};

std::map<DWORD, Instance> g_instances;
std::map<uintptr_t, StringHandle> g_strings;
std::map<uintptr_t, DWORD> g_conversations; // conversation -> its instance
uintptr_t g_nextHandle = 0x1000;
bool g_available = true;
bool g_answering = true;
std::vector<ProgmanCommand> g_commands;

Instance* FindInstance(DWORD instance) {
    auto it = g_instances.find(instance);
    return it == g_instances.end() ? nullptr : &it->second;
}

void Fail(DWORD instance, UINT error) {
    if (Instance* i = FindInstance(instance))
        i->lastError = error;
}

// A string handle of `instance` naming "PROGMAN"; none matches any service.
bool NamesProgman(DWORD instance, HSZ handle) {
    if (!handle)
        return true;
    auto it = g_strings.find(reinterpret_cast<uintptr_t>(handle));
    return it != g_strings.end() && it->second.instance == instance &&
           EqualNoCase(it->second.text, "PROGMAN");
}

} // namespace

void ResetDde() {
    g_instances.clear();
    g_strings.clear();
    g_conversations.clear();
    g_available = true;
    g_answering = true;
    g_commands.clear();
}

void SetProgmanAnswering(bool answering) {
    g_answering = answering;
}
void SetDdeAvailable(bool available) {
    g_available = available;
}
const std::vector<ProgmanCommand>& ProgmanCommands() {
    return g_commands;
}
void ClearProgmanCommands() {
    g_commands.clear();
}
unsigned DdeInstanceCount() {
    return unsigned(g_instances.size());
}
unsigned DdeConversationCount() {
    return unsigned(g_conversations.size());
}
unsigned DdeStringHandleCount() {
    return unsigned(g_strings.size());
}

} // namespace hostwin

using namespace hostwin;

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD) {
    if (!instance || !callback)
        return DMLERR_INVALIDPARAMETER;
    if (*instance) { // re-initialisation of a live instance
        Instance* live = FindInstance(*instance);
        if (!live)
            return DMLERR_INVALIDPARAMETER;
        live->callback = callback;
        live->flags = command;
        return DMLERR_NO_ERROR;
    }
    if (!g_available)
        return DMLERR_DLL_NOT_INITIALIZED;
    DWORD id = DWORD(g_nextHandle++);
    g_instances[id] = Instance{callback, command, DMLERR_NO_ERROR};
    *instance = id;
    return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD instance) {
    if (!g_instances.erase(instance))
        return FALSE;
    for (auto it = g_conversations.begin(); it != g_conversations.end();)
        it = it->second == instance ? g_conversations.erase(it) : std::next(it);
    for (auto it = g_strings.begin(); it != g_strings.end();)
        it = it->second.instance == instance ? g_strings.erase(it) : std::next(it);
    return TRUE;
}

UINT DdeGetLastError(DWORD instance) {
    Instance* i = FindInstance(instance);
    if (!i)
        return DMLERR_INVALIDPARAMETER;
    UINT error = i->lastError;
    i->lastError = DMLERR_NO_ERROR;
    return error;
}

// Like the system's atoms: the same text (in any case) gives the same handle,
// counted once per call.
HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage) {
    if (!FindInstance(instance))
        return nullptr;
    if (!text || (codePage != CP_WINANSI && codePage != 0)) {
        Fail(instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    for (auto& entry : g_strings) {
        if (entry.second.instance == instance && EqualNoCase(entry.second.text, text)) {
            ++entry.second.references;
            return reinterpret_cast<HSZ>(entry.first);
        }
    }
    uintptr_t handle = g_nextHandle++;
    g_strings[handle] = StringHandle{instance, text, 1};
    return reinterpret_cast<HSZ>(handle);
}

BOOL DdeFreeStringHandle(DWORD instance, HSZ string) {
    auto it = g_strings.find(reinterpret_cast<uintptr_t>(string));
    if (it == g_strings.end() || it->second.instance != instance)
        return FALSE;
    if (--it->second.references == 0)
        g_strings.erase(it);
    return TRUE;
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT) {
    if (!FindInstance(instance))
        return nullptr;
    if (!g_answering || !NamesProgman(instance, service) || !NamesProgman(instance, topic)) {
        Fail(instance, DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    uintptr_t handle = g_nextHandle++;
    g_conversations[handle] = instance;
    return reinterpret_cast<HCONV>(handle);
}

// As under Wine, waiting for the end of a conversation reports "not
// processed", which the next DdeGetLastError of the instance then answers.
BOOL DdeDisconnect(HCONV conversation) {
    auto it = g_conversations.find(reinterpret_cast<uintptr_t>(conversation));
    if (it == g_conversations.end())
        return FALSE;
    Fail(it->second, DMLERR_NOTPROCESSED);
    g_conversations.erase(it);
    return TRUE;
}

HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ, UINT, UINT type,
                              DWORD, LPDWORD result) {
    if (result)
        *result = DDE_FNOTPROCESSED;
    auto it = g_conversations.find(reinterpret_cast<uintptr_t>(conversation));
    if (it == g_conversations.end())
        return nullptr;
    if (type != XTYP_EXECUTE || !data || length == 0) {
        Fail(it->second, type != XTYP_EXECUTE ? DMLERR_NOTPROCESSED : DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(data);
    std::string command(text, strnlen(text, length));
    bool done = ProgmanExecute(command);
    g_commands.push_back(ProgmanCommand{command, done});
    if (!done) {
        Fail(it->second, DMLERR_NOTPROCESSED);
        return nullptr;
    }
    if (result)
        *result = DDE_FACK;
    return reinterpret_cast<HDDEDATA>(uintptr_t(1));
}
