// Writes the sample installation disks DISK1, DISK2 and DISK3: every source
// file the installation script names, in its sub-folder, with deterministic
// contents of plausible sizes. The product's main program is a real program
// (the stand-in); the rest are marked filler, the same on every run.
//   make-disks SCRIPT OUTDIR --program BRIVANTA.EXE [--setup SETUP.EXE]
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// A 3.5" 1.44 MB floppy: 2847 data clusters of one 512-byte sector, 224
// root directory entries.
const uint64_t kDiskBytes = 2847 * 512;
const int kRootEntries = 224;

struct SourceFile {
    int disk;
    std::string path; // relative, with '\' separators as the script has it
};

// Source files of the Files section: "...|~Disk n|sub\name,|...".
std::vector<SourceFile> ReadSources(const std::string& script) {
    std::vector<SourceFile> files;
    std::istringstream lines(script);
    std::string line;
    bool inFiles = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, 6, "Files:") == 0)
            inFiles = true;
        else if (line.empty() || line[0] != ':')
            inFiles = false;
        size_t disk = line.find("|~Disk ");
        if (!inFiles || disk == std::string::npos)
            continue;
        size_t bar = line.find('|', disk + 1), comma = line.find(',', disk);
        if (bar == std::string::npos || comma == std::string::npos || comma < bar)
            continue;
        SourceFile file{std::atoi(line.c_str() + disk + 7), line.substr(bar + 1, comma - bar - 1)};
        bool seen = false;
        for (const SourceFile& f : files)
            seen = seen || (f.disk == file.disk && f.path == file.path);
        if (!seen)
            files.push_back(file);
    }
    return files;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

uint32_t Hash(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

// Size of a filler file, by kind, varied a little per name.
size_t FillerSize(const std::string& name) {
    static const std::map<std::string, std::pair<size_t, size_t>> kSizes = {
        {"kbd", {1400, 1600}},   {"bi_", {256, 4096}},     {"nl_", {66082, 0}},
        {"dl_", {28000, 36000}}, {"da_", {3000, 2000}},    {"fo_", {5000, 40000}},
        {"ttf", {62000, 22000}}, {"hl_", {140000, 20000}}, {"ex_", {38000, 8000}},
        {"ext", {1800, 600}},    {"doc", {12000, 4000}}};
    std::string lower = Lower(name);
    size_t dot = lower.rfind('.');
    auto it = kSizes.find(dot == std::string::npos ? "" : lower.substr(dot + 1));
    if (it == kSizes.end())
        return 4096;
    size_t spread = it->second.second;
    return it->second.first + (spread ? Hash(lower) % spread : 0);
}

std::string Filler(const std::string& name) {
    std::string header = "Brivanta 3.2 sample disk file " + Lower(name) + "\r\n\x1a";
    std::string data = header;
    size_t size = FillerSize(name);
    uint32_t x = Hash(Lower(name)) | 1;
    while (data.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data.push_back(static_cast<char>(x & 0xff));
    }
    data.resize(size);
    return data;
}

bool ReadFile(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *data = buffer.str();
    return static_cast<bool>(in) || !data->empty();
}

bool MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

struct Disk {
    uint64_t clusters = 0;
    int rootEntries = 0;
};

bool WriteDiskFile(const std::string& outDir, int diskNo, const std::string& relative,
                   const std::string& data, std::map<int, Disk>* disks) {
    std::string path = outDir + "/DISK" + std::to_string(diskNo) + "/" + relative;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (!MakeDirs(path.substr(0, path.rfind('/'))))
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    Disk& disk = (*disks)[diskNo];
    disk.clusters += (data.size() + 511) / 512;
    if (relative.find('\\') == std::string::npos)
        disk.rootEntries += 1;
    return static_cast<bool>(out);
}

int Fail(const std::string& message) {
    std::cerr << "make-disks: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string scriptPath, outDir, programPath, setupPath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--program" || arg == "--setup") && i + 1 < argc)
            (arg == "--program" ? programPath : setupPath) = argv[++i];
        else if (scriptPath.empty())
            scriptPath = arg;
        else if (outDir.empty())
            outDir = arg;
        else
            return Fail("unexpected argument " + arg);
    }
    if (scriptPath.empty() || outDir.empty() || programPath.empty())
        return Fail("usage: make-disks SCRIPT OUTDIR --program BRIVANTA.EXE [--setup SETUP.EXE]");
    std::string script, program, setup;
    if (!ReadFile(scriptPath, &script))
        return Fail("cannot read " + scriptPath);
    if (!ReadFile(programPath, &program))
        return Fail("cannot read " + programPath);
    if (!setupPath.empty() && !ReadFile(setupPath, &setup))
        return Fail("cannot read " + setupPath);
    std::vector<SourceFile> sources = ReadSources(script);
    if (sources.empty())
        return Fail("no source files in the Files section of " + scriptPath);

    std::map<int, Disk> disks;
    for (const SourceFile& file : sources) {
        bool isProgram = Lower(file.path) == "brivanta.ex_";
        if (!WriteDiskFile(outDir, file.disk, file.path, isProgram ? program : Filler(file.path),
                           &disks))
            return Fail("cannot write " + file.path);
    }
    if (!setup.empty() && !WriteDiskFile(outDir, 1, "SETUP.EXE", setup, &disks))
        return Fail("cannot write SETUP.EXE");
    for (const auto& [number, disk] : disks) {
        uint64_t bytes = disk.clusters * 512;
        std::printf("DISK%d: %llu bytes on disk\n", number, static_cast<unsigned long long>(bytes));
        if (bytes > kDiskBytes || disk.rootEntries > kRootEntries)
            return Fail("DISK" + std::to_string(number) + " does not fit a 1.44 MB floppy");
    }
    std::printf("%zu source files\n", sources.size());
    return 0;
}
