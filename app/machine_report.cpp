#include "machine_report.h"

#include "shown_text.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

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
        if (isWininit && Upper(section) == "RENAME")
            snap->renames.push_back(key + "=" + value);
        else
            snap->iniEntries.emplace(dosPath + " [" + section + "] " + key, value);
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
            snap->directories.insert(childDos);
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

// A key of the store ("HKEY_CURRENT_USER\Software") as the script and the
// log name it ("HCU\Software\").
std::string ShownKey(const std::string& key) {
    static const char* const kRoots[][2] = {{"HKEY_LOCAL_MACHINE", "HLM"},
                                            {"HKEY_CURRENT_USER", "HCU"},
                                            {"HKEY_CURRENT_CONFIG", "HCC"}};
    std::string root = key.substr(0, key.find('\\'));
    for (const auto& names : kRoots)
        if (root == names[0])
            return names[1] + key.substr(root.size()) + "\\";
    return key + "\\";
}

// A quoted name or text of the store without its quotes and escapes.
std::string Unquoted(const std::string& quoted) {
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            c = quoted[++i];
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
        text += c;
    }
    return text;
}

// A value's data as a user reads it: text as it is, a number in hex and in
// decimal, other types as the store's hex bytes.
std::string ShownData(const std::string& data) {
    if (!data.empty() && data[0] == '"')
        return Unquoted(data);
    if (data.compare(0, 6, "dword:") == 0) {
        unsigned long number = std::strtoul(data.c_str() + 6, nullptr, 16);
        return "0x" + data.substr(6) + " (" + std::to_string(number) + ")";
    }
    return data;
}

// The keys and values of the store's form ("HKEY_CURRENT_USER\Software" ->
// "", "...\Software\"name"" -> "text" with its quotes) as a user reads them
// ("HCU\Software\", "HCU\Software\name" -> text), sorted so that a key's
// values follow it. A value's key is the listed key before its quoted name
// (or @).
std::map<std::string, std::string> ShownRegistry(const std::map<std::string, std::string>& store) {
    std::map<std::string, std::string> shown;
    for (const auto& [id, data] : store) {
        if (data.empty()) {
            shown[ShownKey(id)] = "";
            continue;
        }
        size_t at = id.find('\\');
        for (; at != std::string::npos; at = id.find('\\', at + 1)) {
            auto key = store.find(id.substr(0, at));
            bool named = id[at + 1] == '"' || id[at + 1] == '@';
            if (named && key != store.end() && key->second.empty())
                break;
        }
        if (at == std::string::npos)
            continue;
        std::string name = id.substr(at + 1);
        name = name == "@" ? "Default Value" : Unquoted(name);
        shown[ShownKey(id.substr(0, at)) + name] = ShownData(data);
    }
    return shown;
}

// The lines of a report, each wrapped to the terminal and shown as text.
class Report {
  public:
    Report(std::ostream& out, int columns) : out_(out), columns_(columns) {}
    void Heading(const std::string& text) {
        PrintWrapped(out_, Visible(text), columns_, "", "    ");
    }
    void Item(const std::string& text) {
        PrintWrapped(out_, Visible(text), columns_, "  ", "      ");
    }

  private:
    std::ostream& out_;
    int columns_;
};

struct Change {
    char sign; // '+' added, '~' changed, '-' removed
    std::string id, text;
};

// The entries added, changed and removed between two maps, in the order of
// their ids; `show` writes an entry with its value.
template <typename Map, typename Show>
std::vector<Change> Diff(const Map& before, const Map& after, Show show) {
    std::vector<Change> changes;
    auto b = before.begin();
    auto a = after.begin();
    while (b != before.end() || a != after.end()) {
        if (a == after.end() || (b != before.end() && b->first < a->first)) {
            changes.push_back({'-', b->first, show(b->first, b->second)});
            ++b;
        } else if (b == before.end() || a->first < b->first) {
            changes.push_back({'+', a->first, show(a->first, a->second)});
            ++a;
        } else {
            if (a->second != b->second)
                changes.push_back({'~', a->first, show(a->first, a->second)});
            ++a;
            ++b;
        }
    }
    return changes;
}

