// The host's registry store and the fault switches of the registry and
// profile calls: what only the emulated machine has.
#include "support/scratch.h"
#include "support/test_script.h"

#include "platform/host_testing.h"
#include "platform/win32.h"
#include "ini_file.h"
#include "reg_key.h"
#include "sys_db.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace {

const unsigned kBoth = RegKey::AccessRead | RegKey::AccessWrite;

std::string StorePath(const std::string& folder = hostwin::MachineFolder()) {
    return folder + "/registry.reg";
}

std::string JournalPath() {
    return hostwin::MachineFolder() + "/registry-journal.reg";
}

std::string HostRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void HostWrite(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool HostExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

hostwin::FaultRule Fault(hostwin::FaultOp op, const std::string& path, unsigned nth = 1) {
    hostwin::FaultRule rule;
    rule.op = op;
    rule.pathContains = path;
    rule.nth = nth;
    return rule;
}

// Mounts the machine again, as the next run of a program would find it.
void Remount() {
    std::string folder = hostwin::MachineFolder();
    hostwin::UnmountMachine();
    std::string error;
    ASSERT_TRUE(hostwin::MountMachine(folder, &error)) << error;
}

TEST(HostRegistry, TheStoreIsRegedit4TextSortedWithoutRegardToCase) {
    Scratch s;
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetString("HCU\\Software\\zeta\\Text", "say \"hi\" C:\\dir"));
    ASSERT_TRUE(key.SetString("HCU\\Software\\Alpha\\Default Value", "d"));
    ASSERT_TRUE(key.SetString("HCU\\Software\\Alpha\\Empty", ""));
    ASSERT_TRUE(key.SetNumber("HCU\\Software\\Alpha\\count", 10));
    ASSERT_TRUE(key.SetString("HCU\\Software\\beta\\", ""));
    HKEY alpha;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ALPHA", 0, KEY_ALL_ACCESS, &alpha), 0);
    ASSERT_EQ(
        RegSetValueExA(alpha, "Bin", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x01\xff"), 2),
        0);
    std::string bytes(30, 'b');
    ASSERT_EQ(RegSetValueExA(alpha, "Long", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(bytes.data()), 30),
              0);
    RegCloseKey(alpha);

    Remount(); // the end of a run writes the changes into the store
    std::string store = HostRead(StorePath());
    std::string hexLine = "\"Long\"=hex:";
    for (int i = 0; i < 25; ++i)
        hexLine += "62,";
    hexLine += "\\\r\n  62,62,62,62,62\r\n";
    std::string expected = "[HKEY_CURRENT_USER\\Software\\Alpha]\r\n"
                           "@=\"d\"\r\n"
                           "\"Bin\"=hex:01,ff\r\n"
                           "\"count\"=dword:0000000a\r\n"
                           "\"Empty\"=\"\"\r\n" +
                           hexLine +
                           "\r\n"
                           "[HKEY_CURRENT_USER\\Software\\beta]\r\n"
                           "\r\n"
                           "[HKEY_CURRENT_USER\\Software\\zeta]\r\n"
                           "\"Text\"=\"say \\\"hi\\\" C:\\\\dir\"\r\n"
                           "\r\n";
    EXPECT_NE(store.find(expected), std::string::npos) << store;
    EXPECT_EQ(store.compare(0, 12, "REGEDIT4\r\n\r\n"), 0);

    // Read back exactly, types and sizes included.
    char buffer[64];
    EXPECT_TRUE(key.QueryValue("HCU\\software\\zeta\\text", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "say \"hi\" C:\\dir");
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Alpha", 0, KEY_READ, &alpha), 0);
    DWORD type = 0, size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(alpha, "Empty", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
        0);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 1u);
    size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(alpha, "Long", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), 0);
    EXPECT_EQ(std::string(buffer, size), bytes);
    RegCloseKey(alpha);
    ASSERT_TRUE(key.SetString("HCU\\Software\\zeta\\Text", "say \"hi\" C:\\dir"));
    Remount();
    EXPECT_EQ(HostRead(StorePath()), store); // a load and a save change nothing
}

