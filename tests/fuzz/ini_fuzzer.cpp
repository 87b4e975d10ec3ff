// The two whole-file rewrites of IniFile over any file bytes, on an emulated
// machine mounted once in a temporary folder.
//
// Input: an operation byte, then the section, key and value lines, then the
// file. Operation bits: 1-2 the file (WIN.INI, SYSTEM.INI, VELMOR.INI,
// WININIT.INI), 4 InsertEntry instead of DisableKey, 8 no file at all.
#include "fuzz_input.h"
#include "ini_file.h"
#include "platform/host_testing.h"
#include "platform/win32.h"

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_root;

void RemoveRoot() {
    if (!g_root.empty())
        std::system(("rm -rf '" + g_root + "'").c_str());
}

std::string HostRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool HostExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string WithoutStars(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '*')
            out += c;
    return out;
}

size_t LineCount(const std::string& text) {
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

std::string TempFile() {
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return hostwin::HostPath((std::string(directory) + "wdps.tmp").c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when possible: every run writes and copies the file.
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base)
        base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/ini-fuzz-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        std::abort();
    g_root = pattern;
    std::atexit(RemoveRoot);
    std::string error;
    if (!hostwin::MountMachine(g_root + "/machine", &error)) {
        std::fprintf(stderr, "cannot mount the machine: %s\n", error.c_str());
        std::abort();
    }
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
    const std::string host = hostwin::HostPath((std::string("C:\\WINDOWS\\") + ini.Name()).c_str());
    if (missing)
        std::remove(host.c_str());
    else
        std::ofstream(host, std::ios::binary) << before;

    hostwin::ClearFaults();
    bool done = insert ? ini.InsertEntry(section.c_str(), key.c_str(), value.c_str())
                       : ini.DisableKey(section.c_str(), key.c_str());
    FUZZ_CHECK(!HostExists(TempFile()));
    if (missing && !insert) {
        FUZZ_CHECK(!done && !HostExists(host));
        return 0;
    }
    FUZZ_CHECK(done);
    const std::string after = HostRead(host);
    if (!insert) {
        // Only stars in front of lines are added.
        FUZZ_CHECK(WithoutStars(after) == WithoutStars(before));
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
