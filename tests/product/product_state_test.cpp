// The product state and the earlier versions: the proposed destination,
// the notification of running main programs, the maker's shared folder.
#include "product/product_machine.h"

#include "product_state.h"

#include <gtest/gtest.h>
#include <cstring>

namespace {

TEST(ProductState, TheDestinationProposedIsTheStoredOneElseTheWindowsFolderWithVelmor) {
    ProductMachine m;
    m.RemoveKey(kTestProductKey);
    char output[MAX_PATH] = "left over";
    EXPECT_EQ(DefaultProgramDir(output, 0), 0);
    EXPECT_STREQ(output, "");
    EXPECT_EQ(DefaultProgramDir(output, 1), 1);
    EXPECT_EQ(output, WindowsDir() + "VELMOR") << "one backslash between them";

    m.PutValue(kTestProductKey, "Program dir", "d:\\Apps\\Brivanta\\");
    EXPECT_EQ(DefaultProgramDir(output, 0), 1);
    EXPECT_STREQ(output, "d:\\Apps\\Brivanta\\") << "as stored, case and all";
}

TEST(ProductState, RunningVersionsAreEachSentTheNotificationOnce) {
    ProductMachine m;
    EXPECT_EQ(FindRunningProduct(), nullptr);
    NotifyRunningVersions(); // nothing runs: nothing to reach, nothing fails

    OtherWindow old("Brivanta 3.0 Main Window", "Brivanta");
    OtherWindow current("Brivanta 3.2 Main Window", "Brivanta");
    OtherWindow other("Brivanta 3.3 Main Window", "Brivanta");
    ASSERT_TRUE(old.Exists() && current.Exists());
    EXPECT_EQ(FindRunningProduct(), current.Handle());
    NotifyRunningVersions();
    for (const OtherWindow* w : {&old, &current}) {
        auto got = w->Messages();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].message, UINT(WM_USER + 1));
        EXPECT_EQ(got[0].wParam, 101u);
        EXPECT_EQ(got[0].lParam, 0);
        EXPECT_TRUE(w->Exists()) << "nothing waits for them to go";
    }
    EXPECT_TRUE(other.Messages().empty()) << "not a version of this product";
}

TEST(ProductState, TheSharedFolderComesFromVelmorIniOnlyWhenTheFileIsThere) {
    ProductMachine m;
    m.RemoveFile(WindowsDir() + "VELMOR.INI");
    std::strcpy(SharedDir, "C:\\STALE");
    ReadSharedDir();
    EXPECT_STREQ(SharedDir, "");

    m.PutFile(WindowsDir() + "VELMOR.INI", "[Other]\r\nVelmorDir=C:\\WRONG\r\n[Global]\r\n"
                                           "VelmorDir=C:\\Velmor\\Shared\r\n");
    ReadSharedDir();
    EXPECT_STREQ(SharedDir, "C:\\Velmor\\Shared");

    m.PutFile(WindowsDir() + "VELMOR.INI", "[Global]\r\nOther=1\r\n");
    ReadSharedDir();
    EXPECT_STREQ(SharedDir, "") << "a file without the key gives no folder";
}

} // namespace
