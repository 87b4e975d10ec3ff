// The run sequence: parsing, locating disks, copying with progress and
// errors, deleting, driven through a scripted user.
#include "install_engine.h"
#include "support/differences.h"
#include "support/scratch.h"
#include "support/scripted_ui.h"
#include "support/test_script.h"
#include "text.h"

#include <gtest/gtest.h>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Points "~Disk 1" and DEST into the scratch folder, as a product would.
class TestEngine : public InstallEngine {
  public:
    TestEngine(ScriptText* script, ScriptedUi* ui) : InstallEngine(nullptr, script) { SetUi(ui); }
    std::string firstDisk, dest;
    std::map<std::string, ResultCode> beforeFile; // by source name
    std::vector<std::string> copied;

    ResultCode PathAdded(PathEntry* path) override {
        if (CompareNoCase(path->Name(), "~Disk 1") == 0 && !firstDisk.empty())
            path->SetDirectory(firstDisk.c_str());
        else if (CompareNoCase(path->Name(), "DEST") == 0)
            path->SetDirectory(dest.c_str());
        return Ok;
    }
    ResultCode BeforeFile(FileEntry* f) override {
        auto it = beforeFile.find(f->SourceName());
        return it == beforeFile.end() ? Ok : it->second;
    }
    ResultCode FileDone(FileEntry* f, unsigned done) override {
        copied.push_back(f->SourceName());
        return InstallEngine::FileDone(f, done);
    }
};

const std::string kThreeDisks =
    ScriptLines({"Paths:~Disk 1=A:\\", ":~Disk 2=A:\\", ":~Disk 3=A:\\", ":DEST=C:\\NOWHERE\\",
                 "Files:|~Disk 1|a.txt,|DEST|a.txt", ":|~Disk 2|sub\\b.txt,|DEST|b.txt",
                 ":#IF_C#|~Disk 3|c.txt,|DEST|c.txt", "Delete:|DEST|old.txt", "End:"});

struct RunFixture : ::testing::Test {
    Scratch scratch;
    ScriptedUi ui;
    TestScript script{kThreeDisks};
    TestEngine engine{&script, &ui};

    void SetUp() override {
        script.vars["IF_C"] = "";
        for (const char* d : {"SETUP", "SETUP\\DISK1", "SETUP\\DISK2", "SETUP\\DISK2\\SUB",
                              "SETUP\\DISK3", "DEST", "OTHER"})
            ASSERT_TRUE(Scratch::MakeDir(scratch.Path(d)));
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("SETUP\\DISK1\\a.txt"), "A"));
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("SETUP\\DISK2\\sub\\b.txt"), "B"));
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("SETUP\\DISK3\\c.txt"), "C"));
        ASSERT_TRUE(Scratch::WriteFile(scratch.Path("DEST\\old.txt"), "old"));
        engine.firstDisk = scratch.Path("setup\\disk1");
        engine.dest = scratch.Path("dest");
    }
    std::string Dest(const char* name) { return scratch.Path("DEST\\") + name; }
    std::string Upper(std::string s) {
        for (char& c : s)
            c = UpperAscii(c);
        return s;
    }
};

TEST_F(RunFixture, SiblingDiskFoldersAreFoundWithoutAsking) {
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), "A");
    EXPECT_EQ(Scratch::ReadFile(Dest("b.txt")), "B");
    EXPECT_EQ(Scratch::ReadFile(Dest("c.txt")), "C");
    EXPECT_FALSE(Scratch::Exists(Dest("old.txt")));
    EXPECT_EQ(ui.log, (std::vector<std::string>{"progress open 3 10002", "progress close"}));
    EXPECT_EQ(ui.updates, (std::vector<unsigned>{1, 2, 3}));
    EXPECT_EQ(std::string(engine.FindPathEntry("~disk 3")->Directory()),
              Upper(scratch.Path("SETUP\\DISK3\\")));
    EXPECT_EQ(engine.FileCount(), 3u);
    EXPECT_EQ(engine.DiskCount(), 3u);
    EXPECT_EQ(engine.ProgressWindow(), nullptr);
}