// Entries shown as "name = value"; a changed one says what it was.
template <typename Map> std::vector<Change> ValueDiff(const Map& before, const Map& after) {
    std::vector<Change> changes =
        Diff(before, after,
             [](const std::string& id, const std::string& value) { return id + " = " + value; });
    for (Change& c : changes)
        if (c.sign == '~')
            c.text += " (was " + (before.at(c.id).empty() ? "empty" : before.at(c.id)) + ")";
    return changes;
}

int Count(const std::vector<Change>& changes, char sign) {
    int n = 0;
    for (const Change& c : changes)
        n += c.sign == sign;
    return n;
}

std::string Counted(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool IsKey(const std::string& id) {
    return !id.empty() && id.back() == '\\';
}

// The key that holds a registry key or value, without its last part.
std::string Parent(const std::string& id) {
    size_t end = id.rfind('\\', id.size() - 2);
    end = IsKey(id) ? end : id.rfind('\\', end - 1);
    return end == std::string::npos ? "" : id.substr(0, end + 1);
}

// Lines under a heading with the real total (`folded` more are told in one
// of them); runs of more than `keep` changes below one key (such as a table
// of keyboard layouts) are cut short, and a line says how many more there
// are.
void PrintSection(Report& report, const std::string& heading, const std::vector<Change>& changes,
                  size_t keep = 0, size_t folded = 0) {
    if (changes.empty())
        return;
    report.Heading(heading + " (" + std::to_string(changes.size() + folded) + "):");
    std::map<std::string, size_t> below, more;
    for (const Change& c : changes) {
        std::string parent = keep ? Parent(c.id) : "";
        if (keep && ++below[parent] > keep)
            ++more[parent];
        else
            report.Item(std::string(1, c.sign) + " " + c.text);
    }
    for (const auto& [parent, count] : more)
        report.Item("... and " + std::to_string(count) + " more below " + parent);
}

} // namespace

MachineSnapshot TakeSnapshot(const std::string& folder) {
    MachineSnapshot snap;
    WalkFiles(folder + "/drive_c", "C:", &snap);
    snap.registry = hostwin::CopyRegistry();
    for (const hostwin::ProgmanGroup& group : hostwin::ProgmanGroups()) {
        snap.programItems["[" + group.name + "]"] = "";
        for (const hostwin::ProgmanItem& item : group.items)
            snap.programItems["[" + group.name + "] " + item.title] = item.commandLine;
    }
    return snap;
}