TEST(HostRegistry, AStoreThatCannotBeReadFailsTheMountWithItsLineAndStaysAsItWas) {
    Scratch s;
    std::string folder = hostwin::MachineFolder();
    hostwin::UnmountMachine();
    const std::string bad = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"ok\"=\"1\"\r\n"
                            "\"broken\"=dword:xyz\r\n";
    HostWrite(folder + "/registry.reg", bad);
    std::string error;
    EXPECT_FALSE(hostwin::MountMachine(folder, &error));
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;
    EXPECT_FALSE(hostwin::IsMounted());
    EXPECT_EQ(HostRead(folder + "/registry.reg"), bad);
    for (const char* text : {"[HKEY_CURRENT_USER]\r\n", "REGEDIT4\r\n\"v\"=\"before a key\"\r\n",
                             "REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n", "REGEDIT4\r\n[HKEY_USERS\\x\r\n",
                             "REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"open=\"x\r\n"}) {
        HostWrite(folder + "/registry.reg", text);
        EXPECT_FALSE(hostwin::MountMachine(folder, &error)) << text;
        EXPECT_EQ(HostRead(folder + "/registry.reg"), text);
    }
    // Names with a zero byte: no call could reach them, and they would not
    // keep their order from one save to the next.
    const std::string zeroInNames[] = {
        std::string("REGEDIT4\r\n[HKEY_USERS\\x]\r\n\"b\0a\"=\"1\"\r\n", 37),
        std::string("REGEDIT4\r\n\r\n[HKEY_USERS\\x\0y]\r\n", 30)};
    for (const std::string& text : zeroInNames) {
        HostWrite(folder + "/registry.reg", text);
        EXPECT_FALSE(hostwin::MountMachine(folder, &error));
        EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    }
    HostWrite(folder + "/registry.reg",
              "REGEDIT4\n\n[HKEY_USERS\\x]\n\"v\"=hex(7):61,00,\\\n  00\n");
    ASSERT_TRUE(hostwin::MountMachine(folder, &error)) << error;
    HKEY x;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &x), 0);
    char buffer[8];
    DWORD type = 0, size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(x, "v", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), 0);
    EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
    EXPECT_EQ(std::string(buffer, size), std::string("a\0\0", 3));
    RegCloseKey(x);
}

// A hand-edited store is read as the registry editor reads it: each form
// below gives the same machine as the plain text. Only what no call could
// make is refused: a key name over 255 characters, a type over 32 bits.
TEST(HostRegistry, TheStoreReadsTheFormsTheRegistryEditorReads) {
    Scratch s;
    const std::string folder = hostwin::MachineFolder(), store = StorePath();
    auto saved = [&](const std::string& text, std::string* error) {
        hostwin::UnmountMachine();
        HostWrite(store, text);
        if (!hostwin::MountMachine(folder, error))
            return std::string("refused");
        // A change beside the key read, so that only a load and a fold see it.
        HKEY x;
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_USERS, "y", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &x, nullptr),
            0);
        EXPECT_EQ(RegSetValueExA(x, "saved", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1), 0);
        RegCloseKey(x);
        hostwin::UnmountMachine();
        return HostRead(store);
    };
    const std::string head = "REGEDIT4\r\n\r\n";
    const std::string plain = head + "[HKEY_USERS\\x]\r\n\"a\"=\"1;2\"\r\n@=dword:00000002\r\n"
                                     "\"h\"=hex:01,0a,f0\r\n";
    std::string error;
    const std::string expected = saved(plain, &error);
    ASSERT_NE(expected, "refused") << error;
    const std::string forms[] = {
        // blanks after a key line and after data, and lines of blanks only
        head + "[HKEY_USERS\\x] \t\r\n \t\r\n\"a\"=\"1;2\"  \r\n@=dword:00000002\t\r\n"
               "\"h\"=hex:01,0a,f0 \r\n",
        // indented value lines, blanks around "="
        head + "[HKEY_USERS\\x]\r\n  \"a\" = \"1;2\"\r\n\t@ =dword:00000002\r\n"
               "\"h\"= hex:01,0a,f0\r\n",
        // comments after a key line and after data
        head + "[HKEY_USERS\\x] ; the key\r\n\"a\"=\"1;2\" ; text\r\n@=dword:00000002;n\r\n"
               "\"h\"=hex:01,0a,\\\r\n  f0 ; bytes\r\n",
        // one-digit hex bytes, a final Ctrl-Z
        head + "[HKEY_USERS\\x]\r\n\"a\"=\"1;2\"\r\n@=dword:00000002\r\n\"h\"=hex:1,a,f0\r\n\x1a",
        // deletion lines: a key with its subkeys, a value
        head + "[HKEY_USERS\\x\\gone\\deep]\r\n\"v\"=\"1\"\r\n[HKEY_USERS\\x]\r\n\"a\"=\"1;2\"\r\n"
               "\"b\"=\"1\"\r\n@=dword:00000002\r\n\"h\"=hex:01,0a,f0\r\n[-HKEY_USERS\\x\\gone]\r\n"
               "[-HKEY_USERS\\x\\never]\r\n[HKEY_USERS\\x]\r\n\"b\"=-\r\n\"c\"=-\r\n",
        // out of order, a name twice, a key twice, a blank line among values, bare line feeds
        head + "[HKEY_USERS\\x]\r\n\"h\"=hex:01,0a,f0\r\n\"a\"=\"1;2\"\r\n@=dword:00000002\r\n",
        head + "[HKEY_USERS\\x]\r\n@=dword:00000002\r\n\"a\"=\"1\"\r\n\"A\"=\"1;2\"\r\n"
               "\"h\"=hex:01,0a,f0\r\n",
        head + "[HKEY_USERS\\x]\r\n@=dword:00000002\r\n\r\n[HKEY_USERS\\x]\r\n\"a\"=\"1;2\"\r\n"
               "\"h\"=hex:01,0a,f0\r\n",
        head + "[HKEY_USERS\\x]\r\n@=dword:00000002\r\n\r\n\"a\"=\"1;2\"\r\n\"h\"=hex:01,0a,f0\r\n",
        "REGEDIT4\n\n[HKEY_USERS\\x]\n@=dword:00000002\n\"a\"=\"1;2\"\n\"h\"=hex:01,0a,f0\n",
        // the store as it is written
        expected,
    };
    for (const std::string& form : forms)
        EXPECT_EQ(saved(form, &error), expected) << form << "\n" << error;
    const struct {
        std::string text;
        const char* why;
    } refused[] = {
        {head + "[HKEY_USERS\\" + std::string(256, 'k') + "]\r\n", "line 3: key name over 255"},
        {head + "[HKEY_USERS\\x]\r\n\"t\"=hex(100000000):00\r\n", "line 4: value type wider"},
        {head + "[-HKEY_USERS]\r\n", "line 3: a root key cannot be deleted"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(saved(r.text, &error), "refused") << r.text;
        EXPECT_NE(error.find(r.why), std::string::npos) << error;
    }
    hostwin::UnmountMachine();
    HostWrite(store, head);
    ASSERT_TRUE(hostwin::MountMachine(folder, &error)) << error;
}

