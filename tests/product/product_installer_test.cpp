// The product's installer and script variables: the variable table, the
// machine's directories in place of the script's, the source directory kept
// after the copy, the earlier program file in the shared folder, and the
// copy failures that are tolerated.
#include "product/product_machine.h"

#include "language.h"
#include "messages.h"
#include "product_installer.h"
#include "product_script.h"
#include "product_state.h"
#include "support/scripted_front_end.h"
#include "support/scripted_ui.h"
#include "support/test_script.h"
#include "sys_db.h"
#include "text.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

namespace {

// Resolves one variable into a buffer with guard bytes after `room`.
std::string Resolve(ScriptText& script, const char* name, ResultCode* code, unsigned room = 64) {
    char buffer[128];
    std::memset(buffer, '~', sizeof buffer);
    unsigned length = room;
    *code = script.ResolveVariable(name, buffer, &length);
    EXPECT_LE(length, room) << name;
    for (unsigned i = room; i < sizeof buffer; ++i)
        if (buffer[i] != '~') {
            ADD_FAILURE() << name << ": written past the room of " << room;
            break;
        }
    return std::string(buffer, length <= room ? length : room);
}

struct Variables : ::testing::Test {
    ProductMachine m;
    ProductScript script{"", 0u};

    void SetUp() override {
        SetupOptions = {1, 1, 1, 1, 1, 1, 1};
        DestinationDir[0] = SourceDir[0] = SharedDir[0] = FontExtension[0] = 0;
        AutoNumber = 1;
        m.RemoveKey(kTestProductKey);
        m.RemoveValue(kTestFontsKey, "Dunor (TrueType)");
        m.RemoveValue(kTestFontsKey, "Arvel (TrueType)");
    }
    std::string Value(const char* name, ResultCode expected = Ok, unsigned room = 64) {
        ResultCode code;
        std::string text = Resolve(script, name, &code, room);
        EXPECT_EQ(code, expected) << name;
        return text;
    }
};

TEST_F(Variables, EachConditionFollowsItsOwnOption) {
    const struct {
        const char* name;
        DWORD SetupOptionFlags::*flag;
    } conditions[] = {{"IF_KBDPH", &SetupOptionFlags::KeyboardPhonetic},
                      {"IF_KBDBDS", &SetupOptionFlags::KeyboardBds},
                      {"IF_LANGDRV", &SetupOptionFlags::LanguageDriver},
                      {"IF_DOSFIL", &SetupOptionFlags::DosFilter},
                      {"IF_FONTS", &SetupOptionFlags::SystemFonts},
                      {"IF_DUNORU", &SetupOptionFlags::DunorU},
                      {"IF_ARVELU", &SetupOptionFlags::ArvelU}};
    for (const auto& off : conditions) {
        SetupOptions = {1, 1, 1, 1, 1, 1, 1};
        SetupOptions.*off.flag = 0;
        for (const auto& c : conditions)
            EXPECT_EQ(Value(c.name, c.name == off.name ? NotApplicable : Ok), "")
                << c.name << " with " << off.name << " off";
    }
    EXPECT_EQ(Value("if_fonts"), "") << "names in any case";
    EXPECT_EQ(Value("IF_REG"), "");
    EXPECT_EQ(Value("IF_REG1", NotApplicable), "") << "not in the table";
    EXPECT_EQ(Value("IF_FONTS1", NotApplicable), "") << "whole names only";
    EXPECT_EQ(Value("", NotApplicable), "");
}

TEST_F(Variables, DirectoriesCountersAndTheExtension) {
    std::strcpy(DestinationDir, "c:\\my apps\\bv");
    EXPECT_EQ(Value("BV_DIR"), "c:\\my apps\\bv\\") << "in the case the user typed";
    EXPECT_EQ(Value("bv_path"), "c:\\my apps\\bv\\");
    EXPECT_EQ(Value("BV_SRC_DIR"), "") << "before the copy phase";
    std::strcpy(SourceDir, "A:\\");
    EXPECT_EQ(Value("BV_SRC_DIR"), "A:\\");
    std::strcpy(SourceDir, "D:\\SETUP");
    EXPECT_EQ(Value("BV_SRC_DIR"), "D:\\SETUP\\");

    EXPECT_EQ(Value("DEL_OLD", NotApplicable), "");
    std::strcpy(SharedDir, "C:\\VELMOR");
    EXPECT_EQ(Value("DEL_OLD"), "");

    EXPECT_EQ(Value("AUTO_NUMBER"), "1");
    EXPECT_EQ(Value("AUTO_NUMBER"), "2");
    AutoNumber = 99;
    EXPECT_EQ(Value("AUTO_NUMBER"), "99");
    EXPECT_EQ(AutoNumber, 100);

    SetupOptions.SystemFonts = 0;
    EXPECT_EQ(Value("FEXT"), "") << "no extension without the system fonts";
    ProductScript expand("", 0u);
    char out[64];
    unsigned capacity = sizeof out - 1;
    const char text[] = "vgasys.#FEXT#";
    EXPECT_EQ(expand.Expand(text, sizeof text - 1, out, &capacity), Ok);
    EXPECT_STREQ(out, "vgasys.");
    std::strcpy(FontExtension, "00a");
    EXPECT_EQ(Value("FEXT"), "00a");
}

TEST_F(Variables, ALongValueIsCutToTheRoomAndNothingIsWrittenPastIt) {
    std::string longDir = "C:\\" + std::string(200, 'd');
    std::strcpy(DestinationDir, longDir.c_str());
    EXPECT_EQ(Value("BV_DIR", Ok, 10), longDir.substr(0, 10));
    EXPECT_EQ(Value("BV_DIR", Ok, 0), "");
    AutoNumber = 12345;
    EXPECT_EQ(Value("AUTO_NUMBER", Ok, 3), "123");
}

TEST_F(Variables, TheShortcutChoiceIsTheStoredOneUnlessItIsMissingEmptyOrZero) {
    EXPECT_EQ(Value("BV_SCUT"), "2") << "nothing stored";
    m.PutValue(kTestProductKey, "General shortcut", "0");
    EXPECT_EQ(Value("BV_SCUT"), "2");
    m.PutValue(kTestProductKey, "General shortcut", "");
    EXPECT_EQ(Value("BV_SCUT"), "2");
    m.PutValue(kTestProductKey, "General shortcut", "5");
    EXPECT_EQ(Value("BV_SCUT"), "5");
    m.PutValue(kTestProductKey, "General shortcut", "01");
    EXPECT_EQ(Value("BV_SCUT"), "2") << "begins with 0";
    m.PutValue(kTestProductKey, "General shortcut", "123456789");
    EXPECT_EQ(Value("BV_SCUT"), "123456789") << "nine bytes and the zero: ten";
    m.PutValue(kTestProductKey, "General shortcut", "1234567890");
    EXPECT_EQ(Value("BV_SCUT"), "2") << "too long for ten bytes";
    // Never read past the room: what does not fit there counts as too long.
    m.PutValue(kTestProductKey, "General shortcut", "345");
    EXPECT_EQ(Value("BV_SCUT", Ok, 3), "345");
    EXPECT_EQ(Value("BV_SCUT", Ok, 2), "2");
    EXPECT_EQ(Value("BV_SCUT", Ok, 0), "");
}

TEST_F(Variables, TheNonUnicodeFamilyLinesApplyOnlyWhereTheFamilyIsMissing) {
    EXPECT_EQ(Value("IF_N_DUNOR"), "");
    EXPECT_EQ(Value("IF_N_ARVEL"), "");
    m.PutValue(kTestFontsKey, "Dunor (TrueType)", "DUNOR.TTF");
    EXPECT_EQ(Value("IF_N_DUNOR", NotApplicable), "");
    EXPECT_EQ(Value("IF_N_ARVEL"), "") << "each family on its own";
    m.PutValue(kTestFontsKey, "Arvel (TrueType)", "ARVELTRUETYPE.TTF");
    EXPECT_EQ(Value("IF_N_ARVEL"), "") << "a value too long for ten bytes counts as missing";
    m.PutValue(kTestFontsKey, "Arvel (TrueType)", "ARVEL.TTF");
    EXPECT_EQ(Value("IF_N_ARVEL", NotApplicable), "");
}

// The keys of the script's lines in a section that apply, as expanded.
std::vector<std::string> AppliedKeys(ScriptText& script, const char* section) {
    std::vector<std::string> keys;
    for (unsigned n = 0;; ++n) {
        char key[300], value[300];
        unsigned keyCapacity = sizeof key - 1, valueCapacity = sizeof value - 1;
        ResultCode r = script.GetEntry(section, key, &keyCapacity, value, &valueCapacity, n);
        if (r == NoSuchLine || r == MalformedScript)
            break;
        if (r == Ok)
            keys.push_back(key);
    }
    return keys;
}

TEST_F(Variables, ANumberIsTakenOnlyByLinesThatReachIt) {
    ProductScript shipped("FD", MAKEINTRESOURCEA(1));
    ASSERT_EQ(shipped.Status(), 0);
    SetupOptions.KeyboardPhonetic = 0;
    std::vector<std::string> active;
    for (const std::string& k : AppliedKeys(shipped, "WriteSysDB"))
        if (k.find("Active layouts") != std::string::npos)
            active.push_back(k);
    EXPECT_EQ(active,
              (std::vector<std::string>{"|REG|HCU\\Software\\Velmor\\Active layouts\\1\\layout",
                                        "|REG|HCU\\Software\\Velmor\\Active layouts\\2\\layout"}));
    auto deletes = AppliedKeys(shipped, "DeleteSysDB");
    ASSERT_FALSE(deletes.empty());
    EXPECT_EQ(deletes[0], "|REG|HCU\\Software\\Velmor\\Active layouts\\3");
}

TEST_F(Variables, TheStoredDestinationKeepsTheUsersCaseAndIsProposedNextTime) {
    std::strcpy(DestinationDir, "c:\\btest\\Brivanta");
    std::string text = ScriptLines({"WriteSysDB:HCU\\Software\\Velmor\\Brivanta\\3.2\\Program "
                                    "dir=#BV_Path#",
                                    ":HCU\\Software\\Velmor\\Brivanta\\3.2\\General "
                                    "shortcut=#BV_SCUT#",
                                    "End:"});
    ProductScript written(text.data(), unsigned(text.size()));
    WriteSysDBSection(written, "WriteSysDB");
    EXPECT_EQ(ProductMachine::Value(kTestProductKey, "Program dir"), "c:\\btest\\Brivanta\\");
    EXPECT_EQ(ProductMachine::Value(kTestProductKey, "General shortcut"), "2");
    char proposal[MAX_PATH];
    EXPECT_EQ(DefaultProgramDir(proposal, 1), 1);
    EXPECT_STREQ(proposal, "c:\\btest\\Brivanta\\");
}

// ---- The installer over a small script -----------------------------------

// Points the first disk at the scratch folder as a user would at the disk
// prompt; everything else is the product's.
class TestInstaller : public ProductInstaller {
  public:
    std::string firstDisk;
    std::vector<std::string> deleted;

