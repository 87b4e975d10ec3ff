// The engine's default hooks through the shell's dialogs: progress, every
// branch of the copy-error hook, and the search for each source disk, with
// the platform made to fail where a test needs it.
#include "install_engine.h"
#include "language.h"
#include "prompts.h"
#include "setup_state.h"
#include "shell_ui.h"
#include "support/scratch.h"
#include "support/scripted_front_end.h"
#include "support/test_script.h"
#include "text.h"

#include "platform/host_testing.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef ScriptedFrontEnd::Reply Reply;

class TestEngine : public InstallEngine {
  public:
    explicit TestEngine(ScriptText* script) : InstallEngine(nullptr, script) {}
    std::string firstDisk, dest;
    ResultCode PathAdded(PathEntry* path) override {
        if (CompareNoCase(path->Name(), "~Disk 1") == 0)
            path->SetDirectory(firstDisk.c_str());
        else if (CompareNoCase(path->Name(), "DEST") == 0)
            path->SetDirectory(dest.c_str());
        return Ok;
    }
};

const std::string kScript = ScriptLines(
    {"Paths:~Disk 1=A:\\", ":~Disk 2=A:\\", ":DEST=C:\\X\\", "Files:|~Disk 1|a.txt,|DEST|a.txt",
     ":|~Disk 1|b.txt,|DEST|b.txt", ":|~Disk 2|c.txt,|DEST|c.txt", "Delete:|DEST|old.txt", "End:"});

struct EngineHooks : ::testing::Test {
    Scratch scratch;
    ScriptedFrontEnd ui;
    ShellUi shellUi;
    TestScript script{kScript};
    TestEngine engine{&script};

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&ui);
        engine.SetUi(&shellUi);
        for (const char* d : {"S", "S\\DISK1", "S\\DISK2", "S\\DISK9", "S\\DISK0", "DEST"})
            ASSERT_TRUE(Scratch::MakeDir(scratch.Path(d)));
        for (const char* d : {"S\\", "S\\DISK1\\", "S\\DISK9\\", "S\\DISK0\\"}) {
            ASSERT_TRUE(Scratch::WriteFile(scratch.Path(d) + "a.txt", "A"));
            ASSERT_TRUE(Scratch::WriteFile(scratch.Path(d) + "b.txt", "B"));
        }
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("S\\DISK2\\c.txt"), "C"));
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("DEST\\old.txt"), "old"));
        engine.firstDisk = scratch.Path("S\\DISK1\\");
        engine.dest = scratch.Path("DEST\\");
    }
    void TearDown() override {
        hostwin::ClearFaults();
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    static void Fail(hostwin::FaultOp op, unsigned nth, const char* path) {
        hostwin::FaultRule rule;
        rule.op = op;
        rule.nth = nth;
        rule.pathContains = path;
        hostwin::AddFault(rule);
    }
    std::string Dest(const char* name) { return scratch.Path("DEST\\") + name; }

    // A second run on the same machine, with its own front end in force.
    struct Fresh {
        ScriptedFrontEnd ui;
        TestScript script{kScript};
        TestEngine engine{&script};
    };
    std::unique_ptr<Fresh> FreshRun(const std::string& firstDisk) {
        std::unique_ptr<Fresh> run(new Fresh);
        SetFrontEnd(&run->ui);
        run->engine.SetUi(&shellUi);
        run->engine.firstDisk = firstDisk;
        run->engine.dest = engine.dest;
        return run;
    }
};

TEST_F(EngineHooks, SiblingDiskFoldersAreTakenAndOthersPromptedFor) {
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_TRUE(ui.log.empty()) << "DISK1 leads to DISK2 without a prompt";
    EXPECT_EQ(Scratch::ReadFile(Dest("c.txt")), "C");
    EXPECT_EQ(ui.drawn, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(ui.progressLog, (std::vector<std::string>{"open 306", "close"}));

    for (const char* first : {"S\\", "S\\DISK9\\", "S\\DISK0\\"}) {
        auto run = FreshRun(scratch.Path(first));
        ScriptedFrontEnd& u = run->ui;
        TestEngine& e = run->engine;
        u.replies = {Reply{1, {{IDC_DIRECTORY_EDIT, scratch.Path("S\\DISK2")}}}};
        EXPECT_EQ(e.Run(), Ok) << first;
        ASSERT_EQ(u.log.size(), 1u) << first;
        EXPECT_EQ(u.log[0], "309: Put the Disk 2 in the drive (or type new directory).");
        EXPECT_STREQ(u.shown[0].Text(IDC_DIRECTORY_EDIT), "A:\\");
    }
}

TEST_F(EngineHooks, AMissingSourceIsReportedWithTheProgressHiddenThenPromptedFor) {
    ASSERT_TRUE(DeleteFileA(scratch.Path("S\\DISK2\\c.txt").c_str()));
    ASSERT_TRUE(Scratch::MakeDir(scratch.Path("OTHER")));
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("OTHER\\c.txt"), "C2"));
    // The message, a folder that does not exist (message 16), Cancel then
    // "&Cancel" in the question, and at last the right folder.
    ui.replies = {Reply{1}, Reply{1, {{IDC_DIRECTORY_EDIT, scratch.Path("NONE")}}},
                  Reply{1}, Reply{2},
                  Reply{2}, Reply{1, {{IDC_DIRECTORY_EDIT, scratch.Path("OTHER")}}}};
    EXPECT_EQ(engine.Run(), Ok);
    ASSERT_EQ(ui.log.size(), 6u);
    EXPECT_EQ(ui.log[0], "305: The file c.txt could not be found!");
    EXPECT_EQ(ui.log[2], "305: The directory can't be found!");
    EXPECT_EQ(ui.log[4], "304: Are you sure you want to abort the installation?");
    EXPECT_EQ(ui.shown[4].defaultButton, 2);
    EXPECT_EQ(ui.shown[5].Text(IDC_DIRECTORY_EDIT), scratch.Path("NONE") + "\\")
        << "the text typed last";
    EXPECT_EQ(Scratch::ReadFile(Dest("c.txt")), "C2");
    EXPECT_EQ(ui.progressLog, (std::vector<std::string>{"open 306", "hide", "show", "close"}));
}