// A line break in a name is taken by the calls as on Windows and saved so
// that the store loads again; a key name, which the store could not hold,
// is refused at the call.
TEST(HostRegistry, NamesWithLineBreaksNeverLeaveAStoreThatDoesNotLoad) {
    Scratch s;
    HKEY x;
    ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &x, nullptr),
              0);
    for (const char* name : {"two\nlines", "cr\rhere", "both\r\n"})
        EXPECT_EQ(RegSetValueExA(x, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2), 0);
    RegCloseKey(x);
    EXPECT_EQ(RegCreateKeyExA(HKEY_USERS, "x\\bad\nkey", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &x,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    Remount();
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &x), 0);
    for (const char* name : {"two\nlines", "cr\rhere", "both\r\n"}) {
        char value[4];
        DWORD size = sizeof value;
        EXPECT_EQ(
            RegQueryValueExA(x, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size), 0)
            << name;
    }
    EXPECT_EQ(RegOpenKeyExA(x, "bad", 0, KEY_READ, &x), ERROR_FILE_NOT_FOUND);
}

// Each kind of change, failing at either of the journal's two writes (its
// entry, then the blank line that ends it): the call reports it, nothing of
// it stays in memory or on disk, and the next change is saved as usual.
TEST(HostRegistry, AChangeThatCannotBeSavedIsUndoneAndLeavesNoTrace) {
    HKEY keep = nullptr;
    const struct {
        const char* what;
        std::function<LONG()> call;
    } changes[] = {
        {"new value", [&] { return RegSetValueExA(keep, "n", 0, REG_SZ, (const BYTE*)"x", 2); }},
        {"changed value",
         [&] { return RegSetValueExA(keep, "v", 0, REG_SZ, (const BYTE*)"new", 4); }},
        {"new keys",
         [&] {
             HKEY k;
             LONG r = RegCreateKeyExA(keep, "Sub\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      &k, nullptr);
             return r ? r : RegCloseKey(k);
         }},
        {"deleted key", [&] { return RegDeleteKeyA(keep, "Old"); }},
        {"deleted value", [&] { return RegDeleteValueA(keep, "v"); }},
    };
    auto prepare = [&] {
        RegKey key(kBoth);
        EXPECT_TRUE(key.SetString("HCU\\Software\\Keep\\v", "old"));
        EXPECT_TRUE(key.SetString("HCU\\Software\\Keep\\Old\\w", "1"));
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Keep", 0, KEY_ALL_ACCESS, &keep), 0);
    };
    auto after = [&] {
        EXPECT_TRUE(RegKey(kBoth).SetString("HCU\\Software\\Keep\\after", "1"));
        RegCloseKey(keep);
        Remount();
        return HostRead(StorePath());
    };
    std::string expected;
    {
        Scratch s;
        prepare();
        expected = after();
    }
    for (const auto& change : changes) {
        for (unsigned nth : {1u, 2u}) {
            const std::string label = std::string(change.what) + ", write " + std::to_string(nth);
            Scratch s;
            prepare();
            const std::string store = HostRead(StorePath()), journal = HostRead(JournalPath());
            hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "registry-journal.reg", nth));
            EXPECT_EQ(change.call(), ERROR_CANTWRITE) << label;
            EXPECT_EQ(hostwin::TriggeredFaults().size(), 1u) << label;
            hostwin::ClearFaults();
            EXPECT_EQ(HostRead(StorePath()), store) << label;
            EXPECT_EQ(HostRead(JournalPath()), journal) << label;
            EXPECT_EQ(after(), expected) << label;
        }
    }
}

