// ProgramGroup and ExecuteProgmanCommand against a Program Manager that
// records what it receives: the machine's own on the host, a server thread
// of this process under Wine. Received commands carry "+" when Program
// Manager carried them out and "-" when it refused them.
#include "support/progman_server.h"
#include "support/scratch.h"

#include "program_group.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

typedef std::vector<std::string> Lines;

const char kGroup[] = "Velmor Applications";
const char kProgram[] = "C:\\APP\\BRIVANTA.EXE";
const char kTitle[] = "Brivanta 3.2";

HDDEDATA CALLBACK NoAnswer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

class ProgramGroupTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server_.Running()); }
    // Received since the last call.
    Lines Take() {
        Lines lines = server_.Received();
        server_.Clear();
        return lines;
    }

    Scratch scratch_; // the host's machine
    ProgmanServer server_;
};

TEST_F(ProgramGroupTest, MissingGroupIsCreatedByTheFirstItemAndNothingIsDeletedBefore) {
    ProgramGroup group(kGroup, nullptr);
    EXPECT_FALSE(group.IsReady());
    EXPECT_EQ(Take(), Lines{"-[ShowGroup(Velmor Applications, 4)]"});

    EXPECT_EQ(group.DeleteItem("Brivanta 3.0"), 5u);
    EXPECT_EQ(Take(), Lines{});

    // A failing ReplaceItem (no such item yet) does not stop the AddItem.
    EXPECT_EQ(group.AddItem(kProgram, kTitle), 0u);
    EXPECT_TRUE(group.IsReady());
    EXPECT_EQ(Take(), (Lines{"+[CreateGroup(Velmor Applications)]",
                             "+[ShowGroup(Velmor Applications, 1)]", "-[ReplaceItem(Brivanta 3.2)]",
                             "+[AddItem(C:\\APP\\BRIVANTA.EXE,Brivanta 3.2)]"}));
    EXPECT_EQ(server_.Items(kGroup), Lines{"Brivanta 3.2=C:\\APP\\BRIVANTA.EXE"});

    group.Release();
    EXPECT_EQ(Take(),
              (Lines{"+[ShowGroup(Velmor Applications, 4)]", "+[Reload(Velmor Applications)]"}));
}

TEST_F(ProgramGroupTest, ReadyGroupGetsShowReplaceAddInThisOrderAndDeletesItsItems) {
    ASSERT_TRUE(server_.Send("[CreateGroup(StartUp)]"));
    ASSERT_TRUE(server_.Send("[AddItem(C:\\OLD\\BRIVANTA.EXE,Brivanta 3.2)]"));
    ASSERT_TRUE(server_.Send("[AddItem(C:\\OLD\\BRIVANTA.EXE,Brivanta 3.1)]"));
    server_.Clear();

    ProgramGroup group("StartUp", nullptr);
    EXPECT_TRUE(group.IsReady());
    EXPECT_EQ(Take(), Lines{"+[ShowGroup(StartUp, 4)]"});

    EXPECT_EQ(group.AddItem(kProgram, kTitle), 0u);
    EXPECT_EQ(Take(), (Lines{"+[ShowGroup(StartUp, 1)]", "+[ReplaceItem(Brivanta 3.2)]",
                             "+[AddItem(C:\\APP\\BRIVANTA.EXE,Brivanta 3.2)]"}));
    Lines items = server_.Items("StartUp");
    EXPECT_EQ(std::count(items.begin(), items.end(), "Brivanta 3.2=C:\\APP\\BRIVANTA.EXE"), 1);
    EXPECT_EQ(items.size(), 2u);

    EXPECT_EQ(group.DeleteItem("Brivanta 3.1"), 0u);
    EXPECT_EQ(group.DeleteItem("Brivanta 3.0"), 3u);
    EXPECT_EQ(Take(), (Lines{"+[ShowGroup(StartUp, 1)]", "+[DeleteItem(Brivanta 3.1)]",
                             "+[ShowGroup(StartUp, 1)]", "-[DeleteItem(Brivanta 3.0)]"}));
    EXPECT_EQ(server_.Items("StartUp"), Lines{"Brivanta 3.2=C:\\APP\\BRIVANTA.EXE"});

    EXPECT_EQ(group.ShowGroup(4), 0u);
    EXPECT_EQ(group.ShowGroup(6), 0u);
    EXPECT_EQ(Take(), (Lines{"+[ShowGroup(StartUp, 4)]", "+[ShowGroup(StartUp, 6)]"}));
    group.Release();
}

