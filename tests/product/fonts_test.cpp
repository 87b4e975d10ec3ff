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

// The three tables as the product documents them, written out here rather
// than taken from the product, so that a changed row fails.
const struct {
    const char* file;
    const char* baseName;
    const char* code;
} kSystemFonts[] = {
    {"8514sys.fon", "8514sys", ",6"}, {"vgasys.fon", "vgasys", ",6"},
    {"8514fix.fon", "8514fix", ",6"}, {"vgafix.fon", "vgafix", ",6"},
    {"courf.fon", "courf", ",6"},     {"coure.fon", "coure", ",6"},
    {"seriff.fon", "seriff", ",2"},   {"serife.fon", "serife", ",2"},
    {"sseriff.fon", "sseriff", ",2"}, {"sserife.fon", "sserife", ",2"},
    {"smallf.fon", "smallf", ",2"},   {"smalle.fon", "smalle", ",2"},
    {"8514oem.fon", "8514oem", ",6"}, {"vgaoem.fon", "vgaoem", ",6"},
    {"dosapp.fon", "dosapp", ",6"},
};
const char* const kOldFonts[] = {
    "fixb01.fon", "fixe01.fon", "fixf01.fon", "helb01.fon", "helf01.fon", "hele01.fon",
    "oemb01.fon", "oemb03.fon", "oeme01.fon", "oeme03.fon", "oeme04.fon", "oeme05.fon",
    "oeme06.fon", "oeme07.fon", "oeme08.fon", "oemf01.fon", "oemf03.fon", "smab01.fon",
    "smae01.fon", "smaf01.fon", "sysb01.fon", "syse01.fon", "sysf01.fon", "woa_01.fon",
    "woa_03.fon", "woa_07.fon"};
const struct {
    const char* key;
    const char* value;
} kSubstitutes[] = {
    {"System,0", "System,204"},
    {"Fixedsys,0", "Fixedsys,204"},
    {"Small Fonts,0", "Small Fonts,204"},
    {"Courier,0", "Courier,204"},
    {"MS Sans Serif,0", "MS Sans Serif,204"},
    {"MS Shell Dlg,0", "MS Sans Serif,204"},
    {"MS Serif,0", "MS Serif,204"},
    {"Helv,0", "MS Sans Serif,204"},
    {"Tms Rmn,0", "MS Serif,204"},
};

struct Replacement : Fonts {
    std::string winInit = WindowsDir() + "WININIT.INI";

    void SetUp() override {
        m.PutFile(winInit, "[rename]\r\nC:\\BTEST\\KEEP.TXT=C:\\BTEST\\KEEP.NEW\r\n"
                           "[other]\r\nNULL=C:\\BTEST\\OTHER.TXT\r\n");
        m.MakeKey(kTestRenameFilesKey);
        for (const auto& s : kSubstitutes)
            m.PutWinIniValue("FontSubstitutes", s.key, nullptr);
    }
    // The rename lines of the system fonts, in table order.
    std::vector<std::string> ExpectedRenames(const std::string& extension) const {
        std::vector<std::string> out;
        for (const auto& f : kSystemFonts)
            out.push_back(FontsDir() + f.file + "=" + FontsDir() + f.baseName + "." + extension);
        return out;
    }
    // Each insert goes on top: the last of the table comes first.
    std::vector<std::string> ExpectedDeletes() const {
        std::vector<std::string> out;
        for (size_t i = sizeof kOldFonts / sizeof kOldFonts[0]; i-- > 0;)
            out.push_back("NULL=" + SystemDir() + kOldFonts[i]);
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
    ReplaceSystemFonts();
    auto lines = SectionLines(winInit, "rename");
    ASSERT_EQ(lines.size(), 26u + 1 + 15) << Scratch::ReadFile(winInit);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 26), ExpectedDeletes());
    EXPECT_EQ(lines[26], "C:\\BTEST\\KEEP.TXT=C:\\BTEST\\KEEP.NEW") << "the old line stays";
    for (const std::string& r : ExpectedRenames("001"))
        EXPECT_EQ(CountOf(lines, r), 1u) << r;
    EXPECT_EQ(SectionLines(winInit, "other"),
              std::vector<std::string>{"NULL=C:\\BTEST\\OTHER.TXT"});

    for (const auto& f : kSystemFonts)
        EXPECT_EQ(ProductMachine::Value(kTestRenameFilesKey, Upper(f.file)), f.code) << f.file;

    for (const auto& s : kSubstitutes) {
        char value[64];
        GetProfileStringA("FontSubstitutes", s.key, "", value, sizeof value);
        EXPECT_STREQ(value, s.value) << s.key;
    }
}

TEST_F(Replacement, ASecondRunBeforeTheRestartTakesTheNextExtensionAndReplacesTheRenames) {
    ChooseFontExtension();
    ASSERT_STREQ(FontExtension, "001");
    ReplaceSystemFonts();
    // The first run copied its files under 001.
    for (const auto& f : kSystemFonts)
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
    ReplaceSystemFonts();
    EXPECT_FALSE(ProductMachine::KeyExists(kTestRenameFilesKey)) << "never made";
    auto lines = SectionLines(winInit, "rename");
    for (const std::string& r : ExpectedRenames("003"))
        EXPECT_EQ(CountOf(lines, r), 1u) << r;
}

} // namespace