// A run killed while it writes the journal leaves it cut at any byte: the
// next load gives every whole change before the cut and nothing of the cut
// one, and a writable load takes the cut entry off before adding more.
TEST(HostRegistry, AJournalCutAnywhereGivesEveryWholeChangeAndNothingOfTheCutOne) {
    Scratch s;
    const std::string folder = hostwin::MachineFolder();
    std::vector<size_t> ends; // the journal's size after each change
    auto noted = [&](LONG status) {
        EXPECT_EQ(status, 0);
        ends.push_back(HostRead(JournalPath()).size());
    };
    auto text = [](const char* t) { return reinterpret_cast<const BYTE*>(t); };
    HKEY cut, deep;
    noted(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Cut", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &cut, nullptr));
    noted(RegSetValueExA(cut, "Text", 0, REG_SZ, text("a \"quoted\" text"), 16));
    const std::string bytes = TestBytes(60);
    noted(RegSetValueExA(cut, "Wrapped", 0, REG_BINARY, text(bytes.data()), 60));
    noted(
        RegCreateKeyExA(cut, "Deep\\Key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deep, nullptr));
    RegCloseKey(deep);
    noted(RegDeleteValueA(cut, "Text"));
    noted(RegDeleteKeyA(cut, "Deep"));
    noted(RegSetValueExA(cut, nullptr, 0, REG_SZ, text("default"), 8));
    RegCloseKey(cut);
    const std::string store = HostRead(StorePath()), journal = HostRead(JournalPath());
    ASSERT_EQ(journal.size(), ends.back());
    ASSERT_LT(journal.size(), store.size()) << "a fold would have emptied the journal";
    // The store a load of the journal `text` leaves once a change is added;
    // `kept` is the journal the load must leave to add it to. A load to be
    // read only must leave the journal as it is.
    const std::string journalPath = JournalPath();
    auto loaded = [&](const std::string& text, const std::string& kept) {
        hostwin::UnmountMachine();
        HostWrite(StorePath(folder), store);
        HostWrite(journalPath, text);
        std::string error;
        EXPECT_TRUE(hostwin::MountMachineReadOnly(folder, &error)) << error;
        hostwin::UnmountMachine();
        EXPECT_EQ(HostRead(journalPath), text);
        EXPECT_TRUE(hostwin::MountMachine(folder, &error)) << error;
        EXPECT_EQ(HostRead(journalPath), kept);
        EXPECT_TRUE(RegKey(kBoth).SetString("HCU\\Software\\Next\\v", "1"));
        hostwin::UnmountMachine();
        EXPECT_FALSE(HostExists(journalPath));
        return HostRead(StorePath(folder));
    };
    const size_t head = std::strlen("REGEDIT4\r\n\r\n");
    std::vector<std::string> whole{loaded("", "")}; // after 0, 1, ... changes
    for (size_t end : ends) {
        whole.push_back(loaded(journal.substr(0, end), journal.substr(0, end)));
        EXPECT_NE(whole.back(), whole[whole.size() - 2]);
    }
    for (size_t cut = 0; cut <= journal.size(); ++cut) {
        size_t changes = size_t(std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin());
        size_t kept = changes ? ends[changes - 1] : cut < head ? 0 : head;
        EXPECT_EQ(loaded(journal.substr(0, cut), journal.substr(0, kept)), whole[changes])
            << "cut at " << cut;
    }
    std::string error;
    ASSERT_TRUE(hostwin::MountMachine(folder, &error)) << error;
    RegKey key(kBoth);
    char buffer[64];
    EXPECT_FALSE(key.QueryValue("HCU\\Software\\Cut\\Text", buffer, sizeof buffer));
    EXPECT_TRUE(key.QueryValue("HCU\\Software\\Cut\\Wrapped", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, 60), bytes);
    EXPECT_TRUE(key.QueryValue("HCU\\Software\\Cut\\", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "default");
    EXPECT_FALSE(RegKey("HCU\\Software\\Cut\\Deep\\", kBoth, false).IsOpen());
}

// A fold stopped after any of its steps, with a journal write cut short
// after it: the next load finds every whole change. A mount to be read only
// (--plan) finds them too, and changes nothing on disk.
TEST(HostRegistry, AFoldStoppedAtAnyStepLosesNothingAndAReadOnlyLoadChangesNothing) {
    Scratch s;
    const std::string folder = hostwin::MachineFolder(), store = StorePath();
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetString("HCU\\Software\\Keep\\v", "old"));
    Remount();
    const std::string before = HostRead(store);
    ASSERT_TRUE(key.SetString("HCU\\Software\\Keep\\v", "new"));
    ASSERT_TRUE(key.SetString("HCU\\Software\\Made\\w", "1"));
    const std::string journal = HostRead(JournalPath());
    Remount();
    const std::string after = HostRead(store);
    const struct {
        const char* step;
        const char* store; // "" for none; "before" or "after"
        const char* aside; // store.old
        const char* next;  // store.tmp; "half" for half of "after"
    } steps[] = {
        {"new store half written", "before", "", "half"},
        {"old store stepped aside", "", "before", "after"},
        {"new store in place", "after", "", ""},
    };
    auto text = [&](const std::string& which) {
        return which == "before" ? before : which == "after" ? after : after.substr(0, 99);
    };
    auto place = [&](const std::string& path, const std::string& which) {
        if (which.empty())
            std::remove(path.c_str());
        else
            HostWrite(path, text(which));
    };
    for (const auto& step : steps) {
        hostwin::UnmountMachine();
        place(store, step.store);
        place(store + ".old", step.aside);
        place(store + ".tmp", step.next);
        HostWrite(folder + "/registry-journal.reg",
                  journal + "[HKEY_CURRENT_USER\\Software\\Cut]\r\n\"x\"=\"1\"\r\n");
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.is_regular_file())
                files[e.path().string()] = HostRead(e.path().string());
        std::string error;
        ASSERT_TRUE(hostwin::MountMachineReadOnly(folder, &error)) << step.step << ": " << error;
        char value[8];
        EXPECT_TRUE(key.QueryValue("HCU\\Software\\Keep\\v", value, sizeof value)) << step.step;
        EXPECT_STREQ(value, "new") << step.step;
        EXPECT_TRUE(key.QueryValue("HCU\\Software\\Made\\w", value, sizeof value)) << step.step;
        EXPECT_FALSE(key.QueryValue("HCU\\Software\\Cut\\x", value, sizeof value)) << step.step;
        hostwin::UnmountMachine();
        for (const auto& f : files)
            EXPECT_EQ(HostRead(f.first), f.second) << step.step << ": " << f.first << " changed";
        EXPECT_EQ(HostExists(store), *step.store != 0) << step.step;
        ASSERT_TRUE(hostwin::MountMachine(folder, &error)) << step.step << ": " << error;
        hostwin::UnmountMachine();
        EXPECT_EQ(HostRead(store), after) << step.step;
        EXPECT_FALSE(HostExists(store + ".old")) << step.step;
        EXPECT_FALSE(HostExists(folder + "/registry-journal.reg")) << step.step;
    }
    ASSERT_TRUE(hostwin::MountMachine(folder));
}

// Copies share the registry and keep a key only once a change touches it:
// each copy must still answer as the registry was when it was taken.
TEST(HostRegistry, CopiesCompareAsTheRegistryWasWhenEachWasTaken) {
    Scratch s;
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetString("HCU\\A\\kept", "1"));
    ASSERT_TRUE(key.SetString("HCU\\A\\changed", "old"));
    ASSERT_TRUE(key.SetString("HCU\\A\\Gone\\Deep\\v", "old"));
    ASSERT_TRUE(key.SetString("HCU\\A\\Again\\v", "old"));
    ASSERT_TRUE(key.SetString("HLM\\Only\\Deep\\v", "old"));
    const auto first = hostwin::CopyRegistry();
    ASSERT_TRUE(key.SetString("HLM\\Only\\Deep\\v", "new")); // nothing above it changes
    ASSERT_TRUE(key.SetString("HCU\\A\\changed", "new"));
    ASSERT_TRUE(key.SetString("HCU\\A\\Gone\\Deep\\v", "changed before it went"));
    ASSERT_TRUE(key.Delete("HCU\\A\\Gone"));
    ASSERT_TRUE(key.Delete("HCU\\A\\Again"));
    ASSERT_TRUE(key.SetString("HCU\\A\\Again\\w", "new"));
    ASSERT_TRUE(key.SetString("HCU\\B\\", ""));
    const auto second = hostwin::CopyRegistry();
    ASSERT_TRUE(key.SetString("HCU\\A\\changed", "later"));
    std::map<std::string, std::string> before, after;
    hostwin::RegistryDifferences(*first, *second, &before, &after);
    const std::string a = "HKEY_CURRENT_USER\\A";
    const std::map<std::string, std::string> wasThere = {
        {a, ""},
        {a + "\\\"changed\"", "\"old\""},
        {a + "\\\"kept\"", "\"1\""},
        {a + "\\Again", ""},
        {a + "\\Again\\\"v\"", "\"old\""},
        {a + "\\Gone", ""},
        {a + "\\Gone\\Deep", ""},
        {a + "\\Gone\\Deep\\\"v\"", "\"old\""},
        {"HKEY_LOCAL_MACHINE\\Only\\Deep", ""},
        {"HKEY_LOCAL_MACHINE\\Only\\Deep\\\"v\"", "\"old\""}};
    const std::map<std::string, std::string> isThere = {
        {a, ""},
        {a + "\\\"changed\"", "\"new\""},
        {a + "\\\"kept\"", "\"1\""},
        {a + "\\Again", ""},
        {a + "\\Again\\\"w\"", "\"new\""},
        {"HKEY_CURRENT_USER\\B", ""},
        {"HKEY_LOCAL_MACHINE\\Only\\Deep", ""},
        {"HKEY_LOCAL_MACHINE\\Only\\Deep\\\"v\"", "\"new\""}};
    EXPECT_EQ(before, wasThere);
    EXPECT_EQ(after, isThere);
    before.clear();
    after.clear();
    const auto third = hostwin::CopyRegistry();
    hostwin::RegistryDifferences(*third, *hostwin::CopyRegistry(), &before, &after);
    EXPECT_TRUE(before.empty() && after.empty());
}

TEST(HostRegistry, TreeDeletionEndsCleanlyWhenASubkeyCannotBeDeletedOrOpened) {
    Scratch s;
    RegKey key(kBoth);
    for (const char* path : {"HCU\\T\\a\\x\\v", "HCU\\T\\b\\v", "HCU\\T\\c\\v"})
        ASSERT_TRUE(key.SetString(path, "x"));
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "HKEY_CURRENT_USER\\T\\b\\"));
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "HKEY_CURRENT_USER\\T\\b\\", 2));
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "HKEY_CURRENT_USER\\T\\b\\", 3));
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "HKEY_CURRENT_USER\\T\\b\\", 4));
    EXPECT_FALSE(key.Delete("HCU\\T"));
    EXPECT_FALSE(hostwin::TriggeredFaults().empty());
    EXPECT_TRUE(RegKey("HCU\\T\\b\\", kBoth, false).IsOpen());
    EXPECT_FALSE(RegKey("HCU\\T\\a\\", kBoth, false).IsOpen()); // deleted before the failure
    hostwin::ClearFaults();
    // A leaf that cannot be deleted (its open, its enumeration, then its
    // RegDeleteKeyA): the loop must not try it again and again.
    ASSERT_TRUE(key.SetString("HCU\\T\\leaf\\", ""));
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "HKEY_CURRENT_USER\\T\\leaf", 3));
    EXPECT_FALSE(key.Delete("HCU\\T"));
    ASSERT_EQ(hostwin::TriggeredFaults().size(), 1u);
    EXPECT_EQ(hostwin::TriggeredFaults()[0], "registry HKEY_CURRENT_USER\\T\\leaf");
    EXPECT_LE(hostwin::FallibleCallCount(), 30u);
    hostwin::ClearFaults();
    EXPECT_TRUE(key.Delete("HCU\\T"));
    EXPECT_FALSE(RegKey("HCU\\T\\", kBoth, false).IsOpen());
}

