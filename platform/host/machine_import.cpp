// An emulated machine made from a real one: its registry as the registry
// editor exports it, its WIN.INI and SYSTEM.INI, and a listing of its files.
#include "machine.h"
#include "registry_store.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace hostwin {

namespace {

bool ReadHost(const std::string& path, std::string* text, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    if (!in) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    *text = data.str();
    return true;
}

// The byte code page 1252 gives a character, or '?' where it has none, as
// Windows converts text it cannot show.
char Ansi(unsigned code) {
    static const unsigned kHigh[32] = {
        0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017d, 0,      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
        0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};
    if (code < 0x80 || (code >= 0xa0 && code <= 0xff))
        return char(code);
    for (unsigned i = 0; i < 32; ++i)
        if (kHigh[i] == code)
            return char(0x80 + i);
    return '?';
}

// UTF-16LE text as code page 1252; a pair of surrogates is one character.
std::string FromUtf16(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned unit = unsigned(static_cast<unsigned char>(bytes[i])) |
                        unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (unit >= 0xd800 && unit < 0xdc00 && i + 3 < bytes.size())
            i += 2; // the low surrogate: one character, which 1252 lacks
        out += unit >= 0xd800 && unit < 0xe000 ? '?' : Ansi(unit);
    }
    return out;
}

// The registry editor of Windows 2000 and later (and Wine's) exports
// UTF-16 text under another first line, with the data of expandable and
// multiple texts in UTF-16 too; the registry of Windows 95/98 holds them
// in its code page.
void MakeAnsi(RegNode* key) {
    for (RegValue& v : key->MutableValues())
        if (v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ)
            v.data = FromUtf16(v.data);
    for (auto& sub : key->subkeys)
        MakeAnsi(sub.get());
}

bool ReadExport(const std::string& path, RegRoots* roots, std::string* error) {
    std::string text;
    if (!ReadHost(path, &text, error))
        return false;
    const bool unicode = text.compare(0, 2, "\xff\xfe") == 0;
    if (unicode) {
        text = FromUtf16(text.substr(2));
        const char head[] = "Windows Registry Editor Version 5.00";
        if (text.compare(0, sizeof head - 1, head) != 0) {
            *error = path + ": a UTF-16 export that does not begin with \"" + head + "\"";
            return false;
        }
        text.replace(0, sizeof head - 1, "REGEDIT4");
    }
    std::string what;
    if (!ParseRegistry(text, roots, &what)) {
        *error = path + " " + what;
        return false;
    }
    if (unicode)
        for (auto& root : roots->keys)
            MakeAnsi(root.get());
    return true;
}

std::shared_ptr<RegNode> Copied(const RegNode& from) {
    auto node = std::make_shared<RegNode>();
    node->name = from.name;
    node->MutableValues() = from.Values();
    for (const auto& sub : from.subkeys)
        node->AddSubkey(Copied(*sub));
    return node;
}

// An export of the whole registry holds HKEY_LOCAL_MACHINE and HKEY_USERS:
// the other roots are views of keys in them. The stand-in keeps each root
// apart, so a missing HKEY_CURRENT_USER is the user's key (the only one
// besides .DEFAULT, else .DEFAULT) and a missing HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\Software\Classes, copied.
void FillViews(RegRoots* roots) {
    RegNode* user = roots->ByName("HKEY_CURRENT_USER");
    RegNode* users = roots->ByName("HKEY_USERS");
    if (user->subkeys.empty() && !user->HasValues()) {
        std::shared_ptr<RegNode> from = users->FindSubkey(".DEFAULT");
        std::vector<std::shared_ptr<RegNode>> others;
        for (const auto& k : users->subkeys) {
            const std::string& n = k->name;
            if (CompareNames(n, ".DEFAULT") != 0 &&
                !(n.size() > 8 && CompareNames(n.substr(n.size() - 8), "_Classes") == 0))
                others.push_back(k);
        }
        if (others.size() == 1)
            from = others[0];
        if (from) {
            const std::shared_ptr<RegNode> copy = Copied(*from);
            user->MutableValues() = copy->Values();
            for (const auto& sub : copy->subkeys)
                user->AddSubkey(sub);
        }
    }
    RegNode* classes = roots->ByName("HKEY_CLASSES_ROOT");
    if (classes->subkeys.empty() && !classes->HasValues()) {
        std::shared_ptr<RegNode> software =
            roots->ByName("HKEY_LOCAL_MACHINE")->FindSubkey("Software");
        std::shared_ptr<RegNode> from = software ? software->FindSubkey("Classes") : nullptr;
        if (from) {
            const std::shared_ptr<RegNode> copy = Copied(*from);
            classes->MutableValues() = copy->Values();
            for (const auto& sub : copy->subkeys)
                classes->AddSubkey(sub);
        }
    }
}