TEST_F(EngineHooks, AReadErrorRetriesOnTheFirstButtonAndPromptsOnTheSecond) {
    Fail(hostwin::FaultOp::Read, 1, ""); // the first read is of a.txt
    ui.replies = {Reply{1}};
    EXPECT_EQ(engine.Run(), Ok);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "304: Can't read data from the source disk! Do you want to try again?");
    EXPECT_EQ(ui.shown[0].defaultButton, 1);
    EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), "A");

    hostwin::ClearFaults();
    auto run = FreshRun(engine.firstDisk);
    ScriptedFrontEnd& u = run->ui;
    TestEngine& e = run->engine;
    Fail(hostwin::FaultOp::Read, 1, "");        // the first read is of a.txt
    u.replies = {Reply{2}, Reply{2}, Reply{1}}; // no retry; cancel the prompt; confirm
    EXPECT_EQ(e.Run(), Abort);
    ASSERT_EQ(u.log.size(), 3u);
    EXPECT_EQ(u.log[1], "309: Put the Disk 1 in the drive (or type new directory).");
}

TEST_F(EngineHooks, ATargetThatCannotBeWrittenEndsTheRun) {
    for (hostwin::FaultOp op : {hostwin::FaultOp::Create, hostwin::FaultOp::Write}) {
        auto run = FreshRun(engine.firstDisk);
        ScriptedFrontEnd& u = run->ui;
        TestEngine& e = run->engine;
        hostwin::ClearFaults();
        // Reads and writes know no path: b.txt is the second file written.
        if (op == hostwin::FaultOp::Create)
            Fail(op, 1, "b.txt");
        else
            Fail(op, 2, "");
        u.replies = {Reply{1}, Reply{1}};
        EXPECT_EQ(e.Run(), Abort);
        ASSERT_EQ(u.log.size(), 2u);
        EXPECT_EQ(u.log[0],
                  "305: Can't copy the file b.txt to the directory:\n " + scratch.Path("DEST\\"));
        EXPECT_EQ(u.log[1], "305: Installation will be terminated!");
        EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), "A") << "what was copied stays";
    }
}

TEST_F(EngineHooks, ADeleteErrorAfterTheProgressClosedTouchesNoWindow) {
    Fail(hostwin::FaultOp::Delete, 1, "old.txt");
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_EQ(ui.progressLog, (std::vector<std::string>{"open 306", "close"}));
    EXPECT_EQ(engine.ProgressWindow(), nullptr);
}

TEST_F(EngineHooks, AProgressWindowThatCannotOpenOrACancelStopsTheRun) {
    ui.progressOpens = false;
    ui.replies = {Reply{1}};
    EXPECT_EQ(engine.Run(), Abort);
    EXPECT_EQ(ui.log,
              (std::vector<std::string>{"305: There is an error in the installation files!"}));
    EXPECT_FALSE(Scratch::Exists(Dest("a.txt")));
    EXPECT_EQ(engine.BeforeCopy(), ScriptError);

    auto run = FreshRun(engine.firstDisk);
    ScriptedFrontEnd& u = run->ui;
    TestEngine& e = run->engine;
    u.cancelPresses = {false, true};
    u.replies = {Reply{1}};
    EXPECT_EQ(e.Run(), Abort);
    EXPECT_FALSE(Scratch::Exists(Dest("c.txt")));
    EXPECT_EQ(u.progressLog, (std::vector<std::string>{"open 306"})) << "left open after a cancel";
}

// A directory that cannot be created: message 23 and the prompt again;
// the level made before the failure stays.
TEST_F(EngineHooks, ADestinationThatCannotBeCreatedIsReported) {
    std::string path = scratch.Path("NEW\\SUB");
    Fail(hostwin::FaultOp::MakeDir, 1, "SUB");
    ui.replies = {Reply{1, {{IDC_DIRECTORY_EDIT, path}}}, Reply{1}, Reply{1},
                  Reply{1, {{IDC_DIRECTORY_EDIT, path}}}, Reply{1}};
    EXPECT_EQ(AskDestinationDirectory(nullptr, true), Ok);
    ASSERT_EQ(ui.log.size(), 5u) << ::testing::PrintToString(ui.log);
    EXPECT_EQ(ui.log[2], "305: The specified directory can't be created!");
    EXPECT_EQ(DestinationDir, path);
    EXPECT_TRUE(Scratch::Exists(path));
}

} // namespace