TEST(HostRegistry, LongDataUnderANameEndingInEqualsReadsBack) {
    // Quoted, such a name holds =" as the line of a text value does; its
    // wrapped hex data must still be joined when the store is read.
    Scratch s;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Odd", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              0);
    std::string bytes(60, '\x5a');
    for (const char* name : {"x=", "="})
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_BINARY,
                                 reinterpret_cast<const BYTE*>(bytes.data()), 60),
                  0);
    RegCloseKey(key);
    Remount();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Odd", 0, KEY_READ, &key), 0);
    for (const char* name : {"x=", "="}) {
        char buffer[64];
        DWORD type = 0, size = sizeof buffer;
        EXPECT_EQ(
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), 0)
            << name;
        EXPECT_EQ(std::string(buffer, size), bytes) << name;
    }
    RegCloseKey(key);
}

TEST(HostRegistry, ATextStoredWithoutItsZeroIsTerminatedOrRefused) {
    Scratch s;
    std::string folder = hostwin::MachineFolder();
    hostwin::UnmountMachine();
    HostWrite(folder + "/registry.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Raw]\r\n\"t\"=hex(1):61,62,63\r\n");
    ASSERT_TRUE(hostwin::MountMachine(folder));
    RegKey key(kBoth);
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_TRUE(key.QueryValue("HCU\\Raw\\t", buffer, 8));
    EXPECT_STREQ(buffer, "abc");
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(key.QueryValue("HCU\\Raw\\t", buffer, 3)); // fits only without its zero
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[3], '#');
}

