// The Program Manager of the emulated machine: its DDE command language and
// its groups, kept as one readable text file per group in the machine
// folder's progman/ folder ("[group name]", then "title=command line" lines).
#include "host_fs.h"
#include "machine.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hostwin {

namespace {

struct StoredGroup {
    std::string file; // host path
    ProgmanGroup group;
};

struct Command {
    std::string verb;
    std::vector<std::string> args;
};

// The group the item commands work on: the last one CreateGroup or ShowGroup
// named. ReplaceItem leaves the place of the item it removed to the next
// AddItem of that group.
std::string g_current;
std::string g_replacedGroup;
size_t g_replacedAt = 0;

std::string Folder() {
    return MachineFolder().empty() ? std::string() : MachineFolder() + "/progman";
}

bool ReadGroup(const std::string& file, StoredGroup* out) {
    std::string text;
    hostfs::ReadWhole(file, &text);
    std::istringstream in(text);
    std::string line;
    bool first = true;
    out->file = file;
    out->group = ProgmanGroup();
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            if (line.size() < 2 || line.front() != '[' || line.back() != ']')
                return false;
            out->group.name = line.substr(1, line.size() - 2);
            first = false;
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            out->group.items.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    return !first;
}

std::vector<StoredGroup> LoadGroups() {
    std::vector<StoredGroup> groups;
    std::string folder = Folder();
    std::vector<std::string> names;
    if (folder.empty() || !hostfs::List(folder, &names))
        return groups;
    for (const std::string& name : names) {
        StoredGroup g;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".grp") == 0 &&
            ReadGroup(folder + "/" + name, &g))
            groups.push_back(g);
    }
    std::sort(groups.begin(), groups.end(), [](const StoredGroup& a, const StoredGroup& b) {
        return a.group.name < b.group.name;
    });
    return groups;
}

bool FindGroup(const std::string& name, StoredGroup* out) {
    for (StoredGroup& g : LoadGroups()) {
        if (EqualNoCase(g.group.name, name)) {
            *out = g;
            return true;
        }
    }
    return false;
}

bool SaveGroup(const StoredGroup& g) {
    if (MachineIsReadOnly())
        return false; // a write-protected machine keeps its groups
    std::string text = '[' + g.group.name + "]\n";
    for (const ProgmanItem& item : g.group.items)
        text += item.title + '=' + item.commandLine + '\n';
    return hostfs::WriteWhole(g.file, text);
}

// A file name of its own for a new group: the name with what a host file
// name cannot hold replaced, numbered when taken.
std::string NewGroupFile(const std::string& name) {
    std::string stem;
    for (char c : name)
        stem += (c == '/' || c == '\\' || (unsigned char)c < 32) ? '_' : c;
    std::string file = Folder() + "/" + stem + ".grp";
    for (int n = 2; HostExists(file); ++n)
        file = Folder() + "/" + stem + " (" + std::to_string(n) + ").grp";
    return file;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One argument: quoted ("..." may hold commas, parentheses and brackets) or
// plain up to the next comma or closing parenthesis, blanks trimmed.
bool ParseArgument(const std::string& text, size_t& pos, std::string* arg) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] == '"') {
        size_t end = text.find('"', pos + 1);
        if (end == std::string::npos)
            return false;
        *arg = text.substr(pos + 1, end - pos - 1);
        pos = end + 1;
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        return pos < text.size() && (text[pos] == ',' || text[pos] == ')');
    }
    size_t end = text.find_first_of(",)[]\"", pos);
    if (end == std::string::npos || (text[end] != ',' && text[end] != ')'))
        return false;
    size_t last = end;
    while (last > pos && IsBlank(text[last - 1]))
        --last;
    *arg = text.substr(pos, last - pos);
    pos = end;
    return true;
}

// "[Verb(arg, ...)]" or "[Verb]" at text[pos]; pos moves past it.
bool ParseCommand(const std::string& text, size_t& pos, Command* out) {
    if (text[pos] != '[')
        return false;
    size_t end = text.find_first_of("(]", ++pos);
    if (end == std::string::npos)
        return false;
    out->verb = text.substr(pos, end - pos);
    while (!out->verb.empty() && IsBlank(out->verb.back()))
        out->verb.pop_back();
    out->args.clear();
    pos = end;
    if (text[pos] == '(') {
        do {
            ++pos;
            std::string arg;
            if (!ParseArgument(text, pos, &arg))
                return false;
            out->args.push_back(arg);
        } while (text[pos] == ',');
        ++pos; // the ')'
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
    }
    if (pos >= text.size() || text[pos] != ']')
        return false;
    ++pos;
    return !out->verb.empty();
}

