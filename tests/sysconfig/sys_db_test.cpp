// The WriteSysDB and DeleteSysDB interpreter over scripts held in memory,
// writing to a registry key and INI files of the test's own.
#include "sysconfig/sysconfig_fixtures.h"

#include "support/test_script.h"

#include "ini_file.h"
#include "sys_db.h"

#include <gtest/gtest.h>

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Script lines with ROOT standing for the test key and INI for a test file.
std::string Lines(const TestRegistry& reg, const TestIni& ini,
                  std::initializer_list<const char*> lines) {
    std::string root = reg.Path();
    root.pop_back();
    std::string name = ini.Name().substr(0, ini.Name().size() - 4);
    return Replace(Replace(ScriptLines(lines), "ROOT", root), "INIFILE", name);
}

std::string IniValue(const TestIni& ini, const char* section, const char* key) {
    char buffer[64];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, ini.Name().c_str());
    return buffer;
}

TEST(SysDB, BarsChooseTheTargetAndPercentMakesANumber) {
    TestRegistry reg;
    TestIni ini("S");
    TestScript script(Lines(
        reg, ini,
        {"WriteSysDB:|REG|ROOT\\Text=00000402", ":||ROOT\\EmptyTarget=same",
         ":ROOT\\NoBars\\Default Value=1", ":|REG|ROOT\\One=%1", ":|REG|ROOT\\Letters=%abc",
         ":ROOT\\Negative=% -5", ":|INIFILE|boot\\number=%1", ":|INIFILE|boot\\negative=%-5",
         ":|INIFILE|boot\\text=lngbriv2.dll", ":|INIFILE|boot\\empty=", ":|REG|ROOT\\LowerReg=x",
         ":|NoSecondBar\\ROOT\\x=1", ":#IF_MISSING#|REG|ROOT\\Excluded=1",
         ":|reg|section\\key=lower", "Other:ROOT\\NotThisSection=1"}));
    WriteSysDBSection(script, "WriteSysDB");
    std::string sub = reg.Sub();
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub, "Text").data, std::string("00000402", 9));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub, "EmptyTarget").data, std::string("same", 5));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub + "\\NoBars", "").data, std::string("1", 2));
    StoredValue one = ReadStored(HKEY_CURRENT_USER, sub, "One");
    EXPECT_EQ(one.type, DWORD(REG_DWORD));
    EXPECT_EQ(one.data, std::string("\1\0\0\0", 4));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub, "Letters").data, std::string(4, '\0'));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub, "Negative").data,
              std::string("\xFB\xFF\xFF\xFF", 4));
    EXPECT_EQ(IniValue(ini, "boot", "number"), "1");
    EXPECT_EQ(IniValue(ini, "boot", "negative"), "-5");
    EXPECT_EQ(IniValue(ini, "boot", "text"), "lngbriv2.dll");
    EXPECT_EQ(IniValue(ini, "boot", "empty"), "");
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, sub, "Excluded").found);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, sub, "NotThisSection").found);
    // Lower-case reg is an INI file named REG.INI.
    char buffer[32];
    GetPrivateProfileStringA("section", "key", "<none>", buffer, sizeof buffer, "REG.INI");
    EXPECT_STREQ(buffer, "lower");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "REG.INI");
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    EXPECT_TRUE(DeleteFileA((std::string(dir) + "\\REG.INI").c_str()));
}

TEST(SysDB, ATargetMayHoldNineteenCharactersButNotTwenty) {
    TestRegistry reg;
    TestIni shortIni("19");
    // Names of 19 and 20 characters in the Windows directory.
    std::string stem = shortIni.Name().substr(0, shortIni.Name().size() - 4);
    std::string name19 = stem + std::string(19 - 4 - stem.size(), 'N') + ".INI";
    std::string name20 = stem + std::string(20 - 4 - stem.size(), 'N') + ".INI";
    ASSERT_EQ(name19.size(), 19u);
    std::string script =
        "WriteSysDB:|" + name19 + "|s\\k=nineteen\r\n:|" + name20 + "|s\\k=twenty\r\n";
    TestScript text(script);
    WriteSysDBSection(text, "WriteSysDB");
    char buffer[32];
    GetPrivateProfileStringA("s", "k", "<none>", buffer, sizeof buffer, name19.c_str());
    EXPECT_STREQ(buffer, "nineteen");
    GetPrivateProfileStringA("s", "k", "<none>", buffer, sizeof buffer, name20.c_str());
    EXPECT_STREQ(buffer, "<none>");
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, name19.c_str());
    DeleteFileA((std::string(dir) + "\\" + name19).c_str());
    DeleteFileA((std::string(dir) + "\\" + name20).c_str());
}

