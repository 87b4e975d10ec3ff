// A machine made from a real registry export: Wine's regedit exports the
// registry of a fresh Wine prefix in Windows 98 mode (made once per build
// folder, when Wine is installed), make-machine makes a machine of it with
// the prefix's WIN.INI, SYSTEM.INI and a listing of its Windows folders,
// and brivanta-setup plans and installs on that machine. The installation
// must keep every value it does not touch, byte for byte. And the store a
// run leaves is what Wine's regedit imports.
#include "registry_store.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Shell(const std::string& command, std::string* out = nullptr) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        if (out)
            out->append(buffer, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// The export, INI files and listing of a fresh Wine prefix, made once in
// the build folder; false when there is no Wine to make them.
bool WineMachineFiles(const fs::path& dir, std::string* why) {
    if (fs::exists(dir / "export.reg") && fs::exists(dir / "files.txt"))
        return true;
    if (Shell("/usr/lib/wine/wine64 --version || /usr/lib/wine/wine --version") != 0) {
        *why = "Wine is not installed";
        return false;
    }
    const fs::path prefix = dir / "prefix";
    const std::string tools = std::string(BRIVANTA_SOURCE_DIR) + "/tools/";
    std::string out;
    fs::create_directories(dir);
    if (Shell(tools + "wine-prefix.sh create " + Quoted(prefix), &out) != 0) {
        *why = "no Wine prefix: " + out;
        return false;
    }
    // The prefix's user writes the export into the prefix's own home.
    int status = Shell("BRIVANTA_WINEPREFIX=" + Quoted(prefix) + " " + tools +
                           "wine-run.sh 'C:\\windows\\regedit.exe' /E 'Z:" +
                           (prefix / "home" / "export.reg").string() + "'",
                       &out);
    fs::copy_file(prefix / "home" / "export.reg", dir / "export.reg",
                  fs::copy_options::overwrite_existing);
    const fs::path windows = prefix / "drive_c" / "windows";
    fs::copy_file(windows / "win.ini", dir / "win.ini", fs::copy_options::overwrite_existing);
    fs::copy_file(windows / "system.ini", dir / "system.ini", fs::copy_options::overwrite_existing);
    // The listing as DIR /B /S /A-D writes it on Windows 98.
    std::ofstream list(dir / "files.txt", std::ios::binary);
    // (A 64-bit prefix keeps the system files in system32.)
    const char* system = fs::is_directory(windows / "system") ? "system" : "system32";
    for (const char* sub : {"", system, "Fonts"})
        for (const auto& e : fs::directory_iterator(windows / sub))
            if (e.is_regular_file())
                list << "C:\\WINDOWS\\" << (*sub ? sub == system ? "SYSTEM\\" : "FONTS\\" : "")
                     << e.path().filename().string() << "\r\n";
    list.close();
    Shell(tools + "wine-prefix.sh remove " + Quoted(prefix));
    if (status != 0 || !list) {
        fs::remove(dir / "files.txt");
        *why = "regedit /E failed: " + out;
        return false;
    }
    return true;
}

// Every value of a store, "KEY\name" (lower case) -> type and bytes; and
// every key, in lower case.
struct Flat {
    std::map<std::string, std::pair<DWORD, std::string>> values;
    std::set<std::string> keys;
};

void Flatten(const hostwin::RegNode& key, const std::string& path, Flat* flat) {
    std::string lower = path;
    for (char& c : lower)
        c = char(tolower(static_cast<unsigned char>(c)));
    flat->keys.insert(lower);
    for (const hostwin::RegValue& v : key.Values()) {
        std::string name = v.name;
        for (char& c : name)
            c = char(tolower(static_cast<unsigned char>(c)));
        flat->values[lower + "\\" + name] = {v.type, v.data};
    }
    for (const auto& sub : key.subkeys)
        Flatten(*sub, path + "\\" + sub->name, flat);
}

Flat FlatStore(const fs::path& store) {
    hostwin::RegRoots roots;
    std::string error;
    EXPECT_TRUE(hostwin::ParseRegistry(Read(store), &roots, &error)) << error;
    Flat flat;
    for (const auto& root : roots.keys)
        Flatten(*root, root->name, &flat);
    return flat;
}

// What the plan says the installation writes or deletes, in the form Flat
// uses: "registry HCU\K\name = v" (the default value named "Default
// Value") and "registry delete HCU\K" (a key with its subkeys, or a value).
void PlannedChanges(const std::string& plan, std::set<std::string>* written,
                    std::set<std::string>* deleted) {
    std::istringstream in(plan);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("registry ", 0) != 0)
            continue;
        const bool remove = line.rfind("registry delete ", 0) == 0;
        std::string path = line.substr(remove ? 16 : 9);
        if (!remove)
            path = path.substr(0, path.find(" = "));
        const struct {
            const char* shortName;
            const char* name;
        } roots[] = {{"HCU\\", "HKEY_CURRENT_USER\\"},
                     {"HLM\\", "HKEY_LOCAL_MACHINE\\"},
                     {"HCC\\", "HKEY_CURRENT_CONFIG\\"}};
        for (const auto& root : roots)
            if (path.rfind(root.shortName, 0) == 0)
                path = root.name + path.substr(4);
        if (!remove && path.size() > 14 &&
            path.compare(path.size() - 14, 14, "\\Default Value") == 0)
            path.resize(path.size() - 13);
        for (char& c : path)
            c = char(tolower(static_cast<unsigned char>(c)));
        (remove ? deleted : written)->insert(path);
    }
}

