// The start-up of the shipped programs and the little the C++ language
// needs at run time: memory through the Win32 heap, static constructors,
// and what the compiler calls when a library function would have thrown.
// There are no exceptions and no run-time type information.
#include <windows.h>

#include <new>

extern "C" void (*__CTOR_LIST__[])(void); // laid out by the linker: -1, ..., 0

namespace {

void* Allocate(size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}

void Release(void* block) {
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

// Without exceptions there is nobody to tell: end the process.
[[noreturn]] void Fail() {
    ExitProcess(3);
}

// The command line after the program's name, as WinMain receives it.
char* Arguments(char* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
        if (*line == '"')
            quoted = !quoted;
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

} // namespace

// The entry point of a GUI program, as the linker names it. Windows may
// enter with a stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1])
        ++count;
    for (size_t i = count; i >= 1; --i) // the compiler's own start-up runs them last first
        __CTOR_LIST__[i]();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(
        UINT(WinMain(GetModuleHandleA(nullptr), nullptr, Arguments(GetCommandLineA()), show)));
}

void* operator new(size_t size) {
    void* block = Allocate(size);
    if (!block)
        Fail();
    return block;
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, size_t) noexcept {
    Release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Release(block);
}

namespace std {
const nothrow_t nothrow{};
void __throw_length_error(const char*) {
    Fail();
}
void __throw_bad_alloc() {
    Fail();
}
void __throw_bad_array_new_length() {
    Fail();
}
} // namespace std

// A pure virtual function called through a half-built object.
extern "C" void __cxa_pure_virtual() {
    Fail();
}

// The guard of a function's static object built on first use. The programs
// have one thread, so the first byte alone says whether it is built.
extern "C" int __cxa_guard_acquire(long long* guard) {
    return *reinterpret_cast<char*>(guard) == 0;
}
extern "C" void __cxa_guard_release(long long* guard) {
    *reinterpret_cast<char*>(guard) = 1;
}
extern "C" void __cxa_guard_abort(long long*) {}