TEST_F(RunFixture, ADiskThatIsNoSiblingIsPromptedFor) {
    for (const char* first : {"SETUP", "SETUP\\DISK9", "SETUP\\DISK0"}) {
        ScriptedUi freshUi;
        TestScript s(kThreeDisks);
        TestEngine e(&s, &freshUi);
        if (std::string(first) != "SETUP") {
            ASSERT_TRUE(Scratch::MakeDir(scratch.Path(first)));
            ASSERT_TRUE(Scratch::WriteFile(scratch.Path(first) + "\\a.txt", "A"));
        } else {
            ASSERT_TRUE(Scratch::WriteFile(scratch.Path("SETUP\\a.txt"), "A"));
        }
        e.firstDisk = scratch.Path(first);
        e.dest = scratch.Path("DEST");
        freshUi.prompts = {scratch.Path("setup\\disk2")};
        EXPECT_EQ(e.Run(), Ok) << first;
        ASSERT_GE(freshUi.log.size(), 2u);
        EXPECT_EQ(freshUi.log[1], "disk 10007 ~Disk 2 [A:\\]") << first;
        EXPECT_EQ(Scratch::ReadFile(Dest("b.txt")), "B");
        EXPECT_EQ(e.copied, (std::vector<std::string>{"a.txt", "sub\\b.txt"})) << first;
    }
}

TEST_F(RunFixture, APromptAnsweredWithAMissingFolderOrCancelledIsAskedAgain) {
    engine.firstDisk = scratch.Path("OTHER");
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("OTHER\\a.txt"), "A"));
    script.vars.erase("IF_C");
    ui.prompts = {scratch.Path("nothere"), ScriptedUi::kCancel, scratch.Path("SETUP\\DISK2\\")};
    ui.answers = {2}; // "&Cancel" in the abort question: back to the prompt
    EXPECT_EQ(engine.Run(), Ok);
    std::string typed = Upper(scratch.Path("NOTHERE\\"));
    EXPECT_EQ(ui.log,
              (std::vector<std::string>{"progress open 2 10002", "disk 10007 ~Disk 2 [A:\\]",
                                        "message 10008 over progress",
                                        "disk 10007 ~Disk 2 [" + typed + "]", "ask 10002 default 2",
                                        "disk 10007 ~Disk 2 [" + typed + "]", "progress close"}));
    // Disk 3 provides nothing once its line does not apply: it is not asked for.
    EXPECT_EQ(Scratch::ReadFile(Dest("b.txt")), "B");
}

TEST_F(RunFixture, AConfirmedCancelOrAPromptThatCannotBeShownAborts) {
    engine.firstDisk = scratch.Path("OTHER");
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("OTHER\\a.txt"), "A"));
    ui.prompts = {ScriptedUi::kCancel};
    ui.answers = {1};
    EXPECT_EQ(engine.Run(), Abort);
    EXPECT_TRUE(Scratch::Exists(Dest("old.txt"))) << "an aborted run deletes nothing";

    ScriptedUi silent; // no prompt can be shown at all
    TestScript s(kThreeDisks);
    TestEngine e(&s, &silent);
    e.firstDisk = scratch.Path("OTHER");
    e.dest = scratch.Path("DEST");
    EXPECT_EQ(e.Run(), Abort);
}

TEST_F(RunFixture, AMissingSourceFileLeadsBackToTheDiskPrompt) {
    ASSERT_TRUE(DeleteFileA(scratch.Path("SETUP\\DISK2\\sub\\b.txt").c_str()));
    ASSERT_TRUE(Scratch::MakeDir(scratch.Path("OTHER\\SUB")));
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("OTHER\\SUB\\b.txt"), "B2"));
    // Disk 3 is no sibling of OTHER any more: it is asked for too.
    ui.prompts = {scratch.Path("other"), scratch.Path("SETUP\\DISK3")};
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_EQ(Scratch::ReadFile(Dest("b.txt")), "B2");
    ASSERT_GE(ui.log.size(), 3u);
    EXPECT_EQ(ui.log[1], "message 10004 sub\\b.txt");
    EXPECT_EQ(ui.log[2], "disk 10007 ~Disk 2 [" + Upper(scratch.Path("SETUP\\DISK2\\")) + "]");
    EXPECT_EQ(engine.copied, (std::vector<std::string>{"a.txt", "sub\\b.txt", "c.txt"}));
}

TEST_F(RunFixture, ATargetThatCannotBeCreatedEndsTheRunAndKeepsWhatWasCopied) {
    ASSERT_TRUE(Scratch::MakeDir(Dest("b.txt"))); // a folder in the way
    EXPECT_EQ(engine.Run(), Abort);
    EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), "A");
    EXPECT_FALSE(Scratch::Exists(Dest("c.txt")));
    ASSERT_GE(ui.log.size(), 3u);
    EXPECT_EQ(ui.log[1], "message 10012 b.txt | " + Upper(scratch.Path("DEST\\")));
    EXPECT_EQ(ui.log[2], "message 10005");
    EXPECT_TRUE(ui.progressVisible);
}

