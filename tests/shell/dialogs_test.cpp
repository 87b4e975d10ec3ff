// The dialog logic shared by both front ends, driven through a scripted
// front end: the id mapping, message composition, the abort confirmation
// loops, the destination prompt with directory creation, the disk prompt,
// welcome and options, and the progress percentages.
#include "dialog_front_end.h"
#include "engine_ui.h"
#include "language.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"
#include "setup_state.h"
#include "support/scratch.h"
#include "support/scripted_front_end.h"
#include "welcome_options.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace {

typedef ScriptedFrontEnd::Reply Reply;

std::string g_proposal; // what the destination prompt proposes

int TestProposal(char* output, int) {
    std::strcpy(output, g_proposal.c_str());
    return 1;
}

struct Dialogs : ::testing::Test {
    ScriptedFrontEnd ui;
    HWND owner = nullptr;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&ui);
        SetDefaultProgramDirHook(TestProposal);
        DestinationDir[0] = 0;
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetDefaultProgramDirHook(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    static Reply Press(int button) { return Reply{button}; }
    static Reply Type(const std::string& text, int button = 1) {
        return Reply{button, {{IDC_DIRECTORY_EDIT, text}}};
    }
};

// The English-only dialogs (132, 311) are loaded by their own ids, never
// through the mapping, which would move 132 like any id of 100 to 200.
TEST_F(Dialogs, IdsMapToTheResourcesOfTheLanguageInForce) {
    const struct {
        int id, english, base;
    } cases[] = {{13, 1013, 13},    {109, 309, 109},  {200, 400, 200},   {201, 201, 201},
                 {10006, 1013, 13}, {10001, 1008, 8}, {20002, 304, 104}, {20006, 314, 114},
                 {99, 1099, 99},    {100, 300, 100},  {132, 332, 132},   {311, 311, 311}};
    for (const auto& c : cases) {
        SetLanguageCode(LanguageEnglish);
        EXPECT_EQ(MapResourceId(c.id), c.english) << c.id;
        SetLanguageCode(LanguageBulgarian);
        EXPECT_EQ(MapResourceId(c.id), c.base) << c.id;
    }
    EXPECT_EQ(MapSymbolicId(MsgCopyFailed), 11);
    EXPECT_EQ(MapSymbolicId(10010), 10010) << "not a symbolic id";
    EXPECT_EQ(MapSymbolicId(20005), 106);
}

TEST_F(Dialogs, MessagesAreComposedOnlyWithTextsAndNeverPastTheirBuffer) {
    ui.replies = {Press(1), Press(1), Press(1), Press(1), Press(1), Press(1)};
    ShowMessage(owner, MsgFileNotFound);
    EXPECT_EQ(ui.log.back(), "305: The file %s could not be found!") << "no text: as it stands";
    ShowMessageText(owner, IDS_INSTALL_TERMINATED, "extra");
    EXPECT_EQ(ui.log.back(), "305: Installation will be terminated!");
    ShowMessageTexts(owner, IDS_COPY_FAILED, "", "second");
    EXPECT_EQ(ui.log.back(), "305: Can't copy the file %s to the directory:\n %s")
        << "a second text counts only after a first";
    ShowMessageText(owner, IDS_COPY_FAILED, "a.txt");
    EXPECT_EQ(ui.log.back(), "305: Can't copy the file a.txt to the directory:\n ")
        << "a missing text is empty";
    ShowMessageText(owner, IDS_FILE_NOT_FOUND, "%s%n%d%%.txt");
    EXPECT_EQ(ui.log.back(), "305: The file %s%n%d%%.txt could not be found!")
        << "the user's text is never a format";
    ShowMessageTexts(owner, IDS_COPY_FAILED, std::string(300, 'a').c_str(),
                     std::string(300, 'b').c_str());
    std::string cut = "Can't copy the file " + std::string(235, 'a');
    EXPECT_EQ(ui.log.back(), "305: " + cut);
    EXPECT_EQ(messageRequest.text[0], 0) << "texts emptied afterwards";
    EXPECT_EQ(messageRequest.messageId, IDS_COPY_FAILED) << "the id stays";

    std::string path = "C:\\" + std::string(251, 'D');
    ui.replies = {Press(2)};
    EXPECT_EQ(AskMessageText(owner, IDS_ASK_CREATE_DIRECTORY, path.c_str(), 1), 2);
    std::string asked = ui.shown.back().Text(IDC_MESSAGE_TEXT);
    EXPECT_EQ(asked.size(), 255u);
    EXPECT_EQ(asked, std::string("Do you want to create the directory:" + path).substr(0, 255));
}

