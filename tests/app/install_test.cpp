// The whole installation on an emulated machine, from the sample disks,
// answered from answer files, checked field by field on the machine.
#include "host_install.h"
#include "install_checks.h"
#include "program_group.h"
#include "reg_key.h"
#include "support/scratch.h"
#include "terminal_front_end.h"

#include "platform/host_testing.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const char kDest[] = "C:\\VELMOR\\BRIVANTA\\";
const char kProductKey[] = "HCU\\Software\\Velmor\\Brivanta\\3.2\\";
const char kActive[] = "HCU\\Software\\Velmor\\Active layouts\\";
const char kUninstall[] = "HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool KeyExists(const std::string& path) {
    return RegKey(path.c_str(), RegKey::AccessRead, false).IsOpen();
}

std::string Ini(const char* file, const char* section, const char* key) {
    char value[256];
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, file);
    return value;
}

std::string HostFile(const std::string& relative) {
    std::ifstream in(std::string(BRIVANTA_SAMPLE_DISKS) + "/" + relative, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

// The font files of the second disk and the system font each replaces.
const char* const kFonts[][2] = {
    {"c8514fix", "8514fix"}, {"c8514sys", "8514sys"}, {"c8514oem", "8514oem"},
    {"app856", "dosapp"},    {"cserife", "serife"},   {"cseriff", "seriff"},
    {"csmalle", "smalle"},   {"csmallf", "smallf"},   {"ccoure", "coure"},
    {"ccourf", "courf"},     {"csserife", "sserife"}, {"csseriff", "sseriff"},
    {"vga856", "vgaoem"},    {"cvgafix", "vgafix"},   {"cvgasys", "vgasys"}};

// Files the script copies whatever the options, source → target.
const char* const kAlways[][2] = {
    {"DISK1/brivanta.ex_", "C:\\VELMOR\\BRIVANTA\\brivanta.exe"},
    {"DISK1/bvsc.dl_", "C:\\VELMOR\\BRIVANTA\\bvsc.dll"},
    {"DISK1/uninstal.ex_", "C:\\VELMOR\\BRIVANTA\\uninstal.exe"},
    {"DISK1/bv_help.hl_", "C:\\VELMOR\\BRIVANTA\\bv_help.hlp"},
    {"DISK1/readme.doc", "C:\\VELMOR\\BRIVANTA\\readme.doc"},
    {"DISK1/KBD/kbdus.kbd", "C:\\WINDOWS\\SYSTEM\\kbdus.kbd"},
    {"DISK1/Filters/unicode.bi_", "C:\\WINDOWS\\SYSTEM\\unicode.bin"}};

class Install : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error)) << error;
    }

    // An earlier version: its keys, its shared directory with the panel,
    // its items in both groups, and old fonts in the system directory.
    void MakeEarlierVersion() {
        for (const char* key :
             {"HCU\\Software\\Velmor\\Brivanta\\3.0\\", "HCU\\Software\\Velmor\\Brivanta\\3.1\\"})
            ASSERT_TRUE(RegKey(key, RegKey::AccessWrite, true).SetString("Program dir", "C:\\BV"));
        for (const char* name : {"Brivanta 3.0", "Brivanta 3.1"})
            ASSERT_TRUE(
                RegKey((std::string(kUninstall) + name + "\\").c_str(), RegKey::AccessWrite, true)
                    .SetString("DisplayName", name));
        ASSERT_TRUE(RegKey(kActive, RegKey::AccessWrite, true).SetString("4\\layout", "00000419"));
        ASSERT_TRUE(
            WritePrivateProfileStringA("Global", "VelmorDir", "C:\\VELSHARE\\", "velmor.ini"));
        ASSERT_TRUE(Scratch::MakeDir("C:\\VELSHARE\\"));
        ASSERT_TRUE(Scratch::WriteFile("C:\\VELSHARE\\bvpanel.exe", "old panel"));
        ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\SYSTEM\\fixb01.fon", "old font"));
        ProgramGroup maker("Velmor Applications", nullptr);
        for (const char* item : {"BV Control Panel", "BV Panel Help", "BV ReadMe", "BV Tutorial",
                                 "Brivanta 3.0", "Brivanta 3.1", "Other Tool"})
            ASSERT_EQ(maker.AddItem("C:\\BV\\OLD.EXE", item), Ok);
        maker.Release();
        ProgramGroup startUp("StartUp", nullptr);
        for (const char* item : {"Brivanta 3.0", "Brivanta 3.1"})
            ASSERT_EQ(startUp.AddItem("C:\\BV\\OLD.EXE", item), Ok);
        startUp.Release();
        hostwin::ClearProgmanCommands();
    }

    SetupOutcome Run(const std::string& answerText) {
        AnswerFile answers;
        EXPECT_EQ(answers.Parse("answers", answerText.data(), answerText.size(), nullptr), 0);
        TerminalFrontEnd frontEnd(input_, transcript_, &answers, false);
        return RunSetup(&frontEnd);
    }

    int CountCopied(const char* const (*pairs)[2], size_t n) {
        int same = 0;
        for (size_t i = 0; i < n; ++i)
            same += Scratch::ReadFile(pairs[i][1]) == HostFile(pairs[i][0]);
        return same;
    }

    Scratch machine_;
    std::istringstream input_;
    std::ostringstream transcript_;
};