bool Below(const std::string& path, const std::set<std::string>& trees) {
    for (const std::string& tree : trees)
        if (path == tree || path.rfind(tree + "\\", 0) == 0)
            return true;
    return false;
}

std::map<std::string, std::string> Snapshot(const fs::path& machine) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(machine))
        if (e.is_regular_file() && !e.is_symlink())
            files[e.path().string()] = Read(e.path());
    return files;
}

TEST(MachineImport, AnInstallationOnAMachineMadeFromARealExportKeepsEveryValueItDoesNotTouch) {
    const fs::path dir = fs::path(BRIVANTA_BINARY_DIR) / "wine-machine";
    std::string why;
    if (!WineMachineFiles(dir, &why))
        GTEST_SKIP() << why;
    const fs::path work = fs::path(testing::TempDir()) / "machine-import";
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path machine = work / "machine";
    std::string out;
    ASSERT_EQ(Shell(std::string(BRIVANTA_MAKE_MACHINE) + " " + Quoted(machine) + " --registry " +
                        Quoted(dir / "export.reg") + " --win-ini " + Quoted(dir / "win.ini") +
                        " --system-ini " + Quoted(dir / "system.ini") + " --listing " +
                        Quoted(dir / "files.txt"),
                    &out),
              0)
        << out;
    const Flat before = FlatStore(machine / "registry.reg");
    EXPECT_GT(before.values.size(), 10000u);
    // HKEY_CURRENT_USER is the user's key of the export; the prefix was set
    // to Windows 98 there.
    auto version = before.values.find("hkey_current_user\\software\\wine\\version");
    ASSERT_NE(version, before.values.end());
    EXPECT_EQ(version->second.second, std::string("win98\0", 6));
    EXPECT_EQ(Read(machine / "drive_c/WINDOWS/WIN.INI"), Read(dir / "win.ini"));

    const std::string setup = BRIVANTA_SETUP, disks = BRIVANTA_SAMPLE_DISKS;
    const auto unplanned = Snapshot(machine);
    std::string plan;
    ASSERT_EQ(Shell(setup + " --plan --machine " + Quoted(machine) + " --source " + disks, &plan),
              0)
        << plan;
    EXPECT_EQ(Snapshot(machine), unplanned) << "--plan changed the machine";
    std::set<std::string> written, deleted;
    PlannedChanges(plan, &written, &deleted);
    EXPECT_GT(written.size(), 50u) << plan;

    std::ofstream(work / "answers.ini") << "[Questions]\n57=2\n";
    ASSERT_EQ(Shell(setup + " --machine " + Quoted(machine) + " --source " + disks + " --answers " +
                        Quoted(work / "answers.ini"),
                    &out),
              1)
        << out;
    EXPECT_NE(out.find("Installed; the restart was declined."), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(machine / "registry-journal.reg"));
    const Flat after = FlatStore(machine / "registry.reg");
    unsigned kept = 0;
    for (const auto& v : before.values) {
        if (written.count(v.first) || Below(v.first, deleted))
            continue;
        auto now = after.values.find(v.first);
        if (now == after.values.end())
            ADD_FAILURE() << v.first << " is gone";
        else if (now->second != v.second)
            ADD_FAILURE() << v.first << " changed";
        else
            ++kept;
    }
    for (const auto& v : after.values)
        EXPECT_TRUE(before.values.count(v.first) || written.count(v.first))
            << v.first << " is new but not planned";
    for (const std::string& key : before.keys)
        EXPECT_TRUE(after.keys.count(key) || Below(key, deleted)) << key << " is gone";
    EXPECT_GT(kept, 10000u);
    if (!HasFailure())
        fs::remove_all(work);
}

