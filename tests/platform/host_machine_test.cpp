// The emulated machine itself: how it is made and how faults are switched.
#include "support/scratch.h"

#include "platform/host.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(HostMachine, AFreshMachineHasTheWindowsFoldersAndIniFiles) {
    Scratch s;
    for (const char* dir :
         {"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\FONTS", "C:\\WINDOWS\\TEMP", "A:\\"})
        EXPECT_TRUE(GetFileAttributesA(dir) & FILE_ATTRIBUTE_DIRECTORY) << dir;
    std::string win = Scratch::ReadFile("c:\\windows\\win.ini");
    EXPECT_NE(win.find("[windows]\r\n"), std::string::npos);
    EXPECT_NE(win.find("[FontSubstitutes]\r\n"), std::string::npos);
    std::string sys = Scratch::ReadFile("C:\\WINDOWS\\SYSTEM.INI");
    EXPECT_NE(sys.find("[boot]\r\n"), std::string::npos);
    EXPECT_NE(sys.find("[386Enh]\r\n"), std::string::npos);
    EXPECT_TRUE(Scratch::Exists("C:\\WINDOWS\\FONTS\\VGASYS.FON"));
    // A machine that exists is mounted as it is, not made again.
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\WIN.INI", "changed"));
    std::string folder = hostwin::MachineFolder();
    hostwin::UnmountMachine();
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(hostwin::MountMachine(folder));
    EXPECT_EQ(Scratch::ReadFile("C:\\WINDOWS\\WIN.INI"), "changed");
}

TEST(HostMachine, DosPathsMapOntoTheDriveFolders) {
    Scratch s;
    std::string root = hostwin::MachineFolder();
    EXPECT_EQ(hostwin::HostPath("c:\\windows\\system.ini"), root + "/drive_c/WINDOWS/SYSTEM.INI");
    EXPECT_EQ(hostwin::HostPath("C:\\Windows\\.\\Fonts\\..\\New"), root + "/drive_c/WINDOWS/New");
    EXPECT_EQ(hostwin::HostPath("C:/WINDOWS/win.ini"), root + "/drive_c/WINDOWS/WIN.INI");
    EXPECT_EQ(hostwin::HostPath("A:\\"), root + "/drive_a");
    EXPECT_EQ(hostwin::HostPath("Q:\\x"), "");
    EXPECT_EQ(hostwin::HostPath("C:\\a|b"), "");
    EXPECT_EQ(hostwin::HostPath(("C:\\" + std::string(300, 'x')).c_str()), "");
    EXPECT_EQ(hostwin::HostPath("\\\\server\\share"), "");
}

TEST(HostMachine, FaultsHitTheChosenCallOnly) {
    Scratch s;
    ASSERT_TRUE(Scratch::WriteFile(s.Path("f.txt"), "x"));
    hostwin::FaultRule rule;
    rule.op = hostwin::FaultOp::Delete;
    rule.nth = 2;
    rule.pathContains = "f.txt";
    hostwin::AddFault(rule);
    ASSERT_TRUE(Scratch::WriteFile(s.Path("g.txt"), "x"));
    EXPECT_TRUE(DeleteFileA(s.Path("g.txt").c_str())); // another path: not counted
    EXPECT_TRUE(DeleteFileA(s.Path("F.TXT").c_str())); // the first match goes through
    ASSERT_TRUE(Scratch::WriteFile(s.Path("f.txt"), "x"));
    EXPECT_FALSE(DeleteFileA(s.Path("f.txt").c_str())); // the second fails
    EXPECT_TRUE(Scratch::Exists(s.Path("f.txt")));
    ASSERT_EQ(hostwin::TriggeredFaults().size(), 1u);
    EXPECT_EQ(hostwin::TriggeredFaults()[0], "delete " + s.Path("f.txt"));
    EXPECT_TRUE(DeleteFileA(s.Path("f.txt").c_str()));
    EXPECT_GE(hostwin::FallibleCallCount(), 6u);
}

} // namespace
