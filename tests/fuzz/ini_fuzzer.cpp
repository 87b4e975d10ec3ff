// The two whole-file rewrites of IniFile over any file bytes, on an emulated
// machine held in memory: no run touches the disk.
//
// Input: an operation byte, then the section, key and value lines, then the
// file. Operation bits: 1-2 the file (WIN.INI, SYSTEM.INI, VELMOR.INI,
// WININIT.INI), 4 InsertEntry instead of DisableKey, 8 no file at all.
#include "fuzz_input.h"
#include "ini_file.h"
#include "platform/host_testing.h"
#include "platform/win32.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

std::string Read(const std::string& path) {
    std::string text;
    HFILE f = _lopen(path.c_str(), OF_READ);
    char buffer[4096];
    UINT n;
    while (f != HFILE_ERROR && (n = _lread(f, buffer, sizeof buffer)) != 0 && n != UINT(-1))
        text.append(buffer, n);
    if (f != HFILE_ERROR)
        _lclose(f);
    return text;
}

bool Write(const std::string& path, const std::string& text) {
    HFILE f = _lcreat(path.c_str(), 0);
    bool ok = f != HFILE_ERROR && _lwrite(f, text.data(), UINT(text.size())) == text.size();
    return f != HFILE_ERROR && _lclose(f) == 0 && ok;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The two texts are the same once their stars are taken out. Compares the
// runs between stars whole, not byte by byte.
bool SameWithoutStars(std::string_view a, std::string_view b) {
    for (;;) {
        while (!a.empty() && a[0] == '*')
            a.remove_prefix(1);
        while (!b.empty() && b[0] == '*')
            b.remove_prefix(1);
        if (a.empty() || b.empty())
            return a.empty() && b.empty();
        const size_t n = std::min({a.find('*'), b.find('*'), a.size(), b.size()});
        if (a.substr(0, n) != b.substr(0, n))
            return false;
        a.remove_prefix(n);
        b.remove_prefix(n);
    }
}

size_t LineCount(const std::string& text) {
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n' || c == '\r'; // the reader also ends a line at a lone CR
    return lines;
}

std::string g_tempFile; // where the rewrites keep their temporary copy

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!hostwin::MountMachineInMemory(&error)) {
        std::fprintf(stderr, "cannot mount a machine in memory: %s\n", error.c_str());
        std::abort();
    }
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    g_tempFile = std::string(directory) + "wdps.tmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"win.ini", "system", "velmor", "WININIT.INI"};
    FuzzInput input(data, size);
    const unsigned op = input.Byte();
    const std::string section = input.Line(), key = input.Line(), value = input.Line();
    const std::string before = input.Rest();
    const bool insert = op & 4, missing = op & 8;

    IniFile ini(kNames[op & 3]);
    const std::string path = std::string("C:\\WINDOWS\\") + ini.Name();
    if (missing)
        DeleteFileA(path.c_str());
    else
        FUZZ_CHECK(Write(path, before));

    hostwin::ClearFaults();
    bool done = insert ? ini.InsertEntry(section.c_str(), key.c_str(), value.c_str())
                       : ini.DisableKey(section.c_str(), key.c_str());
    FUZZ_CHECK(!Exists(g_tempFile));
    if (missing && !insert) {
        FUZZ_CHECK(!done && !Exists(path));
        return 0;
    }
    FUZZ_CHECK(done);
    const std::string after = Read(path);
    if (!insert) {
        // Only stars in front of lines are added.
        FUZZ_CHECK(SameWithoutStars(after, before));
        FUZZ_CHECK(after.size() - before.size() <= LineCount(before));
        return 0;
    }
    const std::string entry = std::string(key.c_str()) + "=" + value.c_str() + "\r\n";
    if (missing) {
        FUZZ_CHECK(after == "\r\n[" + std::string(section.c_str()) + "]\r\n" + entry);
        return 0;
    }
    FUZZ_CHECK(after.size() >= before.size() + entry.size());
    FUZZ_CHECK(after.find(entry) != std::string::npos);
    return 0;
}