TEST_F(Dialogs, QuestionsPreselectTheirDefaultAndForgetItAfterwards) {
    ui.replies = {Press(1), Press(2), Press(2)};
    EXPECT_EQ(AskMessage(owner, IDS_RESTART_NOW, 0), 1);
    EXPECT_EQ(ui.shown.back().templateId, 304);
    EXPECT_EQ(ui.shown.back().defaultButton, 1) << "0 means the first button";
    EXPECT_EQ(ui.shown.back().messageId, IDS_RESTART_NOW);
    EXPECT_EQ(AskMessage(owner, MsgAbortConfirm, 2), 2);
    EXPECT_EQ(ui.shown.back().defaultButton, 2);
    EXPECT_EQ(ui.shown.back().messageId, IDS_ABORT_CONFIRM);
    EXPECT_EQ(messageRequest.defaultButton, 0);
    ShowMessage(owner, IDS_INSTALL_SUCCESSFUL);
    EXPECT_EQ(ui.shown.back().defaultButton, 0) << "a message keeps its template's default";
    EXPECT_EQ(AskMessage(owner, IDS_ABORT_CONFIRM, 2), -1) << "a question that cannot be created";

    SetLanguageCode(LanguageBulgarian);
    ui.replies = {Press(1)};
    ShowMessage(owner, MsgWindowTitle);
    EXPECT_EQ(ui.shown.back().templateId, 105);
    EXPECT_STRNE(ui.shown.back().Text(IDC_MESSAGE_TEXT), "Brivanta 98 Setup");
    EXPECT_NE(ui.shown.back().Text(IDC_MESSAGE_TEXT)[0], 0);
}

TEST_F(Dialogs, CancelledWelcomeComesBackUntilTheAbortIsConfirmed) {
    // Exit, then "&Cancel" in the confirmation: the welcome again; Continue.
    ui.replies = {Press(2), Press(2), Press(1)};
    EXPECT_EQ(ShowWelcome(owner), Ok);
    ASSERT_EQ(ui.log.size(), 3u);
    EXPECT_EQ(ui.shown[0].templateId, IDD_WELCOME);
    EXPECT_EQ(ui.log[1], "304: Are you sure you want to abort the installation?");
    EXPECT_EQ(ui.shown[1].defaultButton, 2);
    EXPECT_EQ(ui.shown[2].templateId, IDD_WELCOME);

    ui.replies = {Press(2), Press(1)};
    EXPECT_EQ(ShowWelcome(owner), Abort);
    ui.replies = {Press(2)}; // the confirmation cannot be shown: abort, no endless loop
    EXPECT_EQ(ShowWelcome(owner), Abort);
    ui.replies = {};
    EXPECT_EQ(ShowWelcome(owner), Ok) << "a welcome that cannot be shown lets the run go on";
    ui.replies = {Reply{1, {}, {}, {IDC_CHANGE_DIRECTORY, 57}}};
    EXPECT_EQ(ShowWelcome(owner), Ok) << "other commands do nothing";
}