const char kAllOptions[] = "[Destination]\nDirectory=C:\\VELMOR\\BRIVANTA\n"
                           "[Options]\nKeyboardBds=1\nKeyboardPhonetic=1\nLanguageDriver=1\n"
                           "DosFilter=1\nSystemFonts=1\nDunorU=1\nArvelU=1\n"
                           "[Questions]\n57=1\n";

TEST_F(Install, EverythingChosenOverAnEarlierVersion) {
    MakeEarlierVersion();
    SetupOutcome outcome = Run(kAllOptions);
    EXPECT_EQ(outcome.result, Ok) << transcript_.str();
    EXPECT_TRUE(outcome.restart);

    // Files: the seven always copied, the optional ones, the fonts under
    // the first free extension; bv_opt.ext has a condition nobody grants.
    EXPECT_EQ(CountCopied(kAlways, 7), 7);
    const char* const optional[][2] = {
        {"DISK1/KBD/kbdbph.kbd", "C:\\WINDOWS\\SYSTEM\\kbdbph.kbd"},
        {"DISK1/KBD/kbdbul.kbd", "C:\\WINDOWS\\SYSTEM\\kbdbul.kbd"},
        {"DISK1/Filters/cp_1251.nl_", "C:\\WINDOWS\\SYSTEM\\cp_1251.nls"},
        {"DISK1/Filters/lngbriv2.dl_", "C:\\WINDOWS\\SYSTEM\\lngbriv2.dll"},
        {"DISK1/Filters/cp_856.nl_", "C:\\WINDOWS\\SYSTEM\\cp_856.nls"},
        {"DISK1/Filters/xlat856.bi_", "C:\\WINDOWS\\SYSTEM\\xlat856.bin"},
        {"DISK1/Filters/856.da_", "C:\\WINDOWS\\SYSTEM\\856.dat"},
        {"DISK1/Filters/856.da_", "C:\\WINDOWS\\SYSTEM\\charset.dat"},
        {"DISK3/dnru.ttf", "C:\\WINDOWS\\FONTS\\dnru.ttf"},
        {"DISK3/dnrub.ttf", "C:\\WINDOWS\\FONTS\\dnrub.ttf"},
        {"DISK3/dnrubi.ttf", "C:\\WINDOWS\\FONTS\\dnrubi.ttf"},
        {"DISK3/dnrui.ttf", "C:\\WINDOWS\\FONTS\\dnrui.ttf"},
        {"DISK3/arvu.ttf", "C:\\WINDOWS\\FONTS\\arvu.ttf"},
        {"DISK3/arvub.ttf", "C:\\WINDOWS\\FONTS\\arvub.ttf"},
        {"DISK3/arvubi.ttf", "C:\\WINDOWS\\FONTS\\arvubi.ttf"},
        {"DISK3/arvui.ttf", "C:\\WINDOWS\\FONTS\\arvui.ttf"}};
    EXPECT_EQ(CountCopied(optional, 16), 16);
    int fonts = 0;
    for (const auto& font : kFonts)
        fonts += Scratch::ReadFile(std::string("C:\\WINDOWS\\FONTS\\") + font[1] + ".001") ==
                 HostFile(std::string("DISK2/Fonts/") + font[0] + ".fo_");
    EXPECT_EQ(fonts, 15); // 7 + 16 + 15 = 38 files
    EXPECT_FALSE(Scratch::Exists("C:\\VELMOR\\BRIVANTA\\bv_opt.ext"));
    EXPECT_FALSE(Scratch::Exists("C:\\VELSHARE\\bvpanel.exe"));

    // Registry: the product's key, layouts 1..3 and the next one deleted,
    // the uninstall entry, and the keys of the earlier versions gone.
    EXPECT_EQ(Reg(std::string(kProductKey) + "Program dir"), kDest);
    EXPECT_EQ(Reg(std::string(kProductKey) + "Source dir"), "D:\\DISK1\\");
    EXPECT_EQ(Reg(std::string(kActive) + "1\\layout"), "00000409");
    EXPECT_EQ(Reg(std::string(kActive) + "2\\layout"), "00020402");
    EXPECT_EQ(Reg(std::string(kActive) + "3\\layout"), "00000402");
    EXPECT_FALSE(KeyExists(std::string(kActive) + "4\\"));
    EXPECT_EQ(Reg(std::string(kUninstall) + "Brivanta 3.2\\DisplayName"), "Brivanta 3.2");
    EXPECT_EQ(Reg(std::string(kUninstall) + "Brivanta 3.2\\UninstallString"),
              "C:\\VELMOR\\BRIVANTA\\UNINSTAL.EXE");
    for (const char* old :
         {"HCU\\Software\\Velmor\\Brivanta\\3.0\\", "HCU\\Software\\Velmor\\Brivanta\\3.1\\"})
        EXPECT_FALSE(KeyExists(old)) << old;
    EXPECT_FALSE(KeyExists(std::string(kUninstall) + "Brivanta 3.0\\"));
    EXPECT_FALSE(KeyExists(std::string(kUninstall) + "Brivanta 3.1\\"));
    EXPECT_EQ(Reg("HLM\\System\\CurrentControlSet\\Control\\Nls\\Codepage\\ACP"), "1251");

    // INI files: the language driver, the DOS filter, the fonts, and the
    // substitutes without the two lines that are never written.
    EXPECT_EQ(Ini("SYSTEM.INI", "boot", "language.dll"), "lngbriv2.dll");
    EXPECT_EQ(Ini("SYSTEM.INI", "keyboard", "oemansi.bin"), "xlat856.bin");
    EXPECT_EQ(Ini("SYSTEM.INI", "boot", "oemfonts.fon"), "vgaoem.fon");
    EXPECT_EQ(Ini("SYSTEM.INI", "386Enh", "woafont"), "dosapp.fon");
    EXPECT_EQ(Ini("WIN.INI", "FontSubstitutes", "DunorU Cyr,204"), "DunorU,204");
    EXPECT_EQ(Ini("WIN.INI", "FontSubstitutes", "ArvelU Baltic,186"), "ArvelU,186");
    EXPECT_EQ(Ini("WIN.INI", "FontSubstitutes", "DunorU Tur,162"), "<missing>");
    EXPECT_EQ(Ini("WIN.INI", "FontSubstitutes", "DunorU Baltic,186"), "<missing>");
    EXPECT_EQ(Ini("WININIT.INI", "rename", "C:\\WINDOWS\\FONTS\\vgasys.fon"),
              "C:\\WINDOWS\\FONTS\\vgasys.001");

    // Program groups: the new item in both, the old ones gone, others kept.
    const std::string item = "Brivanta 3.2=C:\\VELMOR\\BRIVANTA\\brivanta.exe";
    EXPECT_EQ(Items("Velmor Applications"),
              (std::vector<std::string>{"Other Tool=C:\\BV\\OLD.EXE", item}));
    EXPECT_EQ(Items("StartUp"), std::vector<std::string>{item});

    ASSERT_EQ(hostwin::ShellStarts().size(), 1u);
    EXPECT_EQ(hostwin::ShellStarts()[0].file, "C:\\VELMOR\\BRIVANTA\\brivanta.exe");
    EXPECT_EQ(hostwin::ShellStarts()[0].parameters, "1");

    // The restart puts the new fonts in place and takes the old ones out.
    ASSERT_TRUE(hostwin::RestartRequested());
    hostwin::RestartMachine();
    for (const auto& font : kFonts) {
        EXPECT_EQ(Scratch::ReadFile(std::string("C:\\WINDOWS\\FONTS\\") + font[1] + ".fon"),
                  HostFile(std::string("DISK2/Fonts/") + font[0] + ".fo_"))
            << font[1];
        EXPECT_FALSE(Scratch::Exists(std::string("C:\\WINDOWS\\FONTS\\") + font[1] + ".001"));
    }
    EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\SYSTEM\\fixb01.fon"));
    EXPECT_TRUE(Scratch::Exists("C:\\WINDOWS\\WININIT.BAK"));
}

