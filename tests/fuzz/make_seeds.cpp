// Writes the seed corpora of the fuzz targets from the shipped script and
// from the files a fresh emulated machine holds. Run by hand; its output is
// committed under tests/fuzz/corpus.
//   make-fuzz-seeds SOURCE_DIR OUTPUT_DIR
#include "platform/host.h"
#include "platform/win32.h"
#include "script_text.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string g_out;

std::string HostRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    std::string dir = g_out + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
}

std::string Bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (unsigned v : values)
        out += char(v);
    return out;
}

// What the product answers when every option is chosen ("Dunor" and
// "Arvel" already installed, so their IF_N_ conditions fail).
const char kVariables[] = "IF_REG1=\nIF_KBDPH=\nIF_KBDBDS=\nIF_LANGDRV=\nIF_DOSFIL=\n"
                          "IF_FONTS=\nIF_DUNORU=\nIF_ARVELU=\nDEL_OLD=\nFEXT=fon\n"
                          "BV_Path=C:\\VELMOR\\BRIVANTA\\\nBV_SRC_DIR=A:\\\n"
                          "BV_SCUT=Brivanta 3.2\nAUTO_NUMBER=1\n\n";

struct Section {
    std::string name;
    std::vector<std::string> lines; // each with its CR LF, header first
};

std::vector<Section> SplitScript(const std::string& script) {
    std::vector<Section> sections;
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find("\r\n", at);
        end = end == std::string::npos ? script.size() : end + 2;
        std::string line = script.substr(at, end - at);
        if (line[0] != ':')
            sections.push_back({line.substr(0, line.find(':')), {}});
        sections.back().lines.push_back(line);
        at = end;
    }
    return sections;
}

std::string ScriptSeed(unsigned n, unsigned caps, unsigned mode, const std::string& section,
                       const std::string& variables, const std::string& script) {
    return Bytes({n, caps, caps, mode}) + section + "\n" + variables + script;
}

void ScriptSeeds(const std::string& script) {
    const std::string all = kVariables;
    Seed("script", "files-fext", ScriptSeed(16, 255, 0, "Files", all, script));
    Seed("script", "writesysdb-unclosed", ScriptSeed(37, 255, 0, "WriteSysDB", all, script));
    Seed("script", "writesysdb-uninstall", ScriptSeed(50, 255, 12, "WriteSysDB", all, script));
    Seed("script", "deletesysdb-auto", ScriptSeed(0, 255, 2, "DeleteSysDB", all, script));
    Seed("script", "paths-lower", ScriptSeed(3, 255, 0, "paths", all, script));
    Seed("script", "alias", ScriptSeed(0, 255, 0, "@UN_REG", all, script));
    Seed("script", "no-variables-cut", ScriptSeed(20, 16, 1, "WriteSysDB", "\n", script));
    // Each section on its own, the long ones in pieces of 20 lines; the
    // alias sections go along so that references still find them.
    std::vector<Section> sections = SplitScript(script);
    std::string aliases;
    for (const Section& s : sections)
        if (s.name[0] == '@')
            aliases += s.lines[0];
    for (const Section& s : sections) {
        if (s.name[0] == '@' || s.name == "End")
            continue;
        for (size_t first = 0; first < s.lines.size(); first += 20) {
            std::string text = s.lines[0];
            unsigned last = 0; // the piece's last line
            for (size_t i = first == 0 ? 1 : first; i < first + 20 && i < s.lines.size();
                 ++i, ++last)
                text += s.lines[i];
            text += aliases + "End:\r\n";
            Seed("script", s.name + "-" + std::to_string(first),
                 ScriptSeed(last, 255, 0, s.name, all, text));
        }
    }
}

// Answers conditions and variables the way kVariables does.
class AllOptions : public ScriptText {
  public:
    using ScriptText::ScriptText;
    ResultCode ResolveVariable(const char* name, char* dest, unsigned* room) override {
        std::string text;
        if (std::strcmp(name, "FEXT") == 0)
            text = "fon";
        else if (std::strncmp(name, "IF_", 3) != 0 && std::strcmp(name, "DEL_OLD") != 0)
            return ScriptText::ResolveVariable(name, dest, room);
        unsigned take = unsigned(text.size()) < *room ? unsigned(text.size()) : *room;
        std::memcpy(dest, text.data(), take);
        *room = take;
        return Ok;
    }
};

void ParseLineSeeds(const std::string& script) {
    AllOptions reader(script.data(), unsigned(script.size()));
    for (unsigned n = 0;; ++n) {
        char line[256];
        unsigned length = sizeof line;
        ResultCode got = reader.GetEntry("Files", line, &length, nullptr, nullptr, n);
        if (got != Ok)
            break;
        Seed("parse_line", "files-" + std::to_string(n), Bytes({0}) + line);
    }
    char line[256];
    unsigned length = sizeof line;
    if (reader.GetEntry("Delete", line, &length, nullptr, nullptr, 0) == Ok) {
        Seed("parse_line", "delete", Bytes({1}) + line);
        Seed("parse_line", "delete-no-targets", Bytes({3}) + line);
    }
    Seed("parse_line", "files-254", Bytes({0}) + "|A|" + std::string(246, 'n') + ",|B|x");
}

