// The host stand-in's windows of other programs and keyboard layouts.
#include "support/scratch.h"

#include "platform/host_testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(HostWindows, WindowsAreFoundByClassAndTitleInAnyCaseNewestFirst) {
    Scratch s;
    EXPECT_EQ(FindWindowA("Indicator", nullptr), nullptr);
    HWND a = hostwin::AddWindow("Indicator", "First");
    HWND b = hostwin::AddWindow("Indicator", "Second");
    HWND c = hostwin::AddWindow("Other", "First");
    EXPECT_EQ(FindWindowA("INDICATOR", nullptr), b);
    EXPECT_EQ(FindWindowA("indicator", "first"), a);
    EXPECT_EQ(FindWindowA(nullptr, "First"), c);
    EXPECT_EQ(FindWindowA("Indicator", "Third"), nullptr);
    EXPECT_EQ(hostwin::FindWindowCount(), 5u);
}

TEST(HostWindows, MessagesAreRecordedAndWmCloseRemovesAWindowThatCloses) {
    Scratch s;
    HWND a = hostwin::AddWindow("A");
    HWND stays = hostwin::AddWindow("B", "", true);
    EXPECT_EQ(SendMessageA(a, WM_USER + 1, 101, 7), 0);
    EXPECT_TRUE(PostMessageA(a, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(PostMessageA(a, WM_USER, 0, 0)) << "gone";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    SendMessageA(stays, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(stays));
    const auto& got = hostwin::WindowMessages();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].className, "A");
    EXPECT_EQ(got[0].message, unsigned(WM_USER + 1));
    EXPECT_EQ(got[0].wParam, 101u);
    EXPECT_EQ(got[0].lParam, 7);
    EXPECT_FALSE(got[0].posted);
    EXPECT_TRUE(got[1].posted);
    EXPECT_EQ(got[1].message, unsigned(WM_CLOSE));
    EXPECT_EQ(got[2].className, "B");
    EXPECT_EQ(FindWindowA("A", nullptr), nullptr);
}

TEST(HostWindows, LayoutsAreRecordedAndAMountStartsWithoutWindows) {
    {
        Scratch s;
        hostwin::AddWindow("Indicator");
        HKL before = ActivateKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0x409)), 0);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(before), 0x04090409u);
        ActivateKeyboardLayout(reinterpret_cast<HKL>(uintptr_t(0x402)), 0);
        EXPECT_EQ(hostwin::ActivatedKeyboardLayouts(), (std::vector<uintptr_t>{0x409, 0x402}));
    }
    Scratch fresh;
    EXPECT_EQ(FindWindowA("Indicator", nullptr), nullptr);
    EXPECT_TRUE(hostwin::ActivatedKeyboardLayouts().empty());
    EXPECT_TRUE(hostwin::WindowMessages().empty());
}

} // namespace