TEST_F(Install, NoOptionalPartsAndNoRestart) {
    SetupOutcome outcome = Run("[Destination]\nDirectory=C:\\VELMOR\\BRIVANTA\n"
                               "[Options]\nKeyboardBds=0\nKeyboardPhonetic=0\nLanguageDriver=0\n"
                               "DosFilter=0\nSystemFonts=0\nDunorU=0\nArvelU=0\n"
                               "[Questions]\n57=2\n");
    EXPECT_EQ(outcome.result, Ok) << transcript_.str();
    EXPECT_FALSE(outcome.restart);
    EXPECT_NE(transcript_.str().find("Installation was successful!"), std::string::npos);
    EXPECT_EQ(CountCopied(kAlways, 7), 7);
    for (const char* absent : {"C:\\WINDOWS\\SYSTEM\\kbdbul.kbd",
                               "C:\\WINDOWS\\SYSTEM\\cp_1251.nls", "C:\\WINDOWS\\FONTS\\vgasys.001",
                               "C:\\WINDOWS\\FONTS\\dnru.ttf", "C:\\WINDOWS\\WININIT.INI"})
        EXPECT_FALSE(Scratch::Exists(absent)) << absent;
    EXPECT_EQ(Reg(std::string(kActive) + "1\\layout"), "00000409");
    EXPECT_FALSE(KeyExists(std::string(kActive) + "2\\"));
    EXPECT_NE(Ini("SYSTEM.INI", "boot", "language.dll"), "lngbriv2.dll");
    EXPECT_EQ(Ini("WIN.INI", "FontSubstitutes", "DunorU Cyr,204"), "<missing>");
    EXPECT_EQ(Items("StartUp").size(), 1u);
    EXPECT_FALSE(hostwin::RestartRequested());
}