    TestInstaller() : ProductInstaller(nullptr) {}
    // The script is the test's, and no dialog opens the run.
    ResultCode Initialize() override { return Ok; }
    ResultCode LocateDisk(PathEntry* disk, PathEntry* previous, bool first) override {
        if (first && !firstDisk.empty()) {
            disk->SetDirectory(firstDisk.c_str());
            return Ok;
        }
        return ProductInstaller::LocateDisk(disk, previous, first);
    }
    ResultCode BeforeDelete(FileEntry* f) override {
        deleted.push_back(f->SourceName());
        return Ok;
    }
};

struct Installer : ::testing::Test {
    ProductMachine m;
    ScriptedUi engineUi;
    ScriptedFrontEnd dialogs;
    std::string text;
    ProductScript* script = nullptr;
    TestInstaller installer;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&dialogs);
        SetupOptions = {1, 1, 1, 1, 1, 1, 1};
        SourceDir[0] = SharedDir[0] = FontExtension[0] = 0;
        std::strcpy(DestinationDir, (m.Path("dest")).c_str());
        for (const char* d : {"SOURCE", "dest", "SHARED", "TARGET"})
            ASSERT_TRUE(Scratch::MakeDir(m.Path(d)));
        installer.SetUi(&engineUi);
        installer.firstDisk = m.Path("SOURCE");
        m.RemoveFile(WindowsDir() + "VELMOR.INI");
    }
    void TearDown() override {
        delete script;
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    // The standard Paths, with TGT in the scratch folder, then `rest`.
    void UseScript(const std::string& rest) {
        text = ScriptLines({"Paths:~Disk 1=A:\\", ":~Disk 2=A:\\",
                            ":BV_DIR=C:\\WIN\\VELMOR\\BRIVANTA", ":OLD_DIR=C:\\WIN\\VELMOR\\",
                            ":SYS_DIR=C:\\WIN\\SYSTEM\\", ":FONT_DIR=C:\\WIN\\FONTS\\"}) +
               ":TGT=" + m.Path("TARGET\\") + "\r\n:MISSING=" + m.Path("NONE\\") + "\r\n" + rest;
        script = new ProductScript(text.data(), unsigned(text.size()));
        installer.SetScript(script);
    }
    std::string Directory(const char* name) {
        PathEntry* p = installer.FindPathEntry(name);
        return p ? p->Directory() : "(none)";
    }
    void Source(const std::string& name) {
        ASSERT_TRUE(Scratch::WriteFile(m.Path("SOURCE\\" + name), "data of " + name));
    }
};

