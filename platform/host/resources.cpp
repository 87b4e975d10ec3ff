// Resources of the program's own module: the files that the Win32 build
// compiles with windres are embedded into the host executable at build time
// and registered here.
#include "machine.h"

#include <cstdlib>
#include <map>
#include <cstring>
#include <strings.h>

using namespace hostwin;

namespace {

std::vector<EmbeddedResource>& Table() {
    static std::vector<EmbeddedResource> table;
    return table;
}

std::map<unsigned, const char*>& Strings() {
    static std::map<unsigned, const char*> strings;
    return strings;
}

bool SameName(LPCSTR wanted, const char* type, unsigned id, bool isType) {
    if (IS_INTRESOURCE(wanted) && isType)
        return type[0] == '#' &&
               std::strtoul(type + 1, nullptr, 10) == unsigned(reinterpret_cast<uintptr_t>(wanted));
    if (IS_INTRESOURCE(wanted))
        return unsigned(reinterpret_cast<uintptr_t>(wanted)) == id;
    if (isType)
        return strcasecmp(wanted, type) == 0;
    // "#1" names the integer id 1.
    return wanted[0] == '#' && std::strtoul(wanted + 1, nullptr, 10) == id && wanted[1];
}

} // namespace

namespace hostwin {

void RegisterResource(const EmbeddedResource& resource) {
    UnregisterResource(resource.type, resource.id);
    Table().push_back(resource);
}

void UnregisterResource(const char* type, unsigned id) {
    auto& t = Table();
    for (size_t i = 0; i < t.size(); ++i) {
        if (strcasecmp(t[i].type, type) == 0 && t[i].id == id) {
            t.erase(t.begin() + long(i));
            return;
        }
    }
}

void RegisterString(const EmbeddedString& string) {
    Strings()[string.id] = string.text;
}

} // namespace hostwin

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    if (!name || !type) {
        SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    for (EmbeddedResource& r : Table()) {
        if (SameName(type, r.type, 0, true) && SameName(name, r.type, r.id, false))
            return reinterpret_cast<HRSRC>(&r);
    }
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource)
        return nullptr;
    return const_cast<unsigned char*>(reinterpret_cast<EmbeddedResource*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource ? DWORD(reinterpret_cast<EmbeddedResource*>(resource)->size) : 0;
}

// Copies at most size - 1 bytes and terminates; 0 (an empty buffer) when the
// module has no such string.
int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    auto found = Strings().find(id);
    if (found == Strings().end()) {
        buffer[0] = 0;
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t n = std::strlen(found->second);
    if (n > size_t(size - 1))
        n = size_t(size - 1);
    std::memcpy(buffer, found->second, n);
    buffer[n] = 0;
    return int(n);
}