TEST_F(Install, UsAndBdsLayoutsOnly) {
    SetupOutcome outcome = Run("[Options]\nKeyboardBds=1\nKeyboardPhonetic=0\nLanguageDriver=0\n"
                               "DosFilter=0\nSystemFonts=0\nDunorU=0\nArvelU=0\n"
                               "[Questions]\n57=2\n");
    EXPECT_EQ(outcome.result, Ok) << transcript_.str();
    // The proposal on a machine without an earlier version.
    EXPECT_EQ(Reg(std::string(kProductKey) + "Program dir"), "C:\\WINDOWS\\VELMOR\\");
    EXPECT_TRUE(Scratch::Exists("C:\\WINDOWS\\SYSTEM\\kbdbul.kbd"));
    EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\SYSTEM\\kbdbph.kbd"));
    EXPECT_EQ(Reg(std::string(kActive) + "1\\layout"), "00000409");
    EXPECT_EQ(Reg(std::string(kActive) + "2\\layout"), "00000402");
    EXPECT_FALSE(KeyExists(std::string(kActive) + "3\\"));
}

// Cancelled at each dialog (the abort confirmed): nothing of the
// installation's own is written, nothing started, no group touched.
TEST_F(Install, CancelAtEachDialogChangesNothingAfterIt) {
    const char* const cancels[] = {"[Welcome]\nResult=2\n", "[Destination]\nResult=2\n",
                                   "[Options]\nResult=2\n", "[Progress]\nCancelAt=40\n"};
    for (const char* cancel : cancels) {
        SCOPED_TRACE(cancel);
        Scratch machine;
        std::string error;
        ASSERT_TRUE(MountSourceDrive(BRIVANTA_SAMPLE_DISKS, &error)) << error;
        transcript_.str("");
        SetupOutcome outcome = Run(std::string(cancel) + "[Questions]\n3=1\n");
        EXPECT_EQ(outcome.result, Ok) << transcript_.str();
        EXPECT_FALSE(outcome.restart);
        EXPECT_FALSE(KeyExists(kProductKey));
        EXPECT_FALSE(KeyExists(std::string(kUninstall) + "Brivanta 3.2\\"));
        EXPECT_TRUE(hostwin::ProgmanCommands().empty());
        EXPECT_TRUE(hostwin::ShellStarts().empty());
        EXPECT_EQ(transcript_.str().find("Installation was successful!"), std::string::npos);
    }
}

