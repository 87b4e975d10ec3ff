// The keyboard step: an earlier driver and panel loader taken out of the
// INI files, and the layout indicator switched off on request.
#include "product/product_machine.h"

#include "keyboard.h"
#include "language.h"
#include "messages.h"
#include "support/scripted_front_end.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

typedef ScriptedFrontEnd::Reply Reply;

const char kQuestion[] = "A windows application which manipulates keyboard layouts is found.\n"
                         "Do you want to disable it? \n(it will be restored after the "
                         "uninstallation of Brivanta)";

// The lines of a file without their line ends, blank ones left out.
std::vector<std::string> Lines(const std::string& path) {
    std::istringstream in(Scratch::ReadFile(path));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            out.push_back(line);
    }
    return out;
}

struct Keyboard : ::testing::Test {
    ProductMachine m;
    ScriptedFrontEnd ui;
    std::string systemIni = WindowsDir() + "SYSTEM.INI";
    std::string program = SystemDir() + "internat.exe";
    std::string disabled = SystemDir() + "internat.ex$";

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&ui);
        m.Guard(program);
        m.Guard(disabled);
        m.RemoveFile(program);
        m.RemoveFile(disabled);
        m.RemoveValue(kTestRunKey, "internat.exe");
        m.PutFile(systemIni, "[boot]\r\nshell=Explorer.exe\r\nkeyboard.drv=keyboard.drv\r\n"
                             "[keyboard]\r\nkeyboard.drv=KBDBRIV2.DRV\r\n");
        m.PutWinIniValue("windows", "load", "");
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    size_t Questions() const {
        size_t n = 0;
        for (const std::string& line : ui.log)
            n += line.find(kQuestion) != std::string::npos;
        return n;
    }
};

TEST_F(Keyboard, TheEarlierDriverIsStarredInBootOnlyAndTheWholeLoadLineEmptied) {
    m.PutFile(systemIni, "[boot]\r\nshell=Explorer.exe\r\nkeyboard.drv=KBDBRIV2.DRV\r\n"
                         "[keyboard]\r\nkeyboard.drv=KBDBRIV2.DRV\r\n");
    m.PutWinIniValue("windows", "load", "go_bvpan.exe");
    EXPECT_TRUE(EarlierKeyboardSetupPresent());
    SetUpKeyboard(nullptr);
    EXPECT_EQ(Lines(systemIni), (std::vector<std::string>{
                                    "[boot]", "shell=Explorer.exe", "*keyboard.drv=KBDBRIV2.DRV",
                                    "[keyboard]", "keyboard.drv=KBDBRIV2.DRV"}));
    char value[32] = "x";
    GetProfileStringA("windows", "load", "missing", value, sizeof value);
    EXPECT_STREQ(value, "") << "the key stays, empty";
    EXPECT_EQ(Questions(), 0u);
    EXPECT_FALSE(EarlierKeyboardSetupPresent());
}

TEST_F(Keyboard, ALoadLineNamingOtherProgramsTooIsLeftAlone) {
    m.PutWinIniValue("windows", "load", "go_bvpan.exe other.exe");
    EXPECT_FALSE(EarlierKeyboardSetupPresent());
    EXPECT_EQ(RemoveEarlierKeyboardSetup(), 1);
    char value[64];
    GetProfileStringA("windows", "load", "", value, sizeof value);
    EXPECT_STREQ(value, "go_bvpan.exe other.exe");

    // Only the load line matches: the SYSTEM.INI driver stays as it is.
    m.PutWinIniValue("windows", "load", "GO_BVPAN.EXE");
    std::vector<std::string> before = Lines(systemIni);
    EXPECT_TRUE(EarlierKeyboardSetupPresent());
    SetUpKeyboard(nullptr);
    EXPECT_EQ(Lines(systemIni), before);
    GetProfileStringA("windows", "load", "missing", value, sizeof value);
    EXPECT_STREQ(value, "");
}

TEST_F(Keyboard, ARegisteredIndicatorWithoutItsFileIsNotAskedAbout) {
    m.PutValue(kTestRunKey, "internat.exe", "internat.exe");
    OtherWindow indicator("Indicator");
    EXPECT_FALSE(LayoutIndicatorPresent()) << "even with its window running";
    SetUpKeyboard(nullptr);
    EXPECT_EQ(Questions(), 0u);
    EXPECT_TRUE(indicator.Exists());
    EXPECT_TRUE(indicator.Messages().empty());
    EXPECT_EQ(ProductMachine::Value(kTestRunKey, "internat.exe"), "internat.exe");
}

TEST_F(Keyboard, ARunningIndicatorIsClosedAndItsFileRenamedOnYes) {
    m.PutFile(program, "indicator program");
    OtherWindow indicator("Indicator");
    ui.replies = {Reply{1}};
    SetUpKeyboard(nullptr);
    EXPECT_EQ(Questions(), 1u);
    EXPECT_FALSE(indicator.Exists());
    auto got = indicator.Messages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, UINT(WM_CLOSE));
    EXPECT_FALSE(Scratch::Exists(program));
    EXPECT_EQ(Scratch::ReadFile(disabled), "indicator program");
    bool found = true;
    ProductMachine::Value(kTestRunKey, "internat.exe", &found);
    EXPECT_FALSE(found);
}

TEST_F(Keyboard, TheSecondButtonChangesNothing) {
    m.PutFile(program, "indicator program");
    m.PutValue(kTestRunKey, "internat.exe", "internat.exe");
    OtherWindow indicator("Indicator");
    ui.replies = {Reply{2}};
    SetUpKeyboard(nullptr);
    EXPECT_EQ(Questions(), 1u);
    EXPECT_TRUE(indicator.Exists());
    EXPECT_TRUE(indicator.Messages().empty());
    EXPECT_TRUE(Scratch::Exists(program));
    EXPECT_FALSE(Scratch::Exists(disabled));
    EXPECT_EQ(ProductMachine::Value(kTestRunKey, "internat.exe"), "internat.exe");
}

TEST_F(Keyboard, WhenTheDisabledNameIsTakenTheRenameFailsButTheRunValueGoes) {
    m.PutFile(program, "indicator program");
    m.PutFile(disabled, "an earlier copy");
    m.PutValue(kTestRunKey, "internat.exe", "C:\\WINDOWS\\SYSTEM\\internat.exe");
    EXPECT_TRUE(LayoutIndicatorPresent()) << "registered and there, with no window";
    EXPECT_FALSE(DisableLayoutIndicator());
    EXPECT_EQ(Scratch::ReadFile(program), "indicator program");
    EXPECT_EQ(Scratch::ReadFile(disabled), "an earlier copy");
    bool found = true;
    ProductMachine::Value(kTestRunKey, "internat.exe", &found);
    EXPECT_FALSE(found);
    // Nothing left to switch off: the result is 1.
    m.RemoveFile(program);
    EXPECT_TRUE(DisableLayoutIndicator());
}

} // namespace