TEST(HostRegistry, RegistryAndProfileFaultsMakeSysDBLinesFailQuietly) {
    Scratch s;
    hostwin::AddFault(Fault(hostwin::FaultOp::Registry, "\\Software\\Velmor"));
    hostwin::AddFault(Fault(hostwin::FaultOp::Profile, "SYSTEM.INI"));
    TestScript script(ScriptLines({"WriteSysDB:|REG|HCU\\Software\\Velmor\\v=1",
                                   ":|SYSTEM.INI|boot\\language.dll=lngbriv2.dll",
                                   ":|REG|HCU\\Software\\Other\\v=2"}));
    const std::string system = Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI");
    WriteSysDBSection(script, "WriteSysDB");
    EXPECT_EQ(hostwin::TriggeredFaults().size(), 2u);
    EXPECT_FALSE(RegKey("HCU\\Software\\Velmor\\", kBoth, false).IsOpen());
    EXPECT_EQ(Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI"), system);
    char buffer[8];
    EXPECT_TRUE(RegKey(kBoth).QueryValue("HCU\\Software\\Other\\v", buffer, sizeof buffer));
    EXPECT_FALSE(WritePrivateProfileStringA("boot", "x", "1", "C:\\NODIR\\X.INI"));
}

// Every point at which a rewrite can fail: the file, the temporary file,
// reading, writing, closing, and the copy back.
TEST(HostIniRewrite, AFailureAtAnyPointLeavesTheFileAsItWas) {
    using hostwin::FaultOp;
    struct Case {
        FaultOp op;
        const char* path;
        bool copyKept; // beside the file, the only whole copy
    } cases[] = {{FaultOp::Open, "SYSTEM.INI", false}, {FaultOp::Create, "wdps.tmp", false},
                 {FaultOp::Read, "", false},           {FaultOp::Write, "", false},
                 {FaultOp::Close, "", false},          {FaultOp::Copy, "wdps.tmp", true}};
    for (const Case& c : cases) {
        for (bool insert : {false, true}) {
            Scratch s;
            const std::string path = "C:\\WINDOWS\\SYSTEM.INI";
            const std::string before = Scratch::ReadFile(path);
            hostwin::AddFault(Fault(c.op, c.path));
            IniFile ini("system.ini");
            bool ok = insert ? ini.InsertEntry("boot", "x", "1") : ini.DisableKey("boot", "shell");
            EXPECT_FALSE(ok) << int(c.op) << " " << insert;
            EXPECT_EQ(hostwin::TriggeredFaults().size(), 1u) << int(c.op);
            EXPECT_EQ(Scratch::ReadFile(path), before) << int(c.op);
            EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\TEMP\\wdps.tmp")) << int(c.op);
            EXPECT_EQ(Scratch::Exists(path + ".~1"), c.copyKept) << int(c.op);
            hostwin::ClearFaults();
            // A half-full disk: the short write is a failure too.
        }
    }
    Scratch s;
    const std::string before = Scratch::ReadFile("C:\\WINDOWS\\WIN.INI");
    hostwin::FaultRule rule;
    rule.op = FaultOp::Write;
    rule.kind = hostwin::FaultKind::ShortWrite;
    hostwin::AddFault(rule);
    EXPECT_FALSE(IniFile("win.ini").InsertEntry("windows", "load", "x"));
    EXPECT_EQ(Scratch::ReadFile("C:\\WINDOWS\\WIN.INI"), before);
    EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\TEMP\\wdps.tmp"));
}

TEST(HostProfile, WithoutAFlushTheCachedTextWouldComeBack) {
    // The model the rewrites are mended against: the system writes its
    // cached copy over a change made by other means.
    Scratch s;
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "a", "1", "SYSTEM.INI"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nchanged=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "b", "2", "SYSTEM.INI"));
    EXPECT_EQ(Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI").find("changed"), std::string::npos);
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nchanged=1\r\n"));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "b", "2", "SYSTEM.INI"));
    EXPECT_EQ(Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI"), "[boot]\r\nchanged=1\r\nb=2\r\n");
}

// Wherever the Windows directory is, the profile calls, the rewrites and the
// restart's WININIT.INI all look at the same files in it.
TEST(HostProfile, FilesWithoutADirectoryAreInTheWindowsDirectoryWhereverItIs) {
    Scratch s;
    hostwin::SetWindowsDirectory("C:\\");
    ASSERT_TRUE(IniFile("wininit.ini").InsertEntry("rename", "NUL", "C:\\OLD.TXT"));
    EXPECT_TRUE(Scratch::Exists("C:\\WININIT.INI"));
    char value[32];
    GetPrivateProfileStringA("rename", "NUL", "", value, sizeof value, "wininit.ini");
    EXPECT_STREQ(value, "C:\\OLD.TXT");
    ASSERT_TRUE(WriteProfileStringA("windows", "load", "x.exe"));
    EXPECT_EQ(Scratch::ReadFile("C:\\WIN.INI"), "[windows]\r\nload=x.exe\r\n");
    ASSERT_TRUE(Scratch::WriteFile("C:\\OLD.TXT", "old"));
    EXPECT_EQ(hostwin::RestartMachine().size(), 1u);
    EXPECT_FALSE(Scratch::Exists("C:\\OLD.TXT"));
    EXPECT_TRUE(Scratch::Exists("C:\\WININIT.BAK"));
    hostwin::SetWindowsDirectory("");
}

TEST(HostSysDB, TheShippedSectionsConfigureAFreshMachine) {
    Scratch s;
    TestScript script("FD", MAKEINTRESOURCEA(1));
    ASSERT_EQ(script.Status(), 0);
    script.grantConditions = true;
    script.vars = {{"BV_Path", "C:\\BRIV"},
                   {"BV_SRC_DIR", "A:\\"},
                   {"BV_SCUT", "1"},
                   {"FEXT", "fon"},
                   {"BV_DIR", "C:\\BRIV\\"}};
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetString("HCU\\Software\\Velmor\\Brivanta\\3.0\\Sub\\v", "old"));
    ASSERT_TRUE(key.SetString("HCU\\Software\\Velmor\\Active layouts\\4\\layout", "old"));
    WriteSysDBSection(script, "WriteSysDB");
    DeleteSysDBSection(script, "DeleteSysDB");
    char buffer[64];
    EXPECT_TRUE(key.QueryValue("HCU\\Software\\Velmor\\Brivanta\\3.2\\Program dir", buffer, 64));
    EXPECT_STREQ(buffer, "C:\\BRIV");
    EXPECT_TRUE(
        key.QueryValue("HLM\\System\\CurrentControlSet\\Control\\Nls\\Locale\\", buffer, 64));
    EXPECT_STREQ(buffer, "00000402");
    EXPECT_TRUE(key.QueryValue(
        "HLM\\System\\CurrentControlSet\\Control\\keyboard layouts\\00000402\\layout file", buffer,
        64));
    EXPECT_STREQ(buffer, "kbdbul.kbd");
    for (const char* n : {"1", "2", "3"})
        EXPECT_TRUE(key.QueryValue(
            (std::string("HCU\\Software\\Velmor\\Active layouts\\") + n + "\\layout").c_str(),
            buffer, 64))
            << n;
    EXPECT_FALSE(RegKey("HCU\\Software\\Velmor\\Active layouts\\4\\", kBoth, false).IsOpen());
    EXPECT_FALSE(RegKey("HCU\\Software\\Velmor\\Brivanta\\3.0\\", kBoth, false).IsOpen());
    EXPECT_TRUE(IniFile("system.ini").GetValueByPath("boot\\language.dll", "", buffer, 64));
    EXPECT_STREQ(buffer, "lngbriv2.dll");
    EXPECT_TRUE(
        IniFile("win.ini").GetValueByPath("FontSubstitutes\\DunorU Cyr,204", "", buffer, 64));
    EXPECT_STREQ(buffer, "DunorU,204");
    // The fresh machine's other lines are all still there.
    std::string system = Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI");
    EXPECT_NE(system.find("shell=Explorer.exe\r\n"), std::string::npos);
    EXPECT_NE(system.find("[mci]\r\n"), std::string::npos);
}

} // namespace