TEST_F(Dialogs, OptionsFollowTheCheckBoxesAndKeepThemAcrossACancel) {
    std::strcpy(DestinationDir, "C:\\VELMOR\\BRIVANTA");
    SetupOptions.DunorU = 0;
    ui.replies = {Reply{2, {}, {{IDC_KEYBOARD_BDS, false}}}, Press(2),
                  Reply{1, {}, {{IDC_DUNORU, false}}}};
    EXPECT_EQ(ShowOptions(owner), Ok);
    ASSERT_EQ(ui.shown.size(), 3u);
    const DialogState& first = ui.shown[0];
    EXPECT_EQ(first.templateId, IDD_OPTIONS);
    for (int box : {IDC_UNITED_STATES, IDC_KEYBOARD_BDS, IDC_KEYBOARD_PHONETIC, IDC_LANGUAGE_DRIVER,
                    IDC_DOS_FILTER, IDC_SYSTEM_FONTS, IDC_DUNORU, IDC_ARVELU})
        EXPECT_EQ(first.Check(box), 1) << "every option starts chosen: " << box;
    EXPECT_STREQ(first.Text(IDC_DIRECTORY_TEXT), "C:\\VELMOR\\BRIVANTA");
    const DialogState& again = ui.shown[2];
    EXPECT_EQ(again.Check(IDC_KEYBOARD_BDS), 0) << "as the user left it";
    EXPECT_EQ(again.Check(IDC_KEYBOARD_PHONETIC), 1);
    EXPECT_STREQ(again.Text(IDC_DIRECTORY_TEXT), "C:\\VELMOR\\BRIVANTA");
    EXPECT_EQ(SetupOptions.KeyboardBds, 0u);
    EXPECT_EQ(SetupOptions.DunorU, 0u);
    EXPECT_EQ(SetupOptions.KeyboardPhonetic + SetupOptions.LanguageDriver + SetupOptions.DosFilter +
                  SetupOptions.SystemFonts + SetupOptions.ArvelU,
              5u);

    ui.replies = {Press(2), Press(1)};
    EXPECT_EQ(ShowOptions(owner), Abort);
    ui.replies = {};
    EXPECT_EQ(ShowOptions(owner), Ok);
    EXPECT_EQ(SetupOptions.DunorU, 1u) << "a dialog that cannot be shown changes nothing";
}

TEST_F(Dialogs, ChangeInTheOptionsProposesTheDefaultAgainAndCancelKeepsTheDirectory) {
    Scratch scratch;
    std::string tools = scratch.Path("TOOLS");
    ASSERT_TRUE(Scratch::MakeDir(tools));
    g_proposal = scratch.Path("velmor");
    std::strcpy(DestinationDir, "C:\\CHOSEN");
    // Change, type TOOLS and accept; then Change again and cancel; then OK.
    ui.replies = {Reply{1, {}, {}, {IDC_CHANGE_DIRECTORY, IDC_CHANGE_DIRECTORY}}, Type(tools),
                  Press(2)};
    EXPECT_EQ(ShowOptions(owner), Ok);
    ASSERT_EQ(ui.shown.size(), 3u);
    std::string upper = g_proposal;
    for (char& c : upper)
        c = char(std::toupper(c));
    EXPECT_STREQ(ui.shown[1].Text(IDC_DIRECTORY_EDIT), (upper + "\\").c_str())
        << "the default, not C:\\CHOSEN";
    EXPECT_STREQ(ui.shown[1].Text(IDC_PROMPT_SECOND_LINE),
                 "If this directory contains any Brivanta files, they will be overwritten.");
    EXPECT_STREQ(ui.shown[2].Text(IDC_DIRECTORY_EDIT), (upper + "\\").c_str())
        << "again from the default";
    EXPECT_EQ(DestinationDir, tools + "\\") << "the cancelled prompt restored it";
}

struct Destination : Dialogs {
    Scratch scratch;
    void SetUp() override {
        Dialogs::SetUp();
        g_proposal = scratch.Path("Velmor");
    }
};

TEST_F(Destination, TypedDirectoriesAreTidiedAndExistingOnesAccepted) {
    ASSERT_TRUE(Scratch::MakeDir(scratch.Path("PROGRAMS")));
    ASSERT_TRUE(Scratch::MakeDir(scratch.Path("PROGRAMS\\TOOLS")));
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("FILE"), "x"));
    std::string tools = scratch.Path("PROGRAMS\\TOOLS");
    const std::pair<std::string, std::string> cases[] = {
        {tools + "\\", tools},
        {tools + "   ", tools},
        {scratch.Path("FILE"), scratch.Path("FILE")}};
    for (const auto& c : cases) {
        const std::string& typed = c.first;
        ui.replies = {Type(typed)};
        EXPECT_EQ(AskDestinationDirectory(owner, true), Ok) << typed;
        EXPECT_EQ(ui.log.size(), 1u) << "no question for an existing name";
        EXPECT_EQ(DestinationDir, c.second);
        EXPECT_EQ(ui.shown[0].templateId, 310);
        EXPECT_STREQ(ui.shown[0].Text(IDC_PROMPT_LINE), "Enter Brivanta destination directory.");
        ui.log.clear();
        ui.shown.clear();
    }
}

