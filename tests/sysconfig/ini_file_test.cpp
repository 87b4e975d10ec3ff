// INI file access against the real profile calls and file calls: the same
// tests run over the host's emulated machine and under Wine.
// The rewrites of IniFile itself are checked byte for byte; what the profile
// calls do to the lines they do not write differs (kRewritesAll).
#include "sysconfig/sysconfig_fixtures.h"

#include "support/differences.h"

#include "ini_file.h"

#include <gtest/gtest.h>

namespace {

std::string Get(const IniFile& ini, const char* path, bool* found = nullptr) {
    char buffer[64];
    bool ok = ini.GetValueByPath(path, "default", buffer, sizeof buffer);
    if (found)
        *found = ok;
    return buffer;
}

TEST(IniFile, NamesAreUpperCasedGetIniAndWinIniGoesToItsOwnCalls) {
    Scratch scratch;
    EXPECT_STREQ(IniFile("system.ini").Name(), "SYSTEM.INI");
    EXPECT_STREQ(IniFile("VELMOR").Name(), "VELMOR.INI");
    EXPECT_STREQ(IniFile("c:\\dir.x\\velmor").Name(), "C:\\DIR.X\\VELMOR");
    std::string tooLong(256, 'a');
    IniFile over(tooLong.c_str()); // 260 with ".INI": does not fit
    EXPECT_STREQ(over.Name(), "");
    EXPECT_FALSE(over.SetValue("s", "k", "v"));
    EXPECT_FALSE(over.InsertEntry("s", "k", "v"));

    std::string section = "BrivantaTest" + std::to_string(ProcessNumber());
    IniFile win("win.ini");
    EXPECT_STREQ(win.Name(), "WIN.INI");
    ASSERT_TRUE(win.SetValue(section.c_str(), "Key", "through WIN.INI"));
    char buffer[64];
    GetProfileStringA(section.c_str(), "key", "", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "through WIN.INI");
    EXPECT_TRUE(win.DeleteByPath(section.c_str()));
    GetProfileStringA(section.c_str(), "key", "gone", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "gone");

    TestIni file("N");
    std::string stem = file.Name().substr(0, file.Name().size() - 4);
    for (char& c : stem)
        c = char(tolower(c));
    IniFile named(stem.c_str());
    EXPECT_EQ(named.Name(), file.Name());
    EXPECT_FALSE(named.Exists());
    ASSERT_TRUE(named.SetValueByPath("Global\\VelmorDir", "C:\\VELMOR"));
    EXPECT_TRUE(named.Exists());
    GetPrivateProfileStringA("global", "velmordir", "", buffer, sizeof buffer, file.Name().c_str());
    EXPECT_STREQ(buffer, "C:\\VELMOR");
}

TEST(IniFile, ReadsReportAValueBeginningWithBangAsMissing) {
    Scratch scratch;
    TestIni file("R");
    ASSERT_TRUE(file.Write("[Global]\r\nVelmorDir=C:\\VELMOR\r\nEmpty=\r\nBang=!set\r\n"
                           "Dir\\Sub=deeper\r\n"));
    IniFile ini(file.Name().c_str());
    bool found = false;
    EXPECT_EQ(Get(ini, "Global\\VelmorDir", &found), "C:\\VELMOR");
    EXPECT_TRUE(found);
    EXPECT_EQ(Get(ini, "global\\EMPTY", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(Get(ini, "Global\\Bang", &found), "default");
    EXPECT_FALSE(found);
    EXPECT_EQ(Get(ini, "Global\\Missing", &found), "default");
    EXPECT_FALSE(found);
    EXPECT_EQ(Get(ini, "Global\\Dir\\Sub", &found), "deeper"); // cut at the first backslash
    EXPECT_EQ(Get(ini, "Global", &found), "default");          // no key: nothing to read
    EXPECT_FALSE(found);
    char small[4];
    EXPECT_TRUE(ini.GetValue("Global", "VelmorDir", "x", small, sizeof small));
    EXPECT_STREQ(small, "C:\\");
    // A path longer than 127 characters is refused, not cut.
    std::string longPath = "Global\\" + std::string(121, 'k');
    EXPECT_EQ(Get(ini, longPath.c_str(), &found), "default");
    EXPECT_FALSE(ini.SetValueByPath(longPath.c_str(), "x"));
    EXPECT_TRUE(ini.SetValueByPath(longPath.substr(0, 127).c_str(), "x"));
    EXPECT_EQ(Get(ini, ("Global\\" + std::string(120, 'K')).c_str()), "x");
}

const char kRewritesAll[] = "Wine writes the whole file anew on every profile write: blank "
                            "lines dropped, blanks around \"=\" taken out; the host keeps the "
                            "lines it does not write as they were";

TEST(IniFile, WritesAndDeletesByPath) {
    Scratch scratch;
    TestIni file("W");
    ASSERT_TRUE(file.Write("[boot]\r\nshell=Explorer.exe\r\n[FontSubstitutes]\r\nHelv=MS Sans "
                           "Serif\r\nTms Rmn=MS Serif\r\n[Other]\r\n\r\nx = 1\r\n"));
    IniFile ini(file.Name().c_str());
    EXPECT_TRUE(ini.SetValueByPath("boot\\oemfonts.fon", "vgaoem.fon"));
    EXPECT_EQ(Get(ini, "BOOT\\OEMFONTS.FON"), "vgaoem.fon");
    EXPECT_NE(file.Read().find("oemfonts.fon=vgaoem.fon\r\n"), std::string::npos);
    EXPECT_TRUE(ini.SetValueByPath("New\\key", "v"));
    EXPECT_TRUE(ini.DeleteByPath("boot\\shell"));
    EXPECT_EQ(Get(ini, "boot\\shell"), "default");
    EXPECT_TRUE(ini.DeleteByPath("FontSubstitutes"));
    const std::string text = file.Read();
    EXPECT_TRUE(text == "[boot]\r\noemfonts.fon=vgaoem.fon\r\n[Other]\r\n\r\nx = 1\r\n"
                        "[New]\r\nkey=v\r\n" ||
                WINE_GIVES(kRewritesAll, text == "[boot]\r\noemfonts.fon=vgaoem.fon\r\n[Other]\r\n"
                                                 "x=1\r\n[New]\r\nkey=v\r\n"))
        << text;
    EXPECT_TRUE(ini.DeleteByPath("Nothing\\there")); // a silent no-op
    EXPECT_FALSE(ini.SetValueByPath("NoKey", "v"));
}

TEST(IniFile, DisableKeyChangesTheSectionsLinesOnlyAndOnlyOnce) {
    Scratch scratch;
    TestIni file("D");
    const std::string before =
        "; keep this\r\n[386Enh]\r\nkeyboard.drv=other\r\n"
        "[ boot ]\r\nkeyboard.drv=x\r\n"
        "  [Boot]  ; again\r\nKEYBOARD.DRV=kbdbriv.drv\r\nkeyboard.drvx=y\r\n"
        " keyboard.drv=spaced\r\n\r\n[keyboard]\r\nkeyboard.drv=z";
    ASSERT_TRUE(file.Write(before));
    IniFile ini(file.Name().c_str());
    ASSERT_TRUE(ini.DisableKey("boot", "keyboard.drv"));
    const std::string after =
        "; keep this\r\n[386Enh]\r\nkeyboard.drv=other\r\n"
        "[ boot ]\r\nkeyboard.drv=x\r\n"
        "  [Boot]  ; again\r\n*KEYBOARD.DRV=kbdbriv.drv\r\nkeyboard.drvx=y\r\n"
        " keyboard.drv=spaced\r\n\r\n[keyboard]\r\nkeyboard.drv=z";
    EXPECT_EQ(file.Read(), after);
    ASSERT_TRUE(ini.DisableKey("BOOT", "keyboard.drv"));
    EXPECT_EQ(file.Read(), after);
    EXPECT_FALSE(Scratch::Exists(RewriteTempPath()));
    EXPECT_FALSE(IniFile("BTNOFILE.INI").DisableKey("boot", "x"));
    EXPECT_FALSE(Scratch::Exists(RewriteTempPath()));
}

TEST(IniFile, AnUnclosedHeaderEndsTheSectionAndMatchesNothing) {
    Scratch scratch;
    TestIni file("B");
    const std::string before = "[boot]\r\nshell=x\r\n [boot\r\nshell=y\r\n";
    ASSERT_TRUE(file.Write(before));
    IniFile ini(file.Name().c_str());
    ASSERT_TRUE(ini.DisableKey("boot", "shell"));
    EXPECT_EQ(file.Read(), "[boot]\r\n*shell=x\r\n [boot\r\nshell=y\r\n");
    ASSERT_TRUE(file.Write(before));
    ASSERT_TRUE(ini.InsertEntry("boot", "NULL", "n"));
    EXPECT_EQ(file.Read(), "[boot]\r\nNULL=n\r\nshell=x\r\n [boot\r\nshell=y\r\n");
}

TEST(IniFile, InsertEntryPutsTheNewestLineFirstAndEndsAnUnfinishedLastLine) {
    Scratch scratch;
    TestIni missing("M");
    IniFile created(missing.Name().c_str());
    ASSERT_TRUE(created.InsertEntry("rename", "NULL", "C:\\WINDOWS\\OLD.FON"));
    EXPECT_EQ(missing.Read(), "\r\n[rename]\r\nNULL=C:\\WINDOWS\\OLD.FON\r\n");

    TestIni unfinished("U");
    ASSERT_TRUE(unfinished.Write("[other]\r\nx=1"));
    ASSERT_TRUE(IniFile(unfinished.Name().c_str()).InsertEntry("rename", "NULL", "a"));
    EXPECT_EQ(unfinished.Read(), "[other]\r\nx=1\r\n[rename]\r\nNULL=a\r\n");

    // A matching header on the last line, without a line break.
    TestIni header("H");
    ASSERT_TRUE(header.Write("[other]\r\nx=1\r\n[Rename]"));
    IniFile ini(header.Name().c_str());
    ASSERT_TRUE(ini.InsertEntry("rename", "NULL", "first"));
    EXPECT_EQ(header.Read(), "[other]\r\nx=1\r\n[Rename]\r\nNULL=first\r\n");
    ASSERT_TRUE(ini.InsertEntry("RENAME", "NULL", "second"));
    EXPECT_EQ(header.Read(), "[other]\r\nx=1\r\n[Rename]\r\nNULL=second\r\nNULL=first\r\n");
    EXPECT_FALSE(Scratch::Exists(RewriteTempPath()));
}

TEST(IniFile, RewritesCarryLongLinesAndIgnoreAStaleTemporaryFile) {
    Scratch scratch;
    ASSERT_TRUE(Scratch::WriteFile(RewriteTempPath(), "[stale]\r\nleft=over\r\n"));
    TestIni file("L");
    std::string longKey(300, 'k');
    std::string longHeader = "[" + std::string(400, 'h') + "]";
    const std::string text = "[boot]\r\n" + longKey + "=" + std::string(600, 'v') + "\r\n" +
                             longHeader + "\r\nshell=x\r\n[boot]\r\nshell=y\r\n";
    ASSERT_TRUE(file.Write(text));
    IniFile ini(file.Name().c_str());
    ASSERT_TRUE(ini.DisableKey("boot", "shell"));
    std::string expected = text;
    expected.insert(expected.rfind("shell=y"), "*");
    EXPECT_EQ(file.Read(), expected);
    ASSERT_TRUE(ini.InsertEntry("boot", "NULL", "n"));
    expected.insert(std::string("[boot]\r\n").size(), "NULL=n\r\n");
    expected.insert(expected.rfind("*shell=y"), "NULL=n\r\n");
    EXPECT_EQ(file.Read(), expected);
    EXPECT_FALSE(Scratch::Exists(RewriteTempPath()));
}

TEST(IniFile, AProfileWriteAfterARewriteKeepsTheRewrite) {
    Scratch scratch;
    TestIni file("C");
    ASSERT_TRUE(file.Write("[boot]\r\nkeyboard.drv=kbdbriv.drv\r\n"));
    IniFile ini(file.Name().c_str());
    // The system now holds the file cached.
    ASSERT_TRUE(ini.SetValueByPath("boot\\a", "1"));
    ASSERT_TRUE(ini.DisableKey("boot", "keyboard.drv"));
    ASSERT_TRUE(ini.SetValueByPath("boot\\b", "2"));
    std::string text = file.Read();
    EXPECT_NE(text.find("*keyboard.drv=kbdbriv.drv\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("a=1\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("b=2\r\n"), std::string::npos) << text;
}

// Lines that end in a bare CR, as some old editors write them, are lines to
// the profile calls and to the rewrites, which keep their line ends.
TEST(IniFile, LinesEndingInABareCarriageReturnAreLines) {
    Scratch scratch;
    TestIni file("R");
    ASSERT_TRUE(file.Write("[boot]\rshell=x\rkeyboard.drv=a.drv\r[other]\rshell=y\r"));
    char buffer[16];
    GetPrivateProfileStringA("boot", "keyboard.drv", "", buffer, sizeof buffer,
                             file.Name().c_str());
    EXPECT_STREQ(buffer, "a.drv");
    GetPrivateProfileStringA("other", "shell", "", buffer, sizeof buffer, file.Name().c_str());
    EXPECT_STREQ(buffer, "y");
    IniFile ini(file.Name().c_str());
    ASSERT_TRUE(ini.DisableKey("boot", "shell"));
    EXPECT_EQ(file.Read(), "[boot]\r*shell=x\rkeyboard.drv=a.drv\r[other]\rshell=y\r");
    ASSERT_TRUE(ini.InsertEntry("OTHER", "NULL", "n"));
    EXPECT_EQ(file.Read(), "[boot]\r*shell=x\rkeyboard.drv=a.drv\r[other]\rNULL=n\r\nshell=y\r");
}

// The temporary file is then the only whole copy: it moves beside the file
// under a name that no later rewrite takes.
TEST(IniFile, AFailedCopyBackKeepsTheOriginalAndAWholeCopyPastLaterRewrites) {
    Scratch scratch;
    TestIni file("P");
    const std::string text = "[boot]\r\nshell=x\r\n";
    ASSERT_TRUE(file.Write(text));
    ASSERT_TRUE(SetFileAttributesA(file.Path().c_str(), FILE_ATTRIBUTE_READONLY));
    IniFile ini(file.Name().c_str());
    EXPECT_FALSE(ini.DisableKey("boot", "shell"));
    EXPECT_FALSE(ini.InsertEntry("boot", "NULL", "n"));
    EXPECT_EQ(file.Read(), text);
    EXPECT_FALSE(Scratch::Exists(RewriteTempPath()));
    TestIni other("Q");
    ASSERT_TRUE(other.Write(text));
    EXPECT_TRUE(IniFile(other.Name().c_str()).DisableKey("boot", "shell"));
    EXPECT_EQ(Scratch::ReadFile(file.Path() + ".~1"), "[boot]\r\n*shell=x\r\n");
    EXPECT_EQ(Scratch::ReadFile(file.Path() + ".~2"), "[boot]\r\nNULL=n\r\nshell=x\r\n");
    EXPECT_TRUE(DeleteFileA((file.Path() + ".~1").c_str()));
    EXPECT_TRUE(DeleteFileA((file.Path() + ".~2").c_str()));
}

} // namespace
