// The host's answers to the version, shell-start and window-text calls, set
// against the system's own: the same tests run under Wine in Windows 98 mode.
#include "support/differences.h"
#include "support/scratch.h"

#include "platform/win32.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace {

TEST(SystemCalls, VersionIsWindows98OrOnRequestNtAndNeedsTheStructureSize) {
    Scratch scratch;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);

#if HOST_ONLY("Windows NT on request: a Wine prefix's version is set before it starts")
    // Until the machine is mounted again.
    hostwin::SetWindowsNT(true);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    std::string folder = hostwin::MachineFolder();
    hostwin::UnmountMachine();
    ASSERT_TRUE(hostwin::MountMachine(folder));
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_WINDOWS));
#endif
}

TEST(SystemCalls, StartingAMissingProgramAndNamingNoWindowFail) {
    Scratch scratch;
    std::string missing = scratch.Path("MISSING.EXE");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(
                  ShellExecuteA(nullptr, "open", missing.c_str(), "1", "", SW_SHOWNORMAL)),
              uintptr_t(SE_ERR_FNF));
    SetLastError(0);
    EXPECT_FALSE(SetWindowTextA(nullptr, "Brivanta 98 Setup"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(BringWindowToTop(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

} // namespace