TEST_F(Installer, TheScriptsDirectoriesBecomeTheMachinesOwn) {
    std::strcpy(DestinationDir, "c:\\btest\\lower");
    UseScript("Files:|~Disk 1|a.txt,|TGT|a.txt\r\nEnd:");
    ASSERT_EQ(installer.ParsePaths(), Ok);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string moduleDir = module;
    moduleDir = moduleDir.substr(0, moduleDir.rfind('\\') + 1);
    EXPECT_EQ(Directory("~Disk 1"), Upper(moduleDir));
    EXPECT_EQ(Directory("~Disk 2"), "A:\\") << "the later disks keep the script's";
    EXPECT_EQ(Directory("BV_DIR"), "C:\\BTEST\\LOWER\\");
    EXPECT_EQ(Directory("SYS_DIR"), Upper(SystemDir()));
    EXPECT_EQ(Directory("FONT_DIR"), Upper(WindowsDir() + "FONTS\\"));
    EXPECT_EQ(Directory("OLD_DIR"), "\\") << "no shared folder";
    EXPECT_EQ(Directory("TGT"), Upper(m.Path("TARGET\\")));
    ResultCode code;
    EXPECT_EQ(Resolve(*script, "BV_Path", &code), "c:\\btest\\lower\\");
}

TEST_F(Installer, WithoutVelmorIniTheDeleteLineIsSkipped) {
    ASSERT_TRUE(Scratch::WriteFile(m.Path("SHARED\\bvpanel.exe"), "panel"));
    Source("a.txt");
    UseScript("Files:|~Disk 1|a.txt,|TGT|a.txt\r\nDelete:#DEL_OLD#|OLD_DIR|bvpanel.exe\r\nEnd:");
    ReadSharedDir();
    EXPECT_EQ(installer.Run(), Ok);
    EXPECT_EQ(installer.Deletes().Count(), 0u);
    EXPECT_TRUE(installer.deleted.empty());
    EXPECT_TRUE(Scratch::Exists(m.Path("SHARED\\bvpanel.exe")));
    EXPECT_EQ(Scratch::ReadFile(m.Path("TARGET\\a.txt")), "data of a.txt");
}