TEST_F(RunFixture, SkippedFilesAreNotCountedAndStoppedDisksGoOn) {
    engine.beforeFile["a.txt"] = Skip;
    engine.beforeFile["sub\\b.txt"] = 7; // ends disk 2 only
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_FALSE(Scratch::Exists(Dest("a.txt")));
    EXPECT_FALSE(Scratch::Exists(Dest("b.txt")));
    EXPECT_EQ(Scratch::ReadFile(Dest("c.txt")), "C");
    EXPECT_EQ(ui.updates, (std::vector<unsigned>{1}));

    ScriptedUi u2;
    TestScript s(kThreeDisks);
    TestEngine e(&s, &u2);
    e.firstDisk = engine.firstDisk;
    e.dest = engine.dest;
    e.beforeFile["a.txt"] = Abort;
    EXPECT_EQ(e.Run(), Abort);
}

TEST_F(RunFixture, ProgressThatCannotOpenOrIsCancelledAborts) {
    ui.progressOpens = false;
    EXPECT_EQ(engine.Run(), Abort);
    EXPECT_EQ(ui.log, (std::vector<std::string>{"progress open 3 10002", "message 10003"}));
    EXPECT_FALSE(Scratch::Exists(Dest("a.txt")));

    ScriptedUi u2;
    u2.cancelAtUpdate = 2;
    TestScript s(kThreeDisks);
    TestEngine e(&s, &u2);
    e.firstDisk = engine.firstDisk;
    e.dest = engine.dest;
    EXPECT_EQ(e.Run(), Abort);
    EXPECT_EQ(u2.updates, (std::vector<unsigned>{1, 2}));
    EXPECT_FALSE(Scratch::Exists(Dest("c.txt")));
}

TEST_F(RunFixture, NoApplicableFileMeansNoProgressNoPromptButStillDeletes) {
    TestScript s(ScriptLines({"Paths:~Disk 1=A:\\", ":~Disk 2=A:\\", ":DEST=C:\\",
                              "Files:#IF_NO#|~Disk 2|x,|DEST|x", "Delete:#IF_NO#|DEST|a.txt",
                              ":|DEST|old.txt", ":|DEST|gone.txt", ":|DEST|a.txt", "End:"}));
    TestEngine e(&s, &ui);
    e.dest = engine.dest;
    ASSERT_TRUE(Scratch::WriteFile(Dest("a.txt"), "a"));
    EXPECT_EQ(e.Run(), Ok);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_FALSE(Scratch::Exists(Dest("old.txt")));
    EXPECT_FALSE(Scratch::Exists(Dest("a.txt"))) << "a failed delete does not end the phase";
    EXPECT_EQ(e.Deletes().Count(), 3u);
}

TEST_F(RunFixture, ScriptsThatCannotBeUsedAnswerFourBeforeCopying) {
    const std::string bad[] = {
        // A Paths line that does not apply ends the section; DEST is unknown.
        ScriptLines({"Paths:~Disk 1=A:\\", ":#IF_NO#X=C:\\", ":DEST=C:\\",
                     "Files:|~Disk 1|a.txt,|DEST|a.txt", "End:"}),
        ScriptLines({"Paths:~Disk 1=A:\\", ":DEST=C:\\", "Files:|~Disk 1|a.txt,|DEST|a.txt",
                     "Delete:|DEST|old.txt,x", "End:"}),
        ScriptLines(
            {"Paths:~Disk 1=A:\\", ":DEST=C:\\", "Files:|~Disk 1|a.txt|DEST|a.txt", "End:"}),
        ScriptLines(
            {"Paths:~Disk 1=A:\\", ":DEST=C:\\", "Files:~Disk 1|a.txt,|DEST|a.txt", "End:"}),
        ScriptLines(
            {"Paths:~Disk 1=A:\\", ":DEST=C:\\", "Files:|~Disk 1|a.txt,DEST|a.txt", "End:"}),
        ScriptLines({"Files:|~Disk 1|a.txt,|DEST|a.txt", "End:"}),
        ScriptLines({"Paths:#IF_NO#~Disk 1=A:\\", "End:"}),
    };
    for (const std::string& text : bad) {
        TestScript s(text);
        ScriptedUi u;
        TestEngine e(&s, &u);
        e.firstDisk = engine.firstDisk;
        e.dest = engine.dest;
        EXPECT_EQ(e.Run(), ScriptError) << text;
        EXPECT_TRUE(u.log.empty()) << text;
        EXPECT_TRUE(Scratch::Exists(Dest("old.txt")));
    }
    InstallEngine noScript(nullptr, nullptr);
    EXPECT_EQ(noScript.Run(), ScriptError);
}

