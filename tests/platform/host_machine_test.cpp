// The emulated machine itself: how it is made and how faults are switched.
#include "support/scratch.h"

#include "host_fs.h"
#include "platform/host_testing.h"
#include "platform/win32.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/wait.h>

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

// One installation per machine. While this process holds a machine, the
// program refuses it at once, with or without --plan, and changes nothing
// on it; a machine not yet made is held by its path; another one is free.
TEST(HostMachine, ASecondRunOnAHeldMachineEndsAtOnceAndChangesNothing) {
    namespace fs = std::filesystem;
    Scratch s;
    const std::string folder = hostwin::MachineFolder(), unmade = folder + "-unmade";
    std::string error;
    ASSERT_EQ(hostwin::LockMachine(folder, &error), hostwin::MachineLock::Held) << error;
    ASSERT_EQ(hostwin::LockMachine(unmade, &error), hostwin::MachineLock::Held) << error;
    auto files = [&] {
        std::map<std::string, std::string> all;
        for (const auto& e : fs::recursive_directory_iterator(folder)) {
            std::ostringstream text;
            text << std::ifstream(e.path(), std::ios::binary).rdbuf();
            all[e.path().string()] = e.is_regular_file() ? text.str() : "";
        }
        return all;
    };
    const auto before = files();
    auto run = [](const std::string& arguments, std::string* output) {
        FILE* p = popen(
            (std::string(BRIVANTA_SETUP) + " " + arguments + " 2>&1 </dev/null").c_str(), "r");
        char chunk[256];
        while (p && fgets(chunk, sizeof chunk, p))
            *output += chunk;
        int status = p ? pclose(p) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string parent = fs::path(folder).parent_path().string();
    for (const std::string& arguments :
         {"--machine " + folder, "--plan --machine " + folder,
          "--machine " + parent + "/./" + fs::path(folder).filename().string(),
          "--answers /dev/null --machine " + unmade}) {
        std::string output;
        EXPECT_EQ(run(arguments, &output), 17) << arguments << "\n" << output;
        EXPECT_NE(output.find("brivanta-setup: another installation is running on the machine "),
                  std::string::npos)
            << output;
    }
    EXPECT_EQ(files(), before);
    EXPECT_FALSE(fs::exists(unmade));
    std::string output;
    EXPECT_EQ(run("--plan --machine " + folder + "-other", &output), 0) << output;
    fs::remove_all(folder + "-other");
}

// A machine held in memory answers the file calls as a machine in a folder
// does, failures and their codes included.
TEST(HostMachine, AMachineInMemoryAnswersAsOneInAFolder) {
    auto transcript = [] {
        std::ostringstream out;
        SetLastError(0);
        auto note = [&](const char* what, bool ok) {
            out << what << " " << ok << " " << GetLastError() << "\n";
        };
        note("mkdir", CreateDirectoryA("C:\\A", nullptr));
        note("mkdir again", CreateDirectoryA("C:\\a", nullptr));
        note("mkdir deep", CreateDirectoryA("C:\\X\\Y", nullptr));
        note("write", Scratch::WriteFile("C:\\A\\One.txt", "one"));
        note("write in none", Scratch::WriteFile("C:\\X\\f.txt", "x"));
        note("copy", CopyFileA("c:\\a\\ONE.TXT", "C:\\A\\two.txt", TRUE));
        note("copy over", CopyFileA("C:\\A\\one.txt", "C:\\A\\two.txt", TRUE));
        note("read-only", SetFileAttributesA("C:\\A\\two.txt", FILE_ATTRIBUTE_READONLY));
        note("delete read-only", DeleteFileA("C:\\A\\two.txt"));
        note("move onto", MoveFileA("C:\\A\\one.txt", "C:\\A\\TWO.TXT"));
        note("move", MoveFileA("C:\\A\\one.txt", "C:\\A\\three.txt"));
        note("move folder", MoveFileA("C:\\A", "C:\\B"));
        note("rmdir full", RemoveDirectoryA("C:\\B"));
        note("delete missing", DeleteFileA("C:\\B\\none"));
        out << Scratch::ReadFile("C:\\B\\THREE.TXT") << " " << GetFileAttributesA("C:\\B\\two.txt")
            << "\n";
        WIN32_FIND_DATAA d;
        HANDLE find = FindFirstFileA("C:\\B\\*.*", &d);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &d))
            out << d.cFileName << " " << d.nFileSizeLow << "\n";
        FindClose(find);
        std::string win = Scratch::ReadFile("C:\\WINDOWS\\WIN.INI");
        note("profile", WriteProfileStringA("windows", "load", "x.exe"));
        out << (Scratch::ReadFile("C:\\WINDOWS\\WIN.INI") != win) << "\n";
        return out.str();
    };
    std::string inFolder;
    {
        Scratch s;
        inFolder = transcript();
    }
    ASSERT_TRUE(hostwin::MountMachineInMemory());
    EXPECT_EQ(transcript(), inFolder);
    hostwin::UnmountMachine();
    ASSERT_TRUE(hostwin::MountMachineInMemory()); // a fresh one each time
    EXPECT_EQ(GetFileAttributesA("C:\\B"), INVALID_FILE_ATTRIBUTES);
    hostwin::UnmountMachine();
}

// The files in memory start a walk where the last one ended: a folder
// taken out or moved away is not found there again.
TEST(HostMachine, FilesInMemoryForgetAFolderTakenOut) {
    namespace fs = hostwin::hostfs;
    const std::string top = fs::kMemoryFolder, a = top + "/a";
    struct stat st;
    fs::ClearMemory();
    ASSERT_EQ(fs::Mkdir(top), 0);
    ASSERT_EQ(fs::Mkdir(a), 0);
    ASSERT_EQ(fs::Mkdir(a + "/b"), 0);
    ASSERT_EQ(fs::Stat(a + "/b", &st), 0);
    ASSERT_EQ(fs::Rmdir(a + "/b"), 0);
    EXPECT_NE(fs::Stat(a + "/b", &st), 0);
    ASSERT_EQ(fs::Mkdir(a + "/b"), 0);
    ASSERT_TRUE(fs::WriteWhole(a + "/b/f", "x"));
    ASSERT_EQ(fs::Stat(a + "/b/f", &st), 0);
    ASSERT_EQ(fs::Rename(a, top + "/c"), 0);
    EXPECT_NE(fs::Stat(a + "/b/f", &st), 0);
    EXPECT_EQ(fs::Stat(top + "/c/b/f", &st), 0);
    fs::ClearMemory();
}

} // namespace