// What a run leaves, one REGEDIT4 store, is what Wine's regedit imports:
// imported into a fresh prefix and exported again, every value of
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER reads back the same.
TEST(MachineImport, WinesRegeditImportsTheStoreARunLeaves) {
    std::string out;
    if (Shell("/usr/lib/wine/wine64 --version || /usr/lib/wine/wine --version") != 0)
        GTEST_SKIP() << "Wine is not installed";
    const fs::path work = fs::path(testing::TempDir()) / "regedit-import";
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path machine = work / "machine", prefix = work / "prefix", home = prefix / "home";
    const std::string setup = BRIVANTA_SETUP, disks = BRIVANTA_SAMPLE_DISKS;
    // A fresh machine (the run left at the welcome) given values of every
    // kind the store writes, long data wrapped, which the run keeps.
    std::ofstream(work / "leave.ini") << "[Welcome]\nResult=2\n[Questions]\n3=1\n";
    ASSERT_EQ(Shell(setup + " --machine " + Quoted(machine) + " --source " + disks + " --answers " +
                        Quoted(work / "leave.ini"),
                    &out),
              2)
        << out;
    std::ofstream(machine / "registry.reg", std::ios::app | std::ios::binary)
        << "[HKEY_LOCAL_MACHINE\\Software\\Kinds]\r\n"
           "@=\"default\"\r\n"
           "\"binary\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
           "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
           "  ff,fe\r\n"
           "\"expand\"=hex(2):25,57,49,4e,44,49,52,25,5c,78,00\r\n"
           "\"multi\"=hex(7):61,00,62,63,00,00\r\n"
           "\"dword\"=dword:89abcdef\r\n"
           "\"a \\\"name\\\"\"=\"C:\\\\WINDOWS \\\"quoted\\\"\"\r\n\r\n";
    std::ofstream(work / "answers.ini") << "[Questions]\n57=2\n";
    ASSERT_EQ(Shell(setup + " --machine " + Quoted(machine) + " --source " + disks + " --answers " +
                        Quoted(work / "answers.ini"),
                    &out),
              1)
        << out;
    ASSERT_FALSE(fs::exists(machine / "registry-journal.reg"));

    const std::string tools = std::string(BRIVANTA_SOURCE_DIR) + "/tools/";
    ASSERT_EQ(Shell(tools + "wine-prefix.sh create " + Quoted(prefix), &out), 0) << out;
    fs::copy_file(machine / "registry.reg", home / "folded.reg");
    fs::permissions(home / "folded.reg", fs::perms::others_read, fs::perm_options::add);
    const std::string regedit = "BRIVANTA_WINEPREFIX=" + Quoted(prefix) + " " + tools +
                                "wine-run.sh 'C:\\windows\\regedit.exe' ";
    const int imported = Shell(regedit + "/S 'Z:" + (home / "folded.reg").string() + "'", &out);
    const int exported = Shell(regedit + "/E 'Z:" + (home / "back.reg").string() + "'", &out);
    if (fs::exists(home / "back.reg"))
        fs::copy_file(home / "back.reg", work / "back.reg");
    Shell(tools + "wine-prefix.sh remove " + Quoted(prefix));
    ASSERT_EQ(imported, 0);
    ASSERT_EQ(exported, 0) << out;
    // make-machine reads the export, HKEY_CURRENT_USER from the user's key.
    const fs::path windows = machine / "drive_c" / "WINDOWS";
    ASSERT_EQ(Shell(std::string(BRIVANTA_MAKE_MACHINE) + " " + Quoted(work / "back") +
                        " --registry " + Quoted(work / "back.reg") + " --win-ini " +
                        Quoted(windows / "WIN.INI") + " --system-ini " +
                        Quoted(windows / "SYSTEM.INI"),
                    &out),
              0)
        << out;
    const Flat ours = FlatStore(machine / "registry.reg");
    const Flat back = FlatStore(work / "back" / "registry.reg");
    unsigned same = 0;
    for (const auto& v : ours.values) {
        if (v.first.rfind("hkey_local_machine\\", 0) != 0 &&
            v.first.rfind("hkey_current_user\\", 0) != 0)
            continue;
        auto there = back.values.find(v.first);
        if (there == back.values.end())
            ADD_FAILURE() << v.first << " was not imported";
        else if (there->second != v.second)
            ADD_FAILURE() << v.first << " was imported otherwise";
        else
            ++same;
    }
    EXPECT_GT(same, 100u);
    EXPECT_EQ(ours.values.count("hkey_local_machine\\software\\kinds\\binary"), 1u);
    if (!HasFailure())
        fs::remove_all(work);
}

} // namespace