// A destination with a blank: the item's command line is quoted so that
// Program Manager reads it whole.
TEST_F(Install, DestinationWithABlankGetsAQuotedCommandLine) {
    Run("[Destination]\nDirectory=C:\\MY APPS\\BRIVANTA\n[Questions]\n57=2\n");
    EXPECT_TRUE(Scratch::Exists("C:\\MY APPS\\BRIVANTA\\brivanta.exe"));
    bool quoted = false;
    for (const hostwin::ProgmanCommand& command : hostwin::ProgmanCommands())
        quoted = quoted || command.text == "[AddItem(\"C:\\MY APPS\\BRIVANTA\\brivanta.exe\","
                                           "Brivanta 3.2)]";
    EXPECT_TRUE(quoted);
    EXPECT_EQ(Items("StartUp"),
              std::vector<std::string>{"Brivanta 3.2=C:\\MY APPS\\BRIVANTA\\brivanta.exe"});
}

TEST_F(Install, ProgramManagerNotAnsweringShowsBothMessagesAndFinishes) {
    hostwin::SetProgmanAnswering(false);
    SetupOutcome outcome = Run("[Questions]\n57=2\n");
    EXPECT_EQ(outcome.result, Ok);
    std::string text = transcript_.str();
    size_t group = text.find("Brivanta can't be added to the program group:Velmor Applications!");
    size_t startUp = text.find("Brivanta can't be added to the StartUp group!");
    ASSERT_NE(group, std::string::npos) << text;
    ASSERT_NE(startUp, std::string::npos) << text;
    EXPECT_LT(group, startUp);
    EXPECT_NE(text.find("Installation was successful!"), std::string::npos);
    EXPECT_EQ(hostwin::ShellStarts().size(), 1u);
}

// Neither question names a default button: the first one is taken, so an
// unattended run switches the indicator off and restarts.
TEST_F(Install, UnansweredQuestionsTakeTheirFirstButton) {
    HWND indicator = hostwin::AddWindow("Indicator"); // running, not registered
    SetupOutcome outcome = Run("");
    EXPECT_EQ(outcome.result, Ok) << transcript_.str();
    EXPECT_TRUE(outcome.restart);
    EXPECT_FALSE(IsWindow(indicator)) << transcript_.str();
}

TEST_F(Install, WindowsNtIsRefusedBeforeAnything) {
    hostwin::SetWindowsNT(true);
    SetupOutcome outcome = Run("");
    EXPECT_EQ(outcome.result, Ok); // the abort finishes silently
    EXPECT_NE(transcript_.str().find("requires Windows 95..98!"), std::string::npos);
    EXPECT_EQ(transcript_.str().find("Welcome"), std::string::npos);
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\VELMOR\\brivanta.exe"));
}

} // namespace
