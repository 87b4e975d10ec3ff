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

// A fault on an open file names the file it was opened as, so that a rule
// can aim at the writes of one file; the log lists every call in order.
TEST(HostMachine, FaultsOnOpenFilesNameTheFileAndCallsAreLogged) {
    Scratch s;
    ASSERT_TRUE(Scratch::WriteFile(s.Path("a.txt"), "x"));
    hostwin::ClearFaults();
    hostwin::LogFallibleCalls(true);
    hostwin::AddFault({hostwin::FaultOp::Write, 1, "b.txt", hostwin::FaultKind::Fail});
    HFILE a = _lopen(s.Path("a.txt").c_str(), OF_READWRITE);
    HFILE b = _lcreat(s.Path("b.txt").c_str(), 0);
    ASSERT_NE(a, HFILE_ERROR);
    ASSERT_NE(b, HFILE_ERROR);
    EXPECT_EQ(_lwrite(a, "y", 1), 1u); // another file: not counted by the rule
    EXPECT_EQ(_lwrite(b, "y", 1), UINT(HFILE_ERROR));
    char c;
    EXPECT_EQ(_lread(a, &c, 1), 0u);
    _lclose(a);
    _lclose(b);
    hostwin::LogFallibleCalls(false);
    EXPECT_EQ(hostwin::TriggeredFaults(), std::vector<std::string>{"write " + s.Path("b.txt")});
    const std::string pa = s.Path("a.txt"), pb = s.Path("b.txt");
    EXPECT_EQ(hostwin::FallibleCalls(),
              (std::vector<std::string>{"open " + pa, "create " + pb, "write " + pa, "write " + pb,
                                        "read " + pa, "close " + pa, "close " + pb}));
    EXPECT_EQ(hostwin::FallibleCalls().size(), hostwin::FallibleCallCount());
    _lclose(_lopen(pa.c_str(), OF_READ)); // not logged once switched off
    EXPECT_EQ(hostwin::FallibleCalls().size(), 7u);
    hostwin::ClearFaults();
    EXPECT_TRUE(hostwin::FallibleCalls().empty());
}

} // namespace