TEST(SysDB, DeleteSectionRemovesKeysTreesValuesAndWholeIniSections) {
    TestRegistry reg;
    TestIni ini("X");
    ASSERT_TRUE(ini.Write("[FontSubstitutes]\r\nHelv=MS Sans Serif\r\n[boot]\r\na=1\r\nb=2\r\n"));
    RegKey key(RegKey::AccessRead | RegKey::AccessWrite);
    ASSERT_TRUE(key.SetString(reg.Path("Old\\3.0\\Deep\\Deeper\\v").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("Run\\internat.exe").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("Run\\other").c_str(), "x"));
    TestScript script(Lines(reg, ini,
                            {"DeleteSysDB:|REG|ROOT\\Old\\3.0", ":ROOT\\Run\\internat.exe",
                             ":|INIFILE|FontSubstitutes", ":|INIFILE|boot\\a",
                             ":|REG|ROOT\\Nothing\\There", ":|REG|ROOT\\Run\\"}));
    DeleteSysDBSection(script, "DeleteSysDB");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Old\\3.0"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Old"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Run", "internat.exe").found);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Run", "other").found);
    EXPECT_EQ(IniValue(ini, "FontSubstitutes", "Helv"), "<none>");
    EXPECT_EQ(IniValue(ini, "boot", "a"), "<none>");
    EXPECT_EQ(IniValue(ini, "boot", "b"), "2");
    // A missing section ends at once and touches nothing.
    TestScript none(Lines(reg, ini, {"Other:ROOT\\Run\\other"}));
    DeleteSysDBSection(none, "DeleteSysDB");
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Run", "other").found);
}

// From a malformed header on the reader answers 3 for every line: each
// interpreter carries out the lines before it, then stops.
TEST(SysDB, AMalformedHeaderEndsTheSection) {
    TestRegistry reg;
    TestIni ini("F");
    std::string text =
        Lines(reg, ini, {"WriteSysDB:ROOT\\First=1", ":ROOT\\Second=2"}) + std::string(200, 'h');
    TestScript script(text);
    WriteSysDBSection(script, "WriteSysDB");
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, reg.Sub(), "First").found);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, reg.Sub(), "Second").found);
    // The same lines read as deletions.
    DeleteSysDBSection(script, "WriteSysDB");
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub(), "First").found);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub(), "Second").found);
}

// The numbering runs on from the written Active layouts entries into the
// one line that deletes the entry after them.
void RunLayouts(bool phonetic, int written) {
    TestRegistry reg;
    TestIni ini("A");
    RegKey key(RegKey::AccessRead | RegKey::AccessWrite);
    for (int n = 1; n <= 4; ++n) // left by an earlier installation
        ASSERT_TRUE(key.SetString(
            reg.Path("Active layouts\\" + std::to_string(n) + "\\sub\\layout").c_str(), "old"));
    TestScript script(Lines(reg, ini,
                            {"@ACTIVE_REG:|REG|ROOT\\Active layouts\\",
                             "WriteSysDB:#@ACTIVE_REG##AUTO_NUMBER#\\layout=00000409",
                             ":#IF_KBDPH##@ACTIVE_REG##AUTO_NUMBER#\\layout=00020402",
                             ":#IF_KBDBDS##@ACTIVE_REG##AUTO_NUMBER#\\layout=00000402",
                             "DeleteSysDB:#@ACTIVE_REG##AUTO_NUMBER#", "End:"}));
    script.vars["IF_KBDBDS"] = "";
    if (phonetic)
        script.vars["IF_KBDPH"] = "";
    WriteSysDBSection(script, "WriteSysDB");
    DeleteSysDBSection(script, "DeleteSysDB");
    std::string active = reg.Sub() + "\\Active layouts\\";
    std::vector<std::string> layouts = {"00000409\0", "00000402\0"};
    if (phonetic)
        layouts.insert(layouts.begin() + 1, "00020402");
    for (int n = 1; n <= written; ++n)
        EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, active + std::to_string(n), "layout").data,
                  std::string(layouts[size_t(n - 1)].c_str(), 9))
            << n;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, active + std::to_string(written + 1)));
    if (written < 3) {
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, active + "4"));
    }
}

TEST(SysDB, UsAndBdsWriteEntriesOneAndTwoAndDeleteThree) {
    RunLayouts(false, 2);
}

TEST(SysDB, UsPhoneticAndBdsWriteThreeEntriesAndDeleteFour) {
    RunLayouts(true, 3);
}

} // namespace