TEST_F(Installer, TheEarlierPanelIsDeletedFromTheSharedFolderAndTheSourceIsKept) {
    ASSERT_TRUE(Scratch::WriteFile(m.Path("SHARED\\bvpanel.exe"), "panel"));
    ASSERT_TRUE(Scratch::WriteFile(m.Path("SHARED\\other.exe"), "other"));
    m.PutFile(WindowsDir() + "VELMOR.INI", "[Global]\r\nVelmorDir=" + m.Path("SHARED") + "\r\n");
    Source("a.txt");
    UseScript("Files:|~Disk 1|a.txt,|TGT|a.txt\r\nDelete:#DEL_OLD#|OLD_DIR|bvpanel.exe\r\nEnd:");
    ReadSharedDir();
    EXPECT_EQ(std::string(SharedDir), m.Path("SHARED"));
    EXPECT_EQ(installer.Run(), Ok);
    EXPECT_EQ(Directory("OLD_DIR"), Upper(m.Path("SHARED\\")));
    EXPECT_FALSE(Scratch::Exists(m.Path("SHARED\\bvpanel.exe")));
    EXPECT_TRUE(Scratch::Exists(m.Path("SHARED\\other.exe")));
    // The first disk's directory as the user left it at the prompt.
    EXPECT_EQ(std::string(SourceDir), Upper(m.Path("SOURCE\\")));
    ResultCode code;
    EXPECT_EQ(Resolve(*script, "BV_SRC_DIR", &code), Upper(m.Path("SOURCE\\")));
    EXPECT_NE(std::find(engineUi.log.begin(), engineUi.log.end(), "progress close"),
              engineUi.log.end())
        << "the base closes the progress window";
}