TEST_F(Destination, MissingLevelsAreCreatedAfterTheQuestion) {
    ASSERT_TRUE(Scratch::MakeDir(scratch.Path("A")));
    std::string c = scratch.Path("A\\B\\C");
    // "&Cancel" to the question brings the prompt back; then "&OK" creates.
    ui.replies = {Type(c), Press(2), Type(c), Press(1)};
    EXPECT_EQ(AskDestinationDirectory(owner, true), Ok);
    ASSERT_EQ(ui.log.size(), 4u);
    EXPECT_EQ(ui.log[1], "304: Do you want to create the directory:" + c + "?");
    EXPECT_EQ(ui.shown[1].defaultButton, 1);
    EXPECT_STREQ(ui.shown[2].Text(IDC_DIRECTORY_EDIT), c.c_str())
        << "the prompt shows the text as typed";
    EXPECT_TRUE(Scratch::Exists(scratch.Path("A\\B")));
    EXPECT_TRUE(Scratch::Exists(c));
    EXPECT_EQ(DestinationDir, c);
}

// A name without a drive root would be taken in the current directory,
// which on a real machine is the floppy.
TEST_F(Destination, EmptyWildcardAndRelativeNamesAreNotValid) {
    for (const std::string& typed :
         {std::string(""), std::string("   "), std::string("\\"), scratch.Path("*"),
          scratch.Path("A?C"), std::string("relative\\dir"), std::string("C:relative"),
          std::string("\\\\server\\share\\dir"), scratch.Path("A|B")}) {
        ui.replies = {Type(typed), Press(1), Type(scratch.Dir())};
        ui.log.clear();
        EXPECT_EQ(AskDestinationDirectory(owner, true), Ok) << typed;
        ASSERT_EQ(ui.log.size(), 3u) << typed;
        EXPECT_EQ(ui.log[1], "305: This is not a  valid directory name!") << typed;
    }
}

TEST_F(Destination, CancelAsksToAbortAndKeepsWhatWasTyped) {
    ui.replies = {Type("C:\\HALF", 2), Press(2), Press(2), Press(1)};
    EXPECT_EQ(AskDestinationDirectory(owner, true), Abort);
    ASSERT_EQ(ui.shown.size(), 4u);
    EXPECT_STREQ(ui.shown[2].Text(IDC_DIRECTORY_EDIT), "C:\\HALF");
    ui.replies = {Press(2)}; // confirmation cannot be shown
    EXPECT_EQ(AskDestinationDirectory(owner, true), Abort);
}

TEST_F(Destination, TheRootNeedsNothingAndAFileInTheWayFails) {
    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    EXPECT_TRUE(CreateDirectoryPath("C:\\", &security));
    EXPECT_TRUE(CreateDirectoryPath("C:", &security));
    ASSERT_TRUE(Scratch::WriteFile(scratch.Path("F"), "x"));
    EXPECT_FALSE(CreateDirectoryPath(scratch.Path("F\\G\\H").c_str(), &security))
        << "a file stands in the way";
}