namespace {

struct Changes {
    std::vector<Change> files, dirs, registry, ini, renames, items;
    int keys = 0, groups = 0; // of the registry changes and the items
    int renamesGone = 0;      // WININIT.INI lines carried out at a restart
};

Changes Compare(const MachineSnapshot& before, const MachineSnapshot& after) {
    auto fileLine = [](const std::string& path, const std::pair<uint64_t, uint32_t>& v) {
        return path + " (" + std::to_string(v.first) + " bytes)";
    };
    auto name = [](const std::string& id, char) { return id + "\\"; };
    std::map<std::string, char> dirsBefore, dirsAfter;
    for (const std::string& d : before.directories)
        dirsBefore[d] = 0;
    for (const std::string& d : after.directories)
        dirsAfter[d] = 0;
    Changes c;
    c.files = Diff(before.files, after.files, fileLine);
    c.dirs = Diff(dirsBefore, dirsAfter, name);
    // Only the keys that differ, each with all its values: the rest would
    // show nothing.
    std::map<std::string, std::string> registryBefore, registryAfter;
    if (before.registry && after.registry)
        hostwin::RegistryDifferences(*before.registry, *after.registry, &registryBefore,
                                     &registryAfter);
    c.registry = ValueDiff(ShownRegistry(registryBefore), ShownRegistry(registryAfter));
    c.ini = ValueDiff(before.iniEntries, after.iniEntries);
    c.items = ValueDiff(before.programItems, after.programItems);
    for (Change& change : c.registry)
        if (IsKey(change.id) && ++c.keys)
            change.text = change.id;
    for (Change& change : c.items)
        if (change.id.back() == ']' && ++c.groups)
            change.text = change.id + " (the group)";
    std::multiset<std::string> old(before.renames.begin(), before.renames.end());
    for (const std::string& line : after.renames) {
        auto same = old.find(line);
        if (same != old.end())
            old.erase(same);
        else
            c.renames.push_back({'+', line, line});
    }
    c.renamesGone = int(old.size());
    return c;
}

// "38 files added, 3 changed, 0 removed; 1 directory made; ..."; empty
// when nothing changed.
std::string Summary(const Changes& c) {
    std::vector<std::string> parts;
    if (!c.files.empty())
        parts.push_back(Counted(Count(c.files, '+'), "file", "files") + " added, " +
                        std::to_string(Count(c.files, '~')) + " changed, " +
                        std::to_string(Count(c.files, '-')) + " removed");
    if (Count(c.dirs, '+'))
        parts.push_back(Counted(Count(c.dirs, '+'), "directory", "directories") + " made");
    if (Count(c.dirs, '-'))
        parts.push_back(Counted(Count(c.dirs, '-'), "directory", "directories") + " removed");
    if (!c.registry.empty())
        parts.push_back(
            Counted(int(c.registry.size()) - c.keys, "registry value", "registry values") +
            " and " + Counted(c.keys, "key", "keys"));
    if (!c.ini.empty())
        parts.push_back(Counted(int(c.ini.size()), "INI entry", "INI entries"));
    if (!c.renames.empty())
        parts.push_back(Counted(int(c.renames.size()), "WININIT.INI line", "WININIT.INI lines"));
    if (c.renamesGone)
        parts.push_back(Counted(c.renamesGone, "WININIT.INI line", "WININIT.INI lines") + " gone");
    if (!c.items.empty())
        parts.push_back(Counted(int(c.items.size()) - c.groups, "Program Manager item",
                                "Program Manager items") +
                        (c.groups ? " and " + Counted(c.groups, "group", "groups") : ""));
    std::string summary;
    for (size_t i = 0; i < parts.size(); ++i)
        summary += (i ? "; " : "") + parts[i];
    return summary;
}

} // namespace

int PrintChanges(const std::string& title, const MachineSnapshot& before,
                 const MachineSnapshot& after, std::ostream& out, int columns) {
    Changes c = Compare(before, after);
    std::string summary = Summary(c);
    Report report(out, columns);
    report.Heading(title + ": " + (summary.empty() ? "nothing" : summary) + ".");
    if (summary.empty())
        return 0;
    report.Item("(+ added, ~ changed, - removed)");
    PrintSection(report, "Directories", c.dirs);
    PrintSection(report, "Files", c.files);
    PrintSection(report, "Registry", c.registry, 12);
    PrintSection(report, "INI entries", c.ini);
    int renames = int(c.renames.size()) + c.renamesGone;
    if (c.renamesGone) // one line for those the restart carried out
        c.renames.push_back({'-', "", Counted(c.renamesGone, "line", "lines") + " carried out"});
    PrintSection(report, "WININIT.INI lines", c.renames, 0, c.renamesGone ? c.renamesGone - 1 : 0);
    PrintSection(report, "Program Manager", c.items);
    return int(c.files.size() + c.dirs.size() + c.registry.size() + c.ini.size() + c.items.size()) +
           renames;
}

void PrintStarts(const std::vector<hostwin::ShellStart>& starts, std::ostream& out, int columns) {
    Report report(out, columns);
    for (const hostwin::ShellStart& start : starts) {
        std::string line = (start.started ? "Started: " : "Not started (not found): ") + start.file;
        if (!start.parameters.empty())
            line += ", with the parameter" +
                    std::string(start.parameters.find(' ') == std::string::npos ? " " : "s ") +
                    start.parameters;
        report.Heading(line);
    }
}

void PrintRestart(const std::vector<hostwin::RenameStep>& steps, std::ostream& out, int columns) {
    Report report(out, columns);
    report.Heading("Restart: WININIT.INI carried out (" +
                   Counted(int(steps.size()), "line", "lines") + "):");
    int missing = 0;
    for (const hostwin::RenameStep& step : steps) {
        if (!step.done)
            ++missing;
        else if (step.deleted)
            report.Item("deleted " + step.source);
        else
            report.Item("moved " + step.source + " -> " + step.target);
    }
    if (missing)
        report.Item("nothing done for " + Counted(missing, "line", "lines") +
                    ": the file named was not there");
}