TEST_F(Installer, AFontThatCannotBeCreatedIsSkippedSilentlyAProgramFileAbortsTheRun) {
    for (const char* f : {"a.txt", "arvu.ttf", "cp.nls", "us.KBD", "b.txt", "bvsc.dl_"})
        Source(f);
    UseScript("Files:|~Disk 1|a.txt,|TGT|a.txt\r\n:|~Disk 1|arvu.ttf,|MISSING|arvu.ttf\r\n"
              ":|~Disk 1|cp.nls,|MISSING|cp.nls\r\n:|~Disk 1|us.KBD,|MISSING|us.KBD\r\n"
              ":|~Disk 1|b.txt,|TGT|b.txt\r\nEnd:");
    EXPECT_EQ(installer.Run(), Ok);
    EXPECT_TRUE(dialogs.log.empty()) << dialogs.log.front();
    EXPECT_EQ(Scratch::ReadFile(m.Path("TARGET\\b.txt")), "data of b.txt") << "the run went on";

    TestInstaller second;
    second.SetUi(&engineUi);
    second.firstDisk = m.Path("SOURCE");
    std::string other =
        text.substr(0, text.find("Files:")) +
        "Files:|~Disk 1|bvsc.dl_,|MISSING|bvsc.dll\r\n:|~Disk 1|b.txt,|TGT|c.txt\r\n"
        "End:";
    ProductScript abortScript(other.data(), unsigned(other.size()));
    second.SetScript(&abortScript);
    EXPECT_EQ(second.Run(), Abort);
    ASSERT_EQ(dialogs.log.size(), 2u);
    EXPECT_NE(dialogs.log[0].find("Can't copy the file bvsc.dll to the directory:\n " +
                                  Upper(m.Path("NONE\\"))),
              std::string::npos)
        << dialogs.log[0];
    EXPECT_NE(dialogs.log[1].find("Close all opened programs and try the installation again!"),
              std::string::npos)
        << dialogs.log[1];
    EXPECT_FALSE(Scratch::Exists(m.Path("TARGET\\c.txt")));
}

} // namespace
