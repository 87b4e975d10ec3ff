#include "machine_report.h"

#include "platform/host.h"

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

bool ReadAll(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *data = buffer.str();
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

void ReadIni(const std::string& dosPath, const std::string& text, MachineSnapshot* snap) {
    std::string section;
    bool isWininit = Upper(dosPath) == "C:\\WINDOWS\\WININIT.INI";
    for (const std::string& raw : Lines(text)) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        size_t eq = line.find('=');
        std::string key = Trim(line.substr(0, eq));
        std::string value = eq == std::string::npos ? "" : Trim(line.substr(eq + 1));
        if (isWininit && Upper(section) == "RENAME") {
            snap->renames += "  " + key + "=" + value + "\n";
            continue;
        }
        std::string id = dosPath + " [" + section + "] " + key;
        snap->iniEntries.emplace(Upper(id), id + "=" + value);
    }
}

uint32_t Checksum(const std::string& data) {
    uint32_t h = 2166136261u;
    for (unsigned char c : data)
        h = (h ^ c) * 16777619u;
    return h;
}

void WalkFiles(const std::string& host, const std::string& dos, MachineSnapshot* snap) {
    DIR* dir = opendir(host.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string childHost = host + "/" + name, childDos = dos + "\\" + name;
        struct stat st;
        if (lstat(childHost.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            WalkFiles(childHost, childDos, snap);
            continue;
        }
        std::string data;
        if (!ReadAll(childHost, &data))
            continue;
        std::string upper = Upper(childDos);
        if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".INI") == 0)
            ReadIni(childDos, data, snap);
        snap->files[childDos] = {data.size(), Checksum(data)};
    }
    closedir(dir);
}

template <typename Map, typename Show>
int PrintDiff(const char* heading, const Map& before, const Map& after, Show show,
              std::ostream& out) {
    std::vector<std::string> lines;
    for (const auto& [id, value] : after) {
        auto old = before.find(id);
        if (old == before.end())
            lines.push_back("  + " + show(id, value));
        else if (old->second != value)
            lines.push_back("  ~ " + show(id, value));
    }
    for (const auto& [id, value] : before)
        if (after.find(id) == after.end())
            lines.push_back("  - " + show(id, value));
    if (lines.empty())
        return 0;
    out << heading << " (" << lines.size() << "):\n";
    for (const std::string& line : lines)
        out << line << "\n";
    return static_cast<int>(lines.size()) + 1;
}

// The registry without the keys that `other` lacks too but that hold values
// here (their values say enough), and with long runs of changed sibling
// keys (such as a table of keyboard layouts) cut short; `more` counts what
// was left out below each parent key.
std::map<std::string, std::string> Condensed(const std::map<std::string, std::string>& registry,
                                             const std::map<std::string, std::string>& other,
                                             std::map<std::string, int>* more) {
    std::map<std::string, std::string> result;
    std::map<std::string, int> siblings;
    for (const auto& [id, value] : registry) {
        bool isKey = value.empty() && id.back() != '"' && id.back() != '@';
        auto next = registry.upper_bound(id);
        bool hasChildren =
            next != registry.end() && next->first.compare(0, id.size() + 1, id + "\\") == 0;
        if (isKey && hasChildren && other.find(id) == other.end())
            continue;
        std::string key = isKey ? id : id.substr(0, id.rfind('\\', id.rfind('"') - 1));
        std::string parent = key.substr(0, key.rfind('\\'));
        auto same = other.find(id);
        bool changed = same == other.end() || same->second != value;
        if (changed && ++siblings[parent] > 12)
            continue;
        result[id] = value;
    }
    for (const auto& [parent, count] : siblings)
        if (count > 12)
            (*more)[parent] += count - 12;
    return result;
}

} // namespace

MachineSnapshot TakeSnapshot(const std::string& folder) {
    MachineSnapshot snap;
    WalkFiles(folder + "/drive_c", "C:", &snap);
    snap.registry = hostwin::CopyRegistry();
    return snap;
}

int PrintChanges(const MachineSnapshot& before, const MachineSnapshot& after, std::ostream& out) {
    auto fileLine = [](const std::string& path, const std::pair<uint64_t, uint32_t>& v) {
        return path + " (" + std::to_string(v.first) + " bytes)";
    };
    auto regLine = [](const std::string& id, const std::string& value) {
        return value.empty() && id.back() != '"' && id.back() != '@' ? "[" + id + "]"
                                                                     : id + "=" + value;
    };
    auto iniLine = [](const std::string&, const std::string& text) { return text; };
    int lines = PrintDiff("Files", before.files, after.files, fileLine, out);
    // Only the keys that differ, with all their values: the rest would
    // print nothing.
    std::map<std::string, std::string> registryBefore, registryAfter;
    if (before.registry && after.registry)
        hostwin::RegistryDifferences(*before.registry, *after.registry, &registryBefore,
                                     &registryAfter);
    std::map<std::string, int> more;
    lines += PrintDiff("Registry", Condensed(registryBefore, registryAfter, &more),
                       Condensed(registryAfter, registryBefore, &more), regLine, out);
    for (const auto& [parent, count] : more) {
        out << "  ... and " << count << " more values and keys below [" << parent << "]\n";
        ++lines;
    }
    lines += PrintDiff("INI entries", before.iniEntries, after.iniEntries, iniLine, out);
    if (before.renames != after.renames && !after.renames.empty()) {
        out << "Renames scheduled in C:\\WINDOWS\\WININIT.INI:\n" << after.renames;
        ++lines;
    }
    return lines;
}

void PrintProgramGroups(std::ostream& out) {
    for (const hostwin::ProgmanGroup& group : hostwin::ProgmanGroups()) {
        out << "Program group \"" << group.name << "\":\n";
        for (const hostwin::ProgmanItem& item : group.items)
            out << "  " << item.title << " = " << item.commandLine << "\n";
    }
}