TEST_F(RunFixture, OneSourceDiskIsAskedForAsADirectory) {
    TestScript s(ScriptLines({"Paths:~Disk 1=A:\\", ":~Spare=A:\\", ":DEST=C:\\",
                              "Files:|~Disk 1|a.txt,|DEST|a.txt", "End:"}));
    ScriptedUi u;
    TestEngine e(&s, &u);
    e.dest = engine.dest;
    // ~Disk 1 keeps A:\ (an empty floppy drive): the file is missing there.
    u.prompts = {scratch.Path("OTHER")};
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("OTHER\\a.txt"), "A"));
    EXPECT_EQ(e.Run(), Ok);
    EXPECT_EQ(e.DiskCount(), 2u);
    ASSERT_GE(u.log.size(), 3u);
    EXPECT_EQ(u.log[1], "message 10004 a.txt");
    EXPECT_EQ(u.log[2], "disk 10007 ~Disk 1 [A:\\]"); // two disk entries: the disk prompt

    TestScript one(ScriptLines(
        {"Paths:~Disk 1=A:\\", ":DEST=C:\\", "Files:|~Disk 1|a.txt,|DEST|a.txt", "End:"}));
    ScriptedUi u1;
    TestEngine e1(&one, &u1);
    e1.dest = engine.dest;
    u1.prompts = {scratch.Path("OTHER")};
    EXPECT_EQ(e1.Run(), Ok);
    ASSERT_GE(u1.log.size(), 3u);
    EXPECT_EQ(u1.log[2], "directory 10009 0 [A:\\]");
}

#if HOST_ONLY("fault switches: Wine cannot make a chosen read fail")
TEST_F(RunFixture, AReadErrorAsksToRetryAndCopiesTheFileFromTheStart) {
    std::string data = TestBytes(7000);
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("SETUP\\DISK1\\a.txt"), data));
    hostwin::FaultRule rule;
    rule.op = hostwin::FaultOp::Read;
    rule.nth = 2;
    hostwin::AddFault(rule);
    ui.answers = {1};
    EXPECT_EQ(engine.Run(), Ok);
    EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), data);
    ASSERT_GE(ui.log.size(), 2u);
    EXPECT_EQ(ui.log[1], "ask 10006 a.txt default 1");
    EXPECT_EQ(engine.copied.size(), 3u);

    // The second button leads to the disk prompt instead.
    hostwin::ClearFaults();
    ScriptedUi u2;
    TestScript s(kThreeDisks);
    TestEngine e(&s, &u2);
    e.firstDisk = engine.firstDisk;
    e.dest = engine.dest;
    hostwin::AddFault(rule);
    u2.answers = {2};
    u2.prompts = {scratch.Path("SETUP\\DISK1")};
    EXPECT_EQ(e.Run(), Ok);
    ASSERT_GE(u2.log.size(), 3u);
    EXPECT_EQ(u2.log[2], "disk 10007 ~Disk 1 [" + Upper(scratch.Path("SETUP\\DISK1\\")) + "]");
    EXPECT_EQ(Scratch::ReadFile(Dest("a.txt")), data);
}
#endif

} // namespace

namespace {

TEST(ParseFileLine, SplitsBothFormsAndRejectsLinesThatMayHaveBeenCut) {
    char sp[256], sn[256], tp[256], tn[256];
    ASSERT_TRUE(ParseFileLine("|~Disk 1|KBD\\kbdus.kbd,|SYS_DIR|kbdus.kbd", false, sp, sn, tp, tn));
    EXPECT_STREQ(sp, "~Disk 1");
    EXPECT_STREQ(sn, "KBD\\kbdus.kbd");
    EXPECT_STREQ(tp, "SYS_DIR");
    EXPECT_STREQ(tn, "kbdus.kbd");
    ASSERT_TRUE(ParseFileLine("|A| name ,|B|", false, sp, sn, tp, tn)); // nothing trimmed
    EXPECT_STREQ(sn, " name ");
    EXPECT_STREQ(tn, "");
    ASSERT_TRUE(ParseFileLine("|OLD_DIR|bvpanel.exe", true, sp, sn, tp, tn));
    EXPECT_STREQ(sp, "OLD_DIR");
    EXPECT_STREQ(sn, "bvpanel.exe");

    std::string fits = "|A|" + std::string(246, 'x') + ",|B|y"; // 254 characters
    EXPECT_TRUE(ParseFileLine(fits.c_str(), false, sp, sn, tp, tn));
    std::string full = fits + "z"; // 255: it filled the 256-byte key buffer
    EXPECT_FALSE(ParseFileLine(full.c_str(), false, sp, sn, tp, tn));
    EXPECT_FALSE(ParseFileLine("|A|x,y", true, sp, sn, tp, tn));
    EXPECT_FALSE(ParseFileLine("|A", true, sp, sn, tp, tn));
}

} // namespace
