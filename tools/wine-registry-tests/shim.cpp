// Runs Wine's registry tests (cut to those of the calls the stand-in has)
// over the host stand-in and counts their checks: a check counts when every
// registry call since the check before it was one the stand-in has.
#include "platform/host.h"
#include "platform/win32.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
typedef unsigned short WCHAR;
void shim_run_tests(void);
const char* shim_file = "";
int shim_line = 0;
}

namespace {

bool g_other = false;   // a call the stand-in lacks since the last check
bool g_own = false;     // a call it has since the last check
bool g_counted = true;  // the last check counted
bool g_unknown = false; // a call it lacks changed the registry in this test
unsigned g_checks = 0, g_on = 0, g_passed = 0;

void Own() {
    g_own = true;
}
LONG Other() {
    g_other = true;
    SetLastError(120); // ERROR_CALL_NOT_IMPLEMENTED
    return 120;        // ERROR_CALL_NOT_IMPLEMENTED
}

// A call it lacks that would have changed the registry: what the test
// expects from then on may rest on that change.
LONG OtherWrite() {
    g_unknown = true;
    return Other();
}

std::string Format(const char* format, va_list args) {
    char buffer[2048];
    vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

} // namespace

extern "C" {

LONG shim_RegOpenKeyExA(HKEY k, LPCSTR s, DWORD o, REGSAM a, PHKEY r) {
    Own();
    return RegOpenKeyExA(k, s, o, a, r);
}
LONG shim_RegCreateKeyExA(HKEY k, LPCSTR s, DWORD r, LPSTR c, DWORD o, REGSAM a,
                          LPSECURITY_ATTRIBUTES sa, PHKEY h, LPDWORD d) {
    Own();
    return RegCreateKeyExA(k, s, r, c, o, a, sa, h, d);
}
LONG shim_RegQueryValueExA(HKEY k, LPCSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD s) {
    Own();
    return RegQueryValueExA(k, n, r, t, d, s);
}
LONG shim_RegSetValueExA(HKEY k, LPCSTR n, DWORD r, DWORD t, const BYTE* d, DWORD s) {
    Own();
    return RegSetValueExA(k, n, r, t, d, s);
}
LONG shim_RegDeleteKeyA(HKEY k, LPCSTR s) {
    Own();
    return RegDeleteKeyA(k, s);
}
LONG shim_RegDeleteValueA(HKEY k, LPCSTR n) {
    Own();
    return RegDeleteValueA(k, n);
}
LONG shim_RegEnumKeyExA(HKEY k, DWORD i, LPSTR n, LPDWORD s, LPDWORD r, LPSTR c, LPDWORD cs,
                        void* t) {
    Own();
    return RegEnumKeyExA(k, i, n, s, r, c, cs, static_cast<PFILETIME>(t));
}
LONG shim_RegCloseKey(HKEY k) {
    Own();
    return RegCloseKey(k);
}
DWORD shim_GetLastError(void) {
    return GetLastError();
}
void shim_SetLastError(DWORD e) {
    SetLastError(e);
}

// The three older calls are thin wrappers of the Ex calls in Windows and
// in Wine (advapi32/registry.c): the same wrappers here.
LONG shim_RegOpenKeyA(HKEY k, LPCSTR n, PHKEY r) {
    if (!r)
        return ERROR_INVALID_PARAMETER;
    if (!n || !*n) {
        *r = k;
        return ERROR_SUCCESS;
    }
    return shim_RegOpenKeyExA(k, n, 0, 0x02000000, r);
}
LONG shim_RegCreateKeyA(HKEY k, LPCSTR n, PHKEY r) {
    return shim_RegCreateKeyExA(k, n, 0, nullptr, 0, 0x02000000, nullptr, r, nullptr);
}
LONG shim_RegEnumKeyA(HKEY k, DWORD i, LPSTR n, DWORD size) {
    return shim_RegEnumKeyExA(k, i, n, &size, nullptr, nullptr, nullptr, nullptr);
}
LONG shim_RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return Other();
}
LONG shim_RegFlushKey(HKEY) {
    return Other();
}
LONG shim_RegQueryValueA(HKEY k, LPCSTR name, LPSTR data, LONG* count) {
    HKEY sub = k;
    LONG r;
    if (name && name[0] && (r = shim_RegOpenKeyA(k, name, &sub)) != ERROR_SUCCESS)
        return r;
    r = shim_RegQueryValueExA(sub, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(data),
                              reinterpret_cast<LPDWORD>(count));
    if (sub != k)
        shim_RegCloseKey(sub);
    if (r == ERROR_FILE_NOT_FOUND) { // an empty text where the default value is missing
        if (data)
            *data = 0;
        if (count)
            *count = 1;
        r = ERROR_SUCCESS;
    }
    return r;
}
LONG shim_RegEnumValueW(HKEY, DWORD, WCHAR*, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return Other();
}
WCHAR* shim_wcscpy(WCHAR* to, const WCHAR* from) {
    WCHAR* t = to;
    while ((*t++ = *from++))
        ;
    return to;
}
DWORD shim_GetVersion(void) {
    return 0xc0000a04;
} // Windows 98: 4.10, not NT
void shim_begin_test(void) {
    g_unknown = false;
    g_counted = true;
}
LONG shim_RegSetValueA(HKEY k, LPCSTR subkey, DWORD type, LPCSTR data, DWORD) {
    if (type != REG_SZ || !data)
        return ERROR_INVALID_PARAMETER;
    HKEY sub = nullptr;
    if (subkey && subkey[0]) {
        LONG r = shim_RegCreateKeyExA(k, subkey, 0, nullptr, 0, 2, nullptr, &sub, nullptr);
        if (r != ERROR_SUCCESS)
            return r;
        k = sub;
    }
    LONG r = shim_RegSetValueExA(k, nullptr, 0, type, reinterpret_cast<const BYTE*>(data),
                                 DWORD(std::strlen(data) + 1));
    if (sub)
        shim_RegCloseKey(sub);
    return r;
}
LONG shim_RegOpenKeyExW(HKEY, const WCHAR*, DWORD, REGSAM, PHKEY) {
    return Other();
}
LONG shim_RegQueryValueExW(HKEY, const WCHAR*, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return Other();
}
LONG shim_RegQueryValueW(HKEY, const WCHAR*, WCHAR*, LONG*) {
    return Other();
}
LONG shim_RegSetValueExW(HKEY, const WCHAR*, DWORD, DWORD, const BYTE*, DWORD) {
    return OtherWrite();
}
LONG shim_RegSetValueW(HKEY, const WCHAR*, DWORD, const WCHAR*, DWORD) {
    return OtherWrite();
}
LONG shim_RegSetKeySecurity(HKEY, DWORD, void*) {
    return OtherWrite();
}
LONG shim_RegSetKeyValue(HKEY, LPCSTR, LPCSTR, DWORD, const void*, DWORD) {
    return OtherWrite();
}
int shim_AllocateAndInitializeSid(void*, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                  DWORD, void** sid) {
    Other();
    *sid = nullptr;
    return 0;
}
void* shim_FreeSid(void*) {
    return nullptr;
}
int shim_InitializeSecurityDescriptor(void*, DWORD) {
    Other();
    return 0;
}
int shim_SetSecurityDescriptorDacl(void*, int, void*, int) {
    Other();
    return 0;
}
DWORD shim_SetEntriesInAclA(DWORD, void*, void*, void** acl) {
    *acl = nullptr;
    return DWORD(Other());
}
void* shim_LocalFree(void*) {
    return nullptr;
}
int shim_SetEnvironmentVariableA(LPCSTR, LPCSTR) {
    return 1;
}
void* shim_GetProcessHeap(void) {
    return nullptr;
}
void* shim_HeapAlloc(void*, DWORD, size_t size) {
    if (size > (64u << 20)) { // a size nobody reported: stop rather than take the memory
        std::fprintf(stderr, "%s:%d: an allocation of %zu bytes\n", shim_file, shim_line, size);
        std::exit(3);
    }
    return std::malloc(size ? size : 1);
}
int shim_HeapFree(void*, DWORD, void* p) {
    std::free(p);
    return 1;
}
void* shim_GetModuleHandleA(LPCSTR) {
    return nullptr;
}
void* shim_GetProcAddress(void*, LPCSTR) {
    return nullptr;
} // newer calls: their tests skip
int shim_lstrlenA(LPCSTR s) {
    return s ? int(std::strlen(s)) : 0;
}
int shim_lstrlenW(const WCHAR* s) {
    int n = 0;
    while (s && s[n])
        ++n;
    return n;
}
int shim_lstrcmpW(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b)
        ++a, ++b;
    return *a - *b;
}

