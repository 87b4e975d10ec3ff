// The host machine's restart step (WININIT.INI as Windows 95/98 carries it
// out at start-up; what a NULL key does was seen under Wine's wineboot -r),
// and what it records of ShellExecuteA, ExitWindowsEx, the texts given to
// windows and the calls that raise them.
#include "support/scratch.h"

#include "platform/host_testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

const char kWinDir[] = "C:\\WINDOWS\\";

std::string Win(const std::string& name) {
    return kWinDir + name;
}

std::string Describe(const hostwin::RenameStep& s) {
    return (s.deleted ? "delete " : "move ") + s.source + (s.deleted ? "" : " -> " + s.target) +
           (s.done ? "" : " (not done)");
}

TEST(HostRestart, CarriesOutTheFirstRenameSectionInOrderThenKeepsItAsWininitBak) {
    Scratch scratch;
    const char* const files[] = {"SYSTEM\\old1.fon",  "SYSTEM\\old2.fon",  "SYSTEM\\gone.fon",
                                 "SYSTEM\\gone2.fon", "FONTS\\vgasys.001", "SYSTEM\\rel.src",
                                 "chain.a",           "second.src",        "other.src"};
    for (const char* f : files)
        ASSERT_TRUE(Scratch::WriteFile(Win(f), std::string("content of ") + f));
    ASSERT_TRUE(Scratch::WriteFile(Win("WININIT.BAK"), "an older one"));
    const std::string wininit =
        "[rename]\r\n"
        "NULL=C:\\WINDOWS\\SYSTEM\\old1.fon\r\n"
        "NULL=C:\\WINDOWS\\SYSTEM\\old2.fon\r\n"
        "nul=C:\\WINDOWS\\SYSTEM\\gone.fon\r\n"
        "  Nul  =  C:\\WINDOWS\\SYSTEM\\gone2.fon\r\n"
        "C:\\WINDOWS\\FONTS\\vgasys.fon=C:\\WINDOWS\\FONTS\\vgasys.001\r\n"
        "C:\\WINDOWS\\FONTS\\missing.fon=C:\\WINDOWS\\FONTS\\missing.001\r\n"
        "relname=C:\\WINDOWS\\SYSTEM\\rel.src\r\n"
        "C:\\WINDOWS\\chain.b=C:\\WINDOWS\\chain.a\r\n"
        "C:\\WINDOWS\\chain.c=C:\\WINDOWS\\chain.b\r\n"
        ";C:\\WINDOWS\\comment.dst=C:\\WINDOWS\\other.src\r\n"
        "[other]\r\n"
        "C:\\WINDOWS\\other.dst=C:\\WINDOWS\\other.src\r\n"
        "[rename]\r\n"
        "C:\\WINDOWS\\second.dst=C:\\WINDOWS\\second.src\r\n";
    ASSERT_TRUE(Scratch::WriteFile(Win("WININIT.INI"), wininit));
    ASSERT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    ASSERT_TRUE(hostwin::RestartRequested());

    std::vector<std::string> steps;
    for (const hostwin::RenameStep& s : hostwin::RestartMachine())
        steps.push_back(Describe(s));
    EXPECT_EQ(steps,
              (std::vector<std::string>{
                  "move C:\\WINDOWS\\SYSTEM\\old1.fon -> NULL",
                  "move C:\\WINDOWS\\SYSTEM\\old2.fon -> NULL",
                  "delete C:\\WINDOWS\\SYSTEM\\gone.fon", "delete C:\\WINDOWS\\SYSTEM\\gone2.fon",
                  "move C:\\WINDOWS\\FONTS\\vgasys.001 -> C:\\WINDOWS\\FONTS\\vgasys.fon",
                  "move C:\\WINDOWS\\FONTS\\missing.001 -> C:\\WINDOWS\\FONTS\\missing.fon "
                  "(not done)",
                  "move C:\\WINDOWS\\SYSTEM\\rel.src -> relname",
                  "move C:\\WINDOWS\\chain.a -> C:\\WINDOWS\\chain.b",
                  "move C:\\WINDOWS\\chain.b -> C:\\WINDOWS\\chain.c"}));
    EXPECT_FALSE(hostwin::RestartRequested());

    // NULL is no device: the file lands in the Windows directory, the last
    // one replacing the first.
    EXPECT_EQ(Scratch::ReadFile(Win("NULL")), "content of SYSTEM\\old2.fon");
    EXPECT_EQ(Scratch::ReadFile(Win("FONTS\\vgasys.fon")), "content of FONTS\\vgasys.001");
    EXPECT_EQ(Scratch::ReadFile(Win("relname")), "content of SYSTEM\\rel.src");
    EXPECT_EQ(Scratch::ReadFile(Win("chain.c")), "content of chain.a");
    const char* const gone[] = {"SYSTEM\\old1.fon",  "SYSTEM\\old2.fon",  "SYSTEM\\gone.fon",
                                "SYSTEM\\gone2.fon", "FONTS\\vgasys.001", "chain.a",
                                "chain.b",           "WININIT.INI",       "second.dst",
                                "other.dst",         "comment.dst"};
    for (const char* f : gone)
        EXPECT_FALSE(Scratch::Exists(Win(f))) << f;
    EXPECT_TRUE(Scratch::Exists(Win("second.src")));
    EXPECT_TRUE(Scratch::Exists(Win("other.src")));
    EXPECT_EQ(Scratch::ReadFile(Win("WININIT.BAK")), wininit);

    // A second restart has nothing to do and leaves WININIT.BAK alone.
    EXPECT_TRUE(hostwin::RestartMachine().empty());
    EXPECT_EQ(Scratch::ReadFile(Win("WININIT.BAK")), wininit);
}

