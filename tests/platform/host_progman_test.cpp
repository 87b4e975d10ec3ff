// The host's Program Manager and DDE management library beyond what the
// shared ProgramGroup tests reach: the group files, the command language,
// the DDE objects a client leaves behind, and the session a mount starts.
#include "support/progman_server.h"
#include "support/scratch.h"

#include "platform/host_testing.h"
#include "platform/win32.h"
#include "program_group.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

typedef std::vector<std::string> Lines;

HDDEDATA CALLBACK NoAnswer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HostProgman, GroupsAreReadableFilesThatOutliveTheSession) {
    Scratch scratch;
    ProgmanServer server;
    ProgramGroup group("Velmor Applications", nullptr);
    ASSERT_EQ(group.AddItem("C:\\APP\\BRIVANTA.EXE", "Brivanta 3.2"), 0u);
    ASSERT_EQ(group.AddItem("C:\\MY APPS\\HELP.EXE", "Help"), 0u);
    group.Release();
    ASSERT_TRUE(server.Send("[CreateGroup(A/B)]"));

    std::string folder = hostwin::MachineFolder();
    EXPECT_EQ(ReadHostFile(folder + "/progman/Velmor Applications.grp"),
              "[Velmor Applications]\nBrivanta 3.2=C:\\APP\\BRIVANTA.EXE\nHelp=C:\\MY "
              "APPS\\HELP.EXE\n");
    EXPECT_EQ(ReadHostFile(folder + "/progman/A_B.grp"), "[A/B]\n");

    hostwin::SetProgmanAnswering(false);
    hostwin::UnmountMachine();
    ASSERT_TRUE(hostwin::MountMachine(folder));
    EXPECT_TRUE(hostwin::ProgmanCommands().empty());
    std::vector<hostwin::ProgmanGroup> groups = hostwin::ProgmanGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].name, "A/B");
    EXPECT_EQ(groups[1].name, "Velmor Applications");
    ASSERT_EQ(groups[1].items.size(), 2u);
    EXPECT_EQ(groups[1].items[1].title, "Help");
    EXPECT_EQ(groups[1].items[1].commandLine, "C:\\MY APPS\\HELP.EXE");
    // The mount also made Program Manager answer again.
    EXPECT_TRUE(ProgramGroup("velmor applications", nullptr).IsReady());
}

TEST(HostProgman, CommandLanguage) {
    Scratch scratch;
    ProgmanServer server;
    // Several commands in one transaction, quoted and blank-padded arguments,
    // names in any case.
    EXPECT_TRUE(server.Send("[CreateGroup(Tools)] [showgroup(TOOLS, 1)]"
                            "[AddItem( \"C:\\A (B), C\\P.EXE\" , Title One )]"));
    EXPECT_TRUE(server.Send("[AddItem(C:\\APP\\BRIVANTA.EXE)]"));
    EXPECT_EQ(server.Items("tools"),
              (Lines{"Title One=C:\\A (B), C\\P.EXE", "BRIVANTA=C:\\APP\\BRIVANTA.EXE"}));

    // The first failing command stops the transaction.
    EXPECT_FALSE(server.Send("[ShowGroup(Missing, 1)][CreateGroup(Other)]"));
    bool found = true;
    server.Items("Other", &found);
    EXPECT_FALSE(found);

    const char* const refused[] = {"",
                                   "CreateGroup(G)",
                                   "[CreateGroup(G]",
                                   "[CreateGroup(G)",
                                   "[CreateGroup(\"G)]",
                                   "[CreateGroup()]",
                                   "[Unknown(Tools)]",
                                   "[ShowGroup(Tools)]",
                                   "[AddItem(C:\\X.EXE,A=B)]",
                                   "[DeleteItem(Nothing)]",
                                   "[ReplaceItem(Nothing)]",
                                   "[Reload(Missing)]"};
    for (const char* command : refused)
        EXPECT_FALSE(server.Send(command)) << command;
    EXPECT_EQ(hostwin::ProgmanGroups().size(), 1u);
    EXPECT_TRUE(server.Send("[Reload(Tools)]"));
}