void IniSeeds() {
    const std::string system = HostRead(hostwin::HostPath("C:\\WINDOWS\\SYSTEM.INI"));
    const std::string win = HostRead(hostwin::HostPath("C:\\WINDOWS\\WIN.INI"));
    // Operation byte: file (0 WIN.INI, 1 SYSTEM.INI, 2 VELMOR.INI, 3
    // WININIT.INI), 4 insert, 8 no file.
    Seed("ini", "system-disable-keyboard", Bytes({1}) + "boot\nkeyboard.drv\n\n" + system);
    Seed("ini", "system-insert-language",
         Bytes({5}) + "boot\nlanguage.dll\nlngbriv2.dll\n" + system);
    Seed("ini", "win-insert-substitute",
         Bytes({4}) + "FontSubstitutes\nDunorU Cyr,204\nDunorU,204\n" + win);
    Seed("ini", "win-disable-load", Bytes({0}) + "windows\nload\n\n" + win);
    Seed("ini", "wininit-insert-rename",
         Bytes({7}) + "rename\nNULL\nC:\\WINDOWS\\FONTS\\VGASYS.FON\n" +
             "[rename]\r\nNULL=C:\\WINDOWS\\FONTS\\VGAOEM.FON\r\n");
    Seed("ini", "wininit-insert-new", Bytes({15}) + "rename\nNULL\nC:\\WINDOWS\\X.FON\n");
    Seed("ini", "velmor-disable",
         Bytes({2}) + "Global\nVelmorDir\n\n" + "[Global]\r\nVelmorDir=C:\\VELMOR\r\n");
    // Files we write ourselves: long lines, no final line break, odd headers.
    const std::string longLine = "keyboard.drv=" + std::string(300, 'k') + "\r\n";
    Seed("ini", "long-lines",
         Bytes({1}) + "boot\nkeyboard.drv\n\n" + "[boot]\r\n" + longLine + "keyboard.drv=x\r\n" +
             "[" + std::string(280, 'b') + "]\r\nkeyboard.drv=y\r\n");
    Seed("ini", "header-last", Bytes({5}) + "rename\nNULL\nx\n" + "a=1\r\n[rename]");
    Seed("ini", "odd-headers",
         Bytes({1}) + "boot\nkeyboard.drv\n\n" +
             "  [boot]\r\nkeyboard.drv=a\r\n[boot\r\nkeyboard.drv=b\r\n[boot]]\r\n"
             "keyboard.drv =c\r\n*keyboard.drv=d\r\n[BOOT]\nkeyboard.drv=e\n[other]\r\n"
             "keyboard.drv=f");
    Seed("ini", "twice", Bytes({6}) + "boot\nNULL\n\n" + "[boot]\r\nx=1\r\n[a]\r\n[Boot]\r\n");
}

void SetValue(HKEY root, const char* path, const char* name, DWORD type, const std::string& data) {
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0)
        return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   DWORD(data.size()));
    RegCloseKey(key);
}

void RegistrySeeds() {
    const std::string folder = hostwin::MachineFolder();
    const std::string store = folder + "/registry.reg";
    Seed("registry", "fresh", HostRead(store));
    const char* own = "Software\\Velmor\\Brivanta\\3.2";
    SetValue(HKEY_CURRENT_USER, own, "Program dir", REG_SZ, std::string("C:\\VELMOR\\\"B\"\0", 14));
    SetValue(HKEY_CURRENT_USER, own, nullptr, REG_SZ, std::string("default\0", 8));
    SetValue(HKEY_CURRENT_USER, own, "Count", REG_DWORD, std::string("\x2a\0\0\x80", 4));
    SetValue(HKEY_CURRENT_USER, own, "Table", REG_BINARY, std::string(80, '\xa5'));
    SetValue(HKEY_CURRENT_USER, own, "Path", REG_EXPAND_SZ, std::string("%windir%\0", 9));
    SetValue(HKEY_CURRENT_USER, own, "Lines", REG_SZ, std::string("a\r\nb\0", 5));
    SetValue(HKEY_CURRENT_USER, own, "Empty", REG_SZ, std::string());
    SetValue(HKEY_LOCAL_MACHINE, "Software\\a]b\\;c", "x=\"y", REG_SZ, std::string("z\0", 2));
    // Quoted, this name holds =" as a text value's line does.
    SetValue(HKEY_LOCAL_MACHINE, "Software\\a]b\\;c", "x=", REG_BINARY, std::string(40, 'x'));
    // The store and the journal of the changes since it was written, whole
    // and with its last entry cut.
    const std::string journal = HostRead(folder + "/registry-journal.reg");
    Seed("registry", "journal", HostRead(store) + "\n[~]\n" + journal);
    Seed("registry", "journal-cut",
         HostRead(store) + "\n[~]\n" + journal.substr(0, journal.size() - journal.size() / 3));
    hostwin::UnmountMachine(); // the journal is folded into the store
    Seed("registry", "written", HostRead(store));
    hostwin::MountMachine(folder);
    Seed("registry", "by-hand",
         "REGEDIT4\r\n\r\n; a comment\r\n[hkey_current_user\\A]\r\n\"a\"=hex(7):61,00,\\\r\n"
         "  62,00,00\r\n@=dword:1\r\n\"A\"=\"again\"\r\n\r\n[HKEY_DYN_DATA]\r\n\"x\"=hex:\r\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-fuzz-seeds SOURCE_DIR OUTPUT_DIR\n");
        return 2;
    }
    g_out = argv[2];
    mkdir(g_out.c_str(), 0755);
    const std::string script = HostRead(std::string(argv[1]) + "/resources/install.fd");
    if (script.empty()) {
        std::fprintf(stderr, "no script in %s/resources\n", argv[1]);
        return 1;
    }
    char folder[] = "/tmp/fuzz-seeds-XXXXXX";
    std::string error;
    if (!mkdtemp(folder) || !hostwin::MountMachine(std::string(folder) + "/machine", &error)) {
        std::fprintf(stderr, "cannot mount a machine: %s\n", error.c_str());
        return 1;
    }
    ScriptSeeds(script);
    ParseLineSeeds(script);
    IniSeeds();
    RegistrySeeds();
    hostwin::UnmountMachine();
    std::system((std::string("rm -rf ") + folder).c_str());
    return 0;
}