TEST(HostRestart, LinesWrittenThroughTheProfileCallsAreGoneForThemAfterTheRestart) {
    Scratch scratch;
    ASSERT_TRUE(Scratch::WriteFile(Win("FONTS\\vgaoem.002"), "new font"));
    ASSERT_TRUE(WritePrivateProfileStringA("rename", "C:\\WINDOWS\\FONTS\\vgaoem.fon",
                                           "C:\\WINDOWS\\FONTS\\vgaoem.002", "wininit.ini"));
    ASSERT_EQ(hostwin::RestartMachine().size(), 1u);
    EXPECT_EQ(Scratch::ReadFile(Win("FONTS\\vgaoem.fon")), "new font");
    char value[64];
    GetPrivateProfileStringA("rename", "C:\\WINDOWS\\FONTS\\vgaoem.fon", "none", value,
                             sizeof value, "wininit.ini");
    EXPECT_STREQ(value, "none");
}

TEST(HostShell, StartsAndRestartsAreRecordedNotCarriedOut) {
    Scratch scratch;
    ASSERT_TRUE(Scratch::MakeDir("C:\\APP"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\APP\\BRIVANTA.EXE", "program"));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(
                  ShellExecuteA(nullptr, "open", "C:\\APP\\brivanta.exe", "1", "", SW_SHOWNORMAL)),
              33u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(
                  ShellExecuteA(nullptr, nullptr, "C:\\APP\\MISSING.EXE", nullptr, nullptr, 0)),
              uintptr_t(SE_ERR_FNF));
    ASSERT_TRUE(Scratch::WriteFile(Win("NOTEPAD.EXE"), "editor"));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(
                  ShellExecuteA(nullptr, "open", "notepad.exe", "x.txt", "C:\\APP", SW_SHOW)),
              33u);
    const std::vector<hostwin::ShellStart>& starts = hostwin::ShellStarts();
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].operation, "open");
    EXPECT_EQ(starts[0].file, "C:\\APP\\brivanta.exe");
    EXPECT_EQ(starts[0].parameters, "1");
    EXPECT_EQ(starts[0].show, SW_SHOWNORMAL);
    EXPECT_TRUE(starts[0].started);
    EXPECT_FALSE(starts[1].started);
    EXPECT_EQ(starts[2].directory, "C:\\APP");
    EXPECT_TRUE(starts[2].started);

    EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
    EXPECT_FALSE(hostwin::RestartRequested());
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
    EXPECT_TRUE(hostwin::RestartRequested());
    EXPECT_EQ(hostwin::ExitWindowsCalls(),
              (std::vector<unsigned>{EWX_LOGOFF, EWX_REBOOT | EWX_FORCE}));
}

TEST(HostShell, WindowTextAndRaisedWindowsAreKept) {
    Scratch scratch;
    HWND main = reinterpret_cast<HWND>(uintptr_t(0x100));
    EXPECT_FALSE(SetWindowTextA(nullptr, "x"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(BringWindowToTop(nullptr));
    EXPECT_TRUE(SetWindowTextA(main, "Brivanta 98 Setup"));
    EXPECT_TRUE(BringWindowToTop(main));
    EXPECT_EQ(hostwin::WindowText(main), "Brivanta 98 Setup");
    EXPECT_EQ(hostwin::WindowText(reinterpret_cast<HWND>(uintptr_t(0x200))), "");
    EXPECT_TRUE(SetForegroundWindow(main));
    const auto& raises = hostwin::RaiseCalls();
    ASSERT_EQ(raises.size(), 3u);
    EXPECT_EQ(raises[1].call, "BringWindowToTop");
    EXPECT_EQ(raises[1].window, main);
    EXPECT_EQ(raises[2].call, "SetForegroundWindow");
}

} // namespace