TEST(HostProgman, ReplaceItemLeavesItsPlaceToTheNextAddItem) {
    Scratch scratch;
    ProgmanServer server;
    ASSERT_TRUE(
        server.Send("[CreateGroup(G)][AddItem(A.EXE,A)][AddItem(B.EXE,B)][AddItem(C.EXE,C)]"));
    ASSERT_TRUE(server.Send("[ReplaceItem(B)][AddItem(NEW.EXE,New)]"));
    EXPECT_EQ(server.Items("G"), (Lines{"A=A.EXE", "New=NEW.EXE", "C=C.EXE"}));
    // An AddItem of an existing title changes it where it is.
    ASSERT_TRUE(server.Send("[AddItem(A2.EXE,a)][AddItem(D.EXE,D)]"));
    EXPECT_EQ(server.Items("G"), (Lines{"A=A2.EXE", "New=NEW.EXE", "C=C.EXE", "D=D.EXE"}));
    // The remembered place belongs to its group.
    ASSERT_TRUE(server.Send("[ReplaceItem(A)][CreateGroup(H)][AddItem(E.EXE,E)]"));
    ASSERT_TRUE(server.Send("[ShowGroup(G,1)][AddItem(F.EXE,F)]"));
    EXPECT_EQ(server.Items("G"), (Lines{"New=NEW.EXE", "C=C.EXE", "D=D.EXE", "F=F.EXE"}));
}

TEST(HostProgman, ClientsLeaveNoDdeObjectsBehind) {
    Scratch scratch;
    ProgmanServer server;
    {
        ProgramGroup group("G", nullptr);
        group.AddItem("C:\\A.EXE", "A");
        group.DeleteItem("B");
        EXPECT_EQ(hostwin::DdeInstanceCount(), 1u);
        EXPECT_EQ(hostwin::DdeConversationCount(), 0u);
        EXPECT_EQ(hostwin::DdeStringHandleCount(), 0u);
        group.Release();
        EXPECT_EQ(hostwin::DdeInstanceCount(), 0u);
    }
    server.SetAnswering(false);
    ProgramGroup silent("G", nullptr);
    silent.Release(); // never ready: nothing sent, yet the instance ends
    EXPECT_EQ(hostwin::DdeInstanceCount(), 0u);
    EXPECT_EQ(hostwin::DdeStringHandleCount(), 0u);

    // Without a DDE library every command fails and nothing is received.
    server.SetAnswering(true);
    server.Clear();
    hostwin::SetDdeAvailable(false);
    ProgramGroup none("G", nullptr);
    EXPECT_FALSE(none.IsReady());
    EXPECT_EQ(none.AddItem("C:\\A.EXE", "A"), 1u);
    none.Release();
    EXPECT_TRUE(server.Received().empty());
    EXPECT_EQ(hostwin::DdeInstanceCount(), 0u);
}

TEST(HostProgman, DdeLibraryBehavesLikeTheSystems) {
    Scratch scratch;
    DWORD instance = 0;
    ASSERT_EQ(DdeInitializeA(&instance, NoAnswer, APPCMD_CLIENTONLY, 0), UINT(DMLERR_NO_ERROR));
    // String handles work like atoms: one per text whatever its case, counted.
    HSZ a = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ b = DdeCreateStringHandleA(instance, "progman", CP_WINANSI);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(DdeFreeStringHandle(instance, a));
    EXPECT_EQ(hostwin::DdeStringHandleCount(), 1u);
    HSZ other = DdeCreateStringHandleA(instance, "WinWord", CP_WINANSI);
    EXPECT_EQ(DdeConnect(instance, other, b, nullptr), nullptr);
    EXPECT_EQ(DdeGetLastError(instance), UINT(DMLERR_NO_CONV_ESTABLISHED));
    EXPECT_EQ(DdeGetLastError(instance), UINT(DMLERR_NO_ERROR));

    HCONV conversation = DdeConnect(instance, b, b, nullptr);
    ASSERT_NE(conversation, nullptr);
    char text[] = "[CreateGroup(G)]";
    DWORD status = 0;
    EXPECT_EQ(DdeClientTransaction(reinterpret_cast<BYTE*>(text), sizeof text, conversation, 0,
                                   CF_TEXT, 0x20b0 /* XTYP_REQUEST */, 1000, &status),
              nullptr);
    EXPECT_EQ(DdeGetLastError(instance), UINT(DMLERR_NOTPROCESSED));
    EXPECT_NE(DdeClientTransaction(reinterpret_cast<BYTE*>(text), sizeof text, conversation, 0,
                                   CF_TEXT, XTYP_EXECUTE, 1000, &status),
              nullptr);
    EXPECT_EQ(status, DWORD(DDE_FACK));
    EXPECT_TRUE(DdeDisconnect(conversation));
    EXPECT_FALSE(DdeDisconnect(conversation));
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_EQ(hostwin::DdeStringHandleCount(), 0u);
    EXPECT_EQ(DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI), nullptr);
}

} // namespace