bool CopyIn(const std::string& hostFile, const char* dosPath, std::string* error) {
    std::string text;
    if (!ReadHost(hostFile, &text, error))
        return false;
    HFILE f = _lcreat(dosPath, 0);
    bool ok = f != HFILE_ERROR && _lwrite(f, text.data(), UINT(text.size())) == text.size();
    ok = f != HFILE_ERROR && _lclose(f) == 0 && ok;
    if (!ok)
        *error = std::string("cannot write ") + dosPath;
    return ok;
}

// A listing names files by their DOS paths, one a line, as "DIR /B /S"
// prints them; a path that others lie below is a folder. Each file is made
// empty, each folder made.
bool MakeListedFiles(const std::string& listing, std::string* error) {
    std::string text;
    if (!ReadHost(listing, &text, error))
        return false;
    std::vector<std::string> paths;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty())
            continue;
        std::string full = FullDosPath(line.c_str());
        if (full.size() < 4 || full[0] != 'C') {
            *error = listing + ": not a path on drive C: " + line;
            return false;
        }
        paths.push_back(full);
    }
    for (const std::string& path : paths) {
        for (size_t slash = path.find('\\', 3); slash != std::string::npos;
             slash = path.find('\\', slash + 1))
            CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
        bool folder = false;
        for (const std::string& other : paths)
            folder = folder || (other.size() > path.size() + 1 && other[path.size()] == '\\' &&
                                EqualNoCase(other.substr(0, path.size()), path));
        if (folder) {
            CreateDirectoryA(path.c_str(), nullptr);
            continue;
        }
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue; // WIN.INI and SYSTEM.INI are there already, with their text
        HFILE f = _lcreat(path.c_str(), 0);
        if (f == HFILE_ERROR || _lclose(f) != 0) {
            *error = "cannot make " + path;
            return false;
        }
    }
    return true;
}

// The files of a fresh machine in the three folders a listing describes.
void EmptyListedFolders() {
    for (const char* folder : {"C:\\WINDOWS\\", "C:\\WINDOWS\\SYSTEM\\", "C:\\WINDOWS\\FONTS\\"}) {
        WIN32_FIND_DATAA d;
        HANDLE find = FindFirstFileA((std::string(folder) + "*.*").c_str(), &d);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((std::string(folder) + d.cFileName).c_str());
        } while (FindNextFileA(find, &d));
        FindClose(find);
    }
}

} // namespace

bool ImportMachine(const std::string& folder, const MachineImport& from, std::string* error) {
    std::string ignored;
    error = error ? error : &ignored;
    struct stat st;
    if (stat(folder.c_str(), &st) == 0) {
        *error = folder + " exists; the machine is made in a new folder";
        return false;
    }
    RegRoots roots;
    if (!ReadExport(from.registry, &roots, error))
        return false;
    FillViews(&roots);
    if (!MountMachine(folder, error))
        return false;
    if (!from.listing.empty())
        EmptyListedFolders();
    bool ok = CopyIn(from.winIni, "C:\\WINDOWS\\WIN.INI", error) &&
              CopyIn(from.systemIni, "C:\\WINDOWS\\SYSTEM.INI", error) &&
              (from.listing.empty() || MakeListedFiles(from.listing, error));
    UnmountMachine();
    if (!ok)
        return false;
    const std::string text = FormatRegistry(roots);
    std::ofstream out(folder + "/registry.reg", std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        *error = "cannot write " + folder + "/registry.reg";
        return false;
    }
    return true;
}

} // namespace hostwin