TEST_F(ProgramGroupTest, AFailedShowGroupOnAReadyGroupStopsAddAndDeleteWithThree) {
    ASSERT_TRUE(server_.Send("[CreateGroup(StartUp)]"));
    ProgramGroup group("StartUp", nullptr);
    ASSERT_TRUE(group.IsReady());
    ASSERT_TRUE(server_.Send("[DeleteGroup(StartUp)]")); // gone behind the setup's back
    server_.Clear();
    EXPECT_EQ(group.AddItem(kProgram, kTitle), 3u);
    EXPECT_EQ(Take(), Lines{"-[ShowGroup(StartUp, 1)]"});
    EXPECT_EQ(group.DeleteItem("Brivanta 3.1"), 3u);
    EXPECT_EQ(Take(), Lines{"-[ShowGroup(StartUp, 1)]"});
    EXPECT_TRUE(group.IsReady()) << "only a failed CreateGroup clears it";
    group.Release();
}

TEST_F(ProgramGroupTest, ShowGroupSixCreatesAMissingGroupAndReleaseOfANeverReadyGroupSendsNothing) {
    ProgramGroup shown(kGroup, nullptr);
    EXPECT_EQ(shown.ShowGroup(4), 3u);
    server_.Clear();
    EXPECT_EQ(shown.ShowGroup(6), 0u);
    EXPECT_TRUE(shown.IsReady());
    EXPECT_EQ(Take(), (Lines{"+[CreateGroup(Velmor Applications)]",
                             "+[ShowGroup(Velmor Applications, 6)]"}));
    shown.Release();

    ProgramGroup never("StartUp", nullptr);
    server_.Clear();
    never.Release();
    EXPECT_EQ(Take(), Lines{});
    bool found = true;
    server_.Items("StartUp", &found);
    EXPECT_FALSE(found);
}

TEST_F(ProgramGroupTest, ProgramManagerNotAnsweringGivesOneThreeOrFiveAndReceivesNothing) {
    server_.SetAnswering(false);
    ProgramGroup group(kGroup, nullptr);
    EXPECT_FALSE(group.IsReady());
    EXPECT_EQ(group.AddItem(kProgram, kTitle), 1u);
    EXPECT_EQ(group.DeleteItem(kTitle), 5u);
    EXPECT_EQ(group.ShowGroup(4), 3u);
    EXPECT_EQ(group.ShowGroup(6), 1u);
    EXPECT_EQ(group.CreateGroup(), 3u);
    EXPECT_FALSE(group.IsReady());
    group.Release();
    EXPECT_EQ(Take(), Lines{});

    // Once it answers again a new group works from the start.
    server_.SetAnswering(true);
    ProgramGroup again(kGroup, nullptr);
    EXPECT_EQ(again.CreateGroup(), 0u);
    EXPECT_TRUE(again.IsReady());
    again.Release();
}

