// Writes the installation disks DISK1, DISK2 and DISK3 (one folder each,
// setup.exe on the first) and, beside them, their 1.44 MB floppy images
// DISK1.IMG..DISK3.IMG, made with mtools. A disk holds every source file
// that the installation script's Files section names for it, in its
// sub-folder. The files are the product's own (--files: a folder holding
// exactly those files, names matched case-insensitively), or marked filler
// of plausible sizes with a real program (the stand-in) as the product's
// main program (--program).
//   make-disks SCRIPT OUTDIR (--files DIR | --program BRIVANTA.EXE) [--setup SETUP.EXE]
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A 3.5" 1.44 MB floppy as mformat -f 1440 makes it: 2847 data clusters
// of one 512-byte sector, 224 root directory entries.
const uint64_t kClusters = 2847;
const uint64_t kClusterBytes = 512;
const uint64_t kRootEntries = 224;

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

// The script's '\' as the host's '/'.
std::string HostPath(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
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

struct DiskFile {
    std::string path; // relative, '/' separators
    std::string data;
};
typedef std::map<int, std::vector<DiskFile>> Disks;

// --- The product's folder --------------------------------------------------

// Every regular file under `dir`, relative, keyed by its lower-case path.
std::multimap<std::string, std::string> ListFolder(const std::string& dir) {
    std::multimap<std::string, std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file()) {
            std::string relative = fs::relative(it->path(), dir).generic_string();
            files.emplace(Lower(relative), relative);
        }
    }
    return files;
}

// Fills the disks from the product's folder; answers the complaint (every
// missing and every extra file) or "".
std::string TakeProductFiles(const std::string& dir, const std::vector<SourceFile>& sources,
                             Disks* disks) {
    std::multimap<std::string, std::string> found = ListFolder(dir);
    std::string missing;
    for (const SourceFile& file : sources) {
        auto it = found.find(Lower(HostPath(file.path)));
        std::string data;
        if (it == found.end() || !ReadFile(dir + "/" + it->second, &data)) {
            missing += "\n  missing: " + file.path;
            continue;
        }
        (*disks)[file.disk].push_back({HostPath(file.path), data});
        found.erase(it);
    }
    std::string extra;
    for (const auto& [lower, relative] : found)
        extra += "\n  extra: " + relative;
    if (missing.empty() && extra.empty())
        return "";
    return dir + " does not hold exactly the product's " + std::to_string(sources.size()) +
           " files:" + missing + extra;
}

void TakeFillerFiles(const std::string& program, const std::vector<SourceFile>& sources,
                     Disks* disks) {
    for (const SourceFile& file : sources) {
        bool isProgram = Lower(file.path) == "brivanta.ex_";
        (*disks)[file.disk].push_back(
            {HostPath(file.path), isProgram ? program : Filler(file.path)});
    }
}

// --- Room on a floppy ------------------------------------------------------

bool IsShortChar(char c) {
    return isalnum(static_cast<unsigned char>(c)) || std::strchr("$%'-_@~`!(){}^#&", c);
}

// Directory entries of one name as mtools writes it: one when the name is
// an 8.3 name whose base and extension each keep to one case (the entry's
// case bits hold it), else one more for every 13 characters of the long
// name.
uint64_t EntriesOfName(const std::string& name) {
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    auto fits = [](const std::string& part, size_t most) {
        bool lower = false, upper = false, shortChars = true;
        for (char c : part) {
            lower = lower || islower(static_cast<unsigned char>(c));
            upper = upper || isupper(static_cast<unsigned char>(c));
            shortChars = shortChars && IsShortChar(c);
        }
        return part.size() <= most && shortChars && !(lower && upper);
    };
    bool isShort = !base.empty() && fits(base, 8) && fits(extension, 3) &&
                   extension.find('.') == std::string::npos;
    return isShort ? 1 : 1 + (name.size() + 12) / 13;
}

struct Usage {
    uint64_t clusters = 0;
    uint64_t rootEntries = 1; // the volume label
};

uint64_t ClustersOf(uint64_t bytes) {
    return (bytes + kClusterBytes - 1) / kClusterBytes;
}

// Clusters and root entries of one disk: the files' clusters, and each
// sub-folder's own clusters for its entries ("." and ".." among them).
Usage DiskUsage(const std::vector<DiskFile>& files) {
    std::map<std::string, uint64_t> entriesIn; // folder ("" the root) -> its entries
    auto add = [&entriesIn](const std::string& path) {
        size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
        bool newFolder = !folder.empty() && entriesIn.find(folder) == entriesIn.end();
        entriesIn[folder] += EntriesOfName(path.substr(slash + 1));
        return newFolder ? folder : std::string();
    };
    Usage usage;
    for (const DiskFile& file : files) {
        usage.clusters += ClustersOf(file.data.size());
        for (std::string folder = add(file.path); !folder.empty(); folder = add(folder)) {
        }
    }
    for (const auto& [folder, entries] : entriesIn) {
        if (folder.empty())
            usage.rootEntries += entries;
        else
            usage.clusters += ClustersOf((entries + 2) * 32);
    }
    return usage;
}

