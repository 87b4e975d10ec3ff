// The system font replacement: the free extension, the WININIT.INI lines,
// the RenameFiles values and the font substitutes, on one run and on a
// second run before the restart.
#include "product/product_machine.h"

#include "fonts.h"
#include "product_state.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

std::string FontsDir() {
    return WindowsDir() + "FONTS\\";
}

// The non-blank lines of one section of an INI file, as text.
std::vector<std::string> SectionLines(const std::string& path, const std::string& section) {
    std::istringstream in(Scratch::ReadFile(path));
    std::vector<std::string> out;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line[0] == '[')
            inside = Upper(line) == "[" + Upper(section) + "]";
        else if (inside)
            out.push_back(line);
    }
    return out;
}

struct Fonts : ::testing::Test {
    ProductMachine m;
    std::vector<std::string> made;

    void TearDown() override {
        for (const std::string& f : made)
            DeleteFileA(f.c_str());
        FontExtension[0] = 0;
    }
    void MakeFontFile(const std::string& name) {
        std::string path = FontsDir() + name;
        ASSERT_TRUE(Scratch::WriteFile(path, "test font " + name)) << path;
        made.push_back(path);
    }
    static std::string Ext(unsigned n) {
        char text[8];
        std::snprintf(text, sizeof text, "%03x", n);
        return text;
    }
};

TEST_F(Fonts, TheFontsFolderIsTheWindowsFolderWithFonts) {
    char dir[MAX_PATH];
    FontsDirectory(dir, sizeof dir);
    EXPECT_EQ(std::string(dir) + "\\", FontsDir());
    char small[5];
    FontsDirectory(small, sizeof small);
    EXPECT_EQ(std::string(small), FontsDir().substr(0, 4)) << "cut to the buffer";
}

TEST_F(Fonts, TheExtensionIsTheFirstThatNoFileInTheFontsFolderHas) {
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "001");
    for (unsigned n = 1; n <= 9; ++n)
        MakeFontFile("vgasys." + Ext(n));
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "00a") << "hexadecimal after 009";
    for (unsigned n = 10; n <= 15; ++n)
        MakeFontFile("btest." + Ext(n));
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "010") << "any file counts, not only the fonts";
}

TEST_F(Fonts, AStrayFileMovesTheChoiceOnAndAllTakenGivesTheLastOne) {
    MakeFontFile("README.001");
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "002");
    for (unsigned n = 2; n <= 99; ++n)
        MakeFontFile("btest." + Ext(n));
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "063") << "all 99 taken";
}

struct Replacement : Fonts {
    std::string winInit = WindowsDir() + "WININIT.INI";

    void SetUp() override {
        m.PutFile(winInit, "[rename]\r\nC:\\BTEST\\KEEP.TXT=C:\\BTEST\\KEEP.NEW\r\n"
                           "[other]\r\nNULL=C:\\BTEST\\OTHER.TXT\r\n");
        m.MakeKey(kTestRenameFilesKey);
        for (const FontSubstitute& f : kFontSubstituteTable)
            m.PutWinIniValue("FontSubstitutes", f.key, nullptr);
    }
    // The rename lines of the system fonts, in table order.
    std::vector<std::string> ExpectedRenames(const std::string& extension) const {
        std::vector<std::string> out;
        for (const SystemFont& f : kSystemFontTable)
            out.push_back(FontsDir() + f.file + "=" + FontsDir() + f.baseName + "." + extension);
        return out;
    }
    std::vector<std::string> ExpectedDeletes() const {
        std::vector<std::string> out;
        for (int i = 25; i >= 0; --i)
            out.push_back("NULL=" + SystemDir() + kOldFontTable[i]);
        return out;
    }
};

// Lines of `lines` equal to any of `wanted`, counted per wanted line.
size_t CountOf(const std::vector<std::string>& lines, const std::string& wanted) {
    size_t n = 0;
    for (const std::string& l : lines)
        n += Upper(l) == Upper(wanted);
    return n;
}

TEST_F(Replacement, DeletesGoOnTopInReverseOrderRenamesFollowAndTheRegistryGetsItsValues) {
    std::strcpy(FontExtension, "001");
    EXPECT_EQ(ReplaceSystemFonts(), 1);
    auto lines = SectionLines(winInit, "rename");
    auto deletes = ExpectedDeletes();
    ASSERT_GE(lines.size(), 26u + 1 + 15) << Scratch::ReadFile(winInit);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 26), deletes);
    EXPECT_EQ(lines[0], "NULL=" + SystemDir() + "woa_07.fon");
    EXPECT_EQ(lines[26], "C:\\BTEST\\KEEP.TXT=C:\\BTEST\\KEEP.NEW") << "the old line stays";
    EXPECT_EQ(lines.size(), 26u + 1 + 15);
    for (const std::string& r : ExpectedRenames("001"))
        EXPECT_EQ(CountOf(lines, r), 1u) << r;
    EXPECT_EQ(CountOf(lines, FontsDir() + "vgasys.fon=" + FontsDir() + "vgasys.001"), 1u);
    EXPECT_EQ(SectionLines(winInit, "other"),
              std::vector<std::string>{"NULL=C:\\BTEST\\OTHER.TXT"});

    for (const SystemFont& f : kSystemFontTable)
        EXPECT_EQ(ProductMachine::Value(kTestRenameFilesKey, Upper(f.file)), f.system ? ",6" : ",2")
            << f.file;
    EXPECT_EQ(ProductMachine::Value(kTestRenameFilesKey, "VGASYS.FON"), ",6");
    EXPECT_EQ(ProductMachine::Value(kTestRenameFilesKey, "SSERIFE.FON"), ",2");

    for (const FontSubstitute& s : kFontSubstituteTable) {
        char value[64];
        GetProfileStringA("FontSubstitutes", s.key, "", value, sizeof value);
        EXPECT_STREQ(value, s.value) << s.key;
    }
    char value[64];
    GetProfileStringA("FontSubstitutes", "MS Shell Dlg,0", "", value, sizeof value);
    EXPECT_STREQ(value, "MS Sans Serif,204");
}

TEST_F(Replacement, ASecondRunBeforeTheRestartTakesTheNextExtensionAndReplacesTheRenames) {
    ChooseFontExtension();
    ASSERT_STREQ(FontExtension, "001");
    ReplaceSystemFonts();
    // The first run copied its files under 001.
    for (const SystemFont& f : kSystemFontTable)
        MakeFontFile(std::string(f.baseName) + ".001");
    ChooseFontExtension();
    ASSERT_STREQ(FontExtension, "002");
    ReplaceSystemFonts();
    auto lines = SectionLines(winInit, "rename");
    EXPECT_EQ(lines.size(), 52u + 1 + 15) << "the deletes twice, each rename once";
    for (const std::string& r : ExpectedRenames("002"))
        EXPECT_EQ(CountOf(lines, r), 1u) << r;
    for (const std::string& r : ExpectedRenames("001"))
        EXPECT_EQ(CountOf(lines, r), 0u) << r;
}

TEST_F(Replacement, WithoutTheRenameFilesKeyOnlyTheRegistryValuesAreLost) {
    m.RemoveKey(kTestRenameFilesKey);
    std::strcpy(FontExtension, "003");
    EXPECT_EQ(ReplaceSystemFonts(), 1);
    EXPECT_FALSE(ProductMachine::KeyExists(kTestRenameFilesKey)) << "never made";
    auto lines = SectionLines(winInit, "rename");
    for (const std::string& r : ExpectedRenames("003"))
        EXPECT_EQ(CountOf(lines, r), 1u) << r;
}

} // namespace