int shim_ok(int condition, const char* format, ...) {
    bool counted = !g_unknown && !g_other && (g_own || g_counted);
    g_counted = counted;
    g_other = g_own = false;
    ++g_checks;
    if (!counted)
        return condition;
    ++g_on;
    if (condition) {
        ++g_passed;
    } else {
        va_list args;
        va_start(args, format);
        std::printf("%s:%d: fails: %s", shim_file, shim_line, Format(format, args).c_str());
        va_end(args);
    }
    return condition;
}

void shim_trace(const char*, ...) {}
void shim_skip(const char*, ...) {}

const char* wine_dbg_sprintf(const char* format, ...) {
    static std::string text;
    va_list args;
    va_start(args, format);
    text = Format(format, args);
    va_end(args);
    return text.c_str();
}
const char* debugstr_an(const char* s, int n) {
    static std::string text;
    text = s ? "\"" + std::string(s, n < 0 ? std::strlen(s) : size_t(n)) + "\"" : "(null)";
    return text.c_str();
}
const char* wine_dbgstr_a(const char* s) {
    return debugstr_an(s, -1);
}
const char* wine_dbgstr_wn(const WCHAR*, int) {
    return "(wide)";
}
const char* wine_dbgstr_w(const WCHAR*) {
    return "(wide)";
}

} // extern "C"

int main() {
    char folder[] = "/tmp/wine-registry-tests-XXXXXX";
    std::string error;
    if (!mkdtemp(folder) || !hostwin::MountMachine(std::string(folder) + "/machine", &error)) {
        std::fprintf(stderr, "cannot mount a machine: %s\n", error.c_str());
        return 2;
    }
    shim_run_tests();
    hostwin::UnmountMachine();
    std::system((std::string("rm -rf ") + folder).c_str());
    std::printf("%u checks; %u on the calls the stand-in has: %u pass, %u fail\n", g_checks, g_on,
                g_passed, g_on - g_passed);
    return 0;
}