std::string FitComplaint(int number, const Usage& usage) {
    if (usage.clusters <= kClusters && usage.rootEntries <= kRootEntries)
        return "";
    auto over = [](uint64_t used, uint64_t room) { return used > room ? used - room : 0; };
    return "DISK" + std::to_string(number) +
           " does not fit a 1.44 MB floppy: " + std::to_string(over(usage.clusters, kClusters)) +
           " clusters too many (" + std::to_string(usage.clusters) + " of " +
           std::to_string(kClusters) + " of " + std::to_string(kClusterBytes) + " bytes), " +
           std::to_string(over(usage.rootEntries, kRootEntries)) +
           " root directory entries too many (" + std::to_string(usage.rootEntries) + " of " +
           std::to_string(kRootEntries) + ")";
}

// --- Writing ---------------------------------------------------------------

bool WriteData(const std::string& path, const std::string& data) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return !error && static_cast<bool>(out);
}

// Runs a program with its arguments and waits; answers whether it ended with 0.
bool Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "make-disks: cannot run %s: %s (run tools/install-deps.sh)\n", argv[0],
                     std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// DISKn.IMG beside the folder DISKn: a formatted 1.44 MB floppy labelled
// DISKn holding the folder's contents, modification times kept.
bool WriteImage(const std::string& outDir, int number) {
    std::string name = "DISK" + std::to_string(number);
    std::string image = outDir + "/" + name + ".IMG";
    std::error_code error;
    fs::remove(image, error);
    if (!Run({"mformat", "-i", image, "-C", "-f", "1440", "-v", name, "::"}))
        return false;
    std::vector<std::string> copy = {"mcopy", "-i", image, "-s", "-m", "-Q"};
    for (const fs::directory_entry& entry : fs::directory_iterator(outDir + "/" + name, error))
        copy.push_back(entry.path().string());
    copy.push_back("::/");
    return !error && Run(copy);
}

int Fail(const std::string& message) {
    std::cerr << "make-disks: " << message << "\n";
    return 1;
}

struct Arguments {
    std::string script, outDir, files, program, setup;
};

bool ReadArguments(int argc, char** argv, Arguments* args) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--files" && hasValue)
            args->files = argv[++i];
        else if (arg == "--program" && hasValue)
            args->program = argv[++i];
        else if (arg == "--setup" && hasValue)
            args->setup = argv[++i];
        else if (args->script.empty() && arg[0] != '-')
            args->script = arg;
        else if (args->outDir.empty() && arg[0] != '-')
            args->outDir = arg;
        else
            return false;
    }
    return !args->script.empty() && !args->outDir.empty() &&
           args->files.empty() != args->program.empty();
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ReadArguments(argc, argv, &args))
        return Fail("usage: make-disks SCRIPT OUTDIR (--files DIR | --program BRIVANTA.EXE) "
                    "[--setup SETUP.EXE]");
    std::string script, program, setup;
    if (!ReadFile(args.script, &script))
        return Fail("cannot read " + args.script);
    if (!args.program.empty() && !ReadFile(args.program, &program))
        return Fail("cannot read " + args.program);
    if (!args.setup.empty() && !ReadFile(args.setup, &setup))
        return Fail("cannot read " + args.setup);
    std::vector<SourceFile> sources = ReadSources(script);
    if (sources.empty())
        return Fail("no source files in the Files section of " + args.script);

    Disks disks;
    if (args.files.empty())
        TakeFillerFiles(program, sources, &disks);
    else if (std::string complaint = TakeProductFiles(args.files, sources, &disks);
             !complaint.empty())
        return Fail(complaint);
    if (!setup.empty())
        disks[1].push_back({"SETUP.EXE", setup});

    std::string complaints;
    for (const auto& [number, files] : disks) {
        Usage usage = DiskUsage(files);
        std::printf("DISK%d: %llu of %llu clusters, %llu of %llu root directory entries\n", number,
                    static_cast<unsigned long long>(usage.clusters),
                    static_cast<unsigned long long>(kClusters),
                    static_cast<unsigned long long>(usage.rootEntries),
                    static_cast<unsigned long long>(kRootEntries));
        std::string complaint = FitComplaint(number, usage);
        complaints += complaint.empty() ? "" : "\n  " + complaint;
    }
    if (!complaints.empty())
        return Fail("the disks do not fit 1.44 MB floppies:" + complaints);

    for (const auto& [number, files] : disks) {
        for (const DiskFile& file : files) {
            std::string path = args.outDir + "/DISK" + std::to_string(number) + "/" + file.path;
            if (!WriteData(path, file.data))
                return Fail("cannot write " + path);
        }
        if (!WriteImage(args.outDir, number))
            return Fail("cannot write the image of DISK" + std::to_string(number) + " with mtools");
    }
    std::printf("%zu source files\n", sources.size());
    return 0;
}