TEST_F(Dialogs, PromptsShowTheirLinesAndHandBackTheTextCut) {
    ui.replies = {Type("D:\\DISK2", 2)};
    char buffer[256] = "A:\\";
    EXPECT_EQ(PromptDisk(owner, MsgInsertDisk, "~Disk 2", buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "D:\\DISK2") << "handed back on Cancel too";
    EXPECT_EQ(ui.log.back(), "309: Put the Disk 2 in the drive (or type new directory).");
    EXPECT_EQ(ui.shown.back().focus, IDC_DIRECTORY_EDIT);
    EXPECT_STREQ(ui.shown.back().argument, "Disk 2");
    EXPECT_EQ(promptRequest.argument[0], 0);

    ui.replies = {Type(std::string(300, 'x'))};
    EXPECT_EQ(PromptDirectory(owner, MsgEnterSourceDir, 0, buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), std::string(254, 'x')) << "the edit gives 254 at most";
    EXPECT_EQ(ui.log.back(), "309: Enter source directory.");
    char small[6] = "A:\\";
    ui.replies = {Type("C:\\LONGER")};
    EXPECT_EQ(PromptDirectory(owner, IDS_ENTER_SOURCE_DIR, 0, small, sizeof small), 1);
    EXPECT_STREQ(small, "C:\\LO");

    // Browse starts from the opening text, not what was typed, and fills the edit.
    ui.browse = {"C:\\PICKED"};
    ui.replies = {Reply{1, {{IDC_DIRECTORY_EDIT, "typed"}}, {}, {IDC_BROWSE_BUTTON}}};
    std::strcpy(buffer, "C:\\START\\");
    EXPECT_EQ(PromptDirectory(owner, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "C:\\PICKED\\");
    ui.replies = {
        Reply{1, {{IDC_DIRECTORY_EDIT, "typed"}}, {}, {IDC_BROWSE_BUTTON}}}; // browser cancelled
    EXPECT_EQ(PromptDirectory(owner, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "typed");
}

TEST_F(Dialogs, ProgressShowsEachPercentOnceAndNeverGoesBack) {
    ASSERT_TRUE(OpenProgressWindow(owner, 8, MsgAbortConfirm));
    EXPECT_EQ(ui.progressLog.back(), "open 306");
    for (int done = 1; done <= 8; ++done)
        EXPECT_EQ(UpdateProgress(done), 1);
    EXPECT_EQ(ui.drawn, (std::vector<int>{12, 25, 37, 50, 62, 75, 87, 100}));
    ASSERT_TRUE(OpenProgressWindow(owner, 8, MsgAbortConfirm));
    UpdateProgress(5);
    UpdateProgress(2);
    UpdateProgress(9);
    UpdateProgress(0);
    EXPECT_EQ(progressState.shownPercent, 62);
    EXPECT_EQ(ui.drawn.back(), 62);
    char text[16];
    FormatPercent(text, sizeof text, 37);
    EXPECT_STREQ(text, "37 %");
    EXPECT_EQ(CloseProgressWindow(), 1);
    EXPECT_EQ(ui.progressLog.back(), "close");
    EXPECT_EQ(UpdateProgress(1), 0) << "no window";

    ASSERT_TRUE(OpenProgressWindow(owner, 0, MsgAbortConfirm));
    EXPECT_EQ(UpdateProgress(1), 0) << "no total";
    ui.progressOpens = false;
    EXPECT_EQ(OpenProgressWindow(owner, 8, MsgAbortConfirm), nullptr);
}

TEST_F(Dialogs, ProgressCancelAsksWithOkPreselectedAndStopsForGood) {
    ASSERT_TRUE(OpenProgressWindow(owner, 4, MsgAbortConfirm));
    ui.cancelPresses = {true};
    EXPECT_EQ(UpdateProgress(1), 1) << "a question that cannot be shown confirms nothing";
    ui.cancelPresses = {true, true};
    ui.replies = {Press(2), Press(1)};
    EXPECT_EQ(UpdateProgress(1), 1) << "\"&Cancel\" in the question: go on";
    EXPECT_EQ(ui.shown.back().defaultButton, 1);
    EXPECT_EQ(ui.log.back(), "304: Are you sure you want to abort the installation?");
    EXPECT_EQ(UpdateProgress(2), 0);
    size_t drawings = ui.drawn.size();
    EXPECT_EQ(UpdateProgress(3), 0);
    EXPECT_EQ(ui.drawn.size(), drawings) << "nothing drawn after the cancel";
    EXPECT_EQ(CloseProgressWindow(), 0) << "the window stays";
    EXPECT_EQ(ui.progressLog.back(), "open 306");
}

} // namespace