std::vector<ProgmanItem>::iterator FindItem(StoredGroup& g, const std::string& title) {
    return std::find_if(g.group.items.begin(), g.group.items.end(),
                        [&](const ProgmanItem& item) { return EqualNoCase(item.title, title); });
}

bool CreateGroup(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty() || args[0].find_first_of("\r\n") != std::string::npos)
        return false;
    StoredGroup g;
    if (!FindGroup(args[0], &g)) {
        if (MachineIsReadOnly())
            return false;
        hostfs::Mkdir(Folder());
        g.file = NewGroupFile(args[0]);
        g.group.name = args[0];
        if (!SaveGroup(g))
            return false;
    }
    g_current = g.group.name;
    return true;
}

bool DeleteGroup(const std::vector<std::string>& args) {
    StoredGroup g;
    if (args.empty() || !FindGroup(args[0], &g))
        return false;
    if (EqualNoCase(g_current, g.group.name))
        g_current.clear();
    return hostfs::Unlink(g.file) == 0;
}

bool ShowGroup(const std::vector<std::string>& args) {
    StoredGroup g;
    if (args.size() < 2 || !FindGroup(args[0], &g))
        return false;
    g_current = g.group.name;
    return true;
}

// The item's title defaults to the program's name without directory and
// extension. A title the group file cannot keep is refused.
bool AddItem(const std::vector<std::string>& args) {
    StoredGroup g;
    if (args.empty() || args[0].empty() || !FindGroup(g_current, &g))
        return false;
    std::string title = args.size() > 1 ? args[1] : "";
    if (title.empty()) {
        std::string program = args[0].substr(0, args[0].find(' '));
        title = program.substr(program.find_last_of("\\:") + 1);
        title = title.substr(0, title.rfind('.'));
    }
    if (title.find_first_of("=\r\n") != std::string::npos)
        return false;
    auto it = FindItem(g, title);
    if (it != g.group.items.end()) {
        it->commandLine = args[0];
    } else {
        size_t at = g.group.items.size();
        if (EqualNoCase(g_replacedGroup, g.group.name) && g_replacedAt < at)
            at = g_replacedAt;
        g.group.items.insert(g.group.items.begin() + long(at), {title, args[0]});
    }
    g_replacedGroup.clear();
    return SaveGroup(g);
}

bool RemoveItem(const std::vector<std::string>& args, bool replace) {
    StoredGroup g;
    if (args.empty() || !FindGroup(g_current, &g))
        return false;
    auto it = FindItem(g, args[0]);
    if (it == g.group.items.end())
        return false;
    if (replace) {
        g_replacedGroup = g.group.name;
        g_replacedAt = size_t(it - g.group.items.begin());
    }
    g.group.items.erase(it);
    return SaveGroup(g);
}

bool Reload(const std::vector<std::string>& args) {
    StoredGroup g;
    return FindGroup(args.empty() ? g_current : args[0], &g);
}

bool Carry(const Command& c) {
    if (EqualNoCase(c.verb, "CreateGroup"))
        return CreateGroup(c.args);
    if (EqualNoCase(c.verb, "DeleteGroup"))
        return DeleteGroup(c.args);
    if (EqualNoCase(c.verb, "ShowGroup"))
        return ShowGroup(c.args);
    if (EqualNoCase(c.verb, "AddItem"))
        return AddItem(c.args);
    if (EqualNoCase(c.verb, "ReplaceItem"))
        return RemoveItem(c.args, true);
    if (EqualNoCase(c.verb, "DeleteItem"))
        return RemoveItem(c.args, false);
    if (EqualNoCase(c.verb, "Reload"))
        return Reload(c.args);
    return false;
}

} // namespace

void ResetProgman() {
    g_current.clear();
    g_replacedGroup.clear();
}

bool ProgmanExecute(const std::string& text) {
    if (Folder().empty())
        return false;
    size_t pos = 0;
    bool any = false;
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (pos == text.size())
            return any;
        Command c;
        if (!ParseCommand(text, pos, &c) || !Carry(c))
            return false;
        any = true;
    }
}

std::vector<ProgmanGroup> ProgmanGroups() {
    std::vector<ProgmanGroup> groups;
    for (const StoredGroup& g : LoadGroups())
        groups.push_back(g.group);
    return groups;
}

} // namespace hostwin