// A command line with a blank, a comma, a parenthesis or a bracket would be
// split or cut by Program Manager: it travels in quotes, and only then.
TEST_F(ProgramGroupTest, CommandLinesThatWouldBreakTheCommandAreQuoted) {
    ProgramGroup group(kGroup, nullptr);
    ASSERT_EQ(group.CreateGroup(), 0u);
    const char* const lines[] = {"C:\\MY APPS\\BRIVANTA\\BRIVANTA.EXE", "C:\\A,B\\BRIVANTA.EXE",
                                 "C:\\APPS (2)\\BRIVANTA.EXE", "C:\\[X]\\BRIVANTA.EXE"};
    Lines expected;
    int n = 0;
    for (const char* line : lines) {
        std::string title = "Item " + std::to_string(++n);
        server_.Clear();
        ASSERT_EQ(group.AddItem(line, title.c_str()), 0u) << line;
        Lines got = server_.Received();
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[2], "+[AddItem(\"" + std::string(line) + "\"," + title + ")]");
        expected.push_back(title + "=" + line);
    }
    EXPECT_EQ(server_.Items(kGroup), expected);

    server_.Clear();
    ASSERT_EQ(group.AddItem("C:\\APP\\BRIVANTA.EXE", kTitle), 0u);
    EXPECT_EQ(server_.Received().back(), "+[AddItem(C:\\APP\\BRIVANTA.EXE,Brivanta 3.2)]");
    group.Release();
}

TEST_F(ProgramGroupTest, NamesAndCommandsThatDoNotFitTheirBuffersAreNeverSent) {
    std::string longest(ProgramGroup::MaxName, 'g');
    ProgramGroup fits(longest.c_str(), nullptr);
    EXPECT_EQ(Take(), Lines{"-[ShowGroup(" + longest + ", 4)]"});
    EXPECT_EQ(fits.CreateGroup(), 0u);
    EXPECT_EQ(Take(), Lines{"+[CreateGroup(" + longest + ")]"});

    // An AddItem command of 1023 characters goes out; one more does not,
    // while the shorter ReplaceItem before it still does.
    std::string title(1023 - std::strlen("[AddItem(C:\\A.EXE,)]"), 't');
    EXPECT_EQ(fits.AddItem("C:\\A.EXE", title.c_str()), 0u);
    Lines got = Take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].size(), 1u + 1023u);
    title += 't';
    EXPECT_EQ(fits.AddItem("C:\\A.EXE", title.c_str()), 3u);
    got = Take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], "-[ReplaceItem(" + title + ")]");
    fits.Release();
    server_.Clear();

    std::string tooLong(300, 'n');
    ProgramGroup refused(tooLong.c_str(), nullptr);
    EXPECT_FALSE(refused.IsReady());
    EXPECT_EQ(refused.AddItem(kProgram, kTitle), 1u);
    EXPECT_EQ(refused.DeleteItem(kTitle), 5u);
    EXPECT_EQ(refused.ShowGroup(6), 1u);
    refused.Release();
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(std::string(refused.Name()), "");
}

// Done or refused, a command's conversation ends with "not processed" left
// for the instance (so Wine has it); the refused transaction's own error
// was taken before.
TEST_F(ProgramGroupTest, OneCommandIsOneConversationWhoseEndTheErrorReports) {
    DWORD instance = 0;
    ASSERT_EQ(DdeInitializeA(&instance, NoAnswer, APPCMD_CLIENTONLY, 0), unsigned(DMLERR_NO_ERROR));
    EXPECT_TRUE(ExecuteProgmanCommand(instance, "[CreateGroup(StartUp)]"));
    EXPECT_EQ(DdeGetLastError(instance), unsigned(DMLERR_NOTPROCESSED));
    EXPECT_EQ(DdeGetLastError(instance), unsigned(DMLERR_NO_ERROR));
    EXPECT_FALSE(ExecuteProgmanCommand(instance, "[DeleteItem(Nothing)]"));
    EXPECT_EQ(DdeGetLastError(instance), unsigned(DMLERR_NOTPROCESSED));
    server_.SetAnswering(false);
    // Only a refused transaction is cleared; a failed connection is the
    // library's to report.
    EXPECT_FALSE(ExecuteProgmanCommand(instance, "[ShowGroup(StartUp, 4)]"));
    EXPECT_EQ(DdeGetLastError(instance), unsigned(DMLERR_NO_CONV_ESTABLISHED));
    EXPECT_EQ(Take(), (Lines{"+[CreateGroup(StartUp)]", "-[DeleteItem(Nothing)]"}));
    DdeUninitialize(instance);
    EXPECT_FALSE(ExecuteProgmanCommand(0, "[ShowGroup(StartUp, 4)]"));
}

} // namespace
