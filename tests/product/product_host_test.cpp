// Host-only cases of the product layer: failures the emulated machine can
// force (a write that fills the disk, a create that fails), the setup
// program's own path, a Windows folder at a drive's root, and what the
// windows of other programs received and how often they were looked for,
// the opening hook (caption, dialogs, font extension, layout) and the
// finishing hook (Program Manager commands, the program started, messages).
#include "product/product_machine.h"

#include "fonts.h"
#include "keyboard.h"
#include "language.h"
#include "messages.h"
#include "product_installer.h"
#include "product_script.h"
#include "product_state.h"
#include "support/scripted_front_end.h"
#include "support/scripted_ui.h"
#include "support/test_script.h"

#include "platform/host_testing.h"

#include <gtest/gtest.h>
#include <cstring>

namespace {

// The product's copy hooks over the test's script, without the dialogs that
// open a real run.
class CopyingInstaller : public ProductInstaller {
  public:
    CopyingInstaller() : ProductInstaller(nullptr) {}
    ResultCode Initialize() override { return Ok; }
};

struct HostInstaller : ::testing::Test {
    ProductMachine m;
    ScriptedUi engineUi;
    ScriptedFrontEnd dialogs;
    std::string text;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&dialogs);
        SharedDir[0] = 0;
        ASSERT_TRUE(Scratch::MakeDir("C:\\SETUP"));
        ASSERT_TRUE(Scratch::MakeDir("C:\\TARGET"));
        hostwin::SetModuleFileName("C:\\SETUP\\SETUP.EXE");
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    ResultCode Run(const std::string& files, ProductInstaller* installer = nullptr) {
        text = "Paths:~Disk 1=A:\\\r\n:TGT=C:\\TARGET\\\r\n" + files + "\r\nEnd:";
        ProductScript script(text.data(), unsigned(text.size()));
        CopyingInstaller own;
        ProductInstaller* engine = installer ? installer : &own;
        engine->SetUi(&engineUi);
        engine->SetScript(&script);
        ResultCode r = engine->Run();
        engine->Paths().Clear();
        engine->Files().Clear();
        engine->Deletes().Clear();
        return r;
    }
};

TEST_F(HostInstaller, AHalfWrittenNewLayoutOrFontIsDeletedAndAnOldOneKeptWhenSkipped) {
    // Writes carry no path: the rules count every write of the run.
    std::string big = TestBytes(5000);
    for (const char* f : {"arvu.ttf", "cp.nls", "b.txt"})
        ASSERT_TRUE(Scratch::WriteFile(std::string("C:\\SETUP\\") + f, big));
    hostwin::AddFault({hostwin::FaultOp::Write, 2, "", hostwin::FaultKind::ShortWrite});
    EXPECT_EQ(Run("Files:|~Disk 1|arvu.ttf,|TGT|arvu.ttf\r\n:|~Disk 1|b.txt,|TGT|b.txt"), Ok);
    EXPECT_EQ(hostwin::TriggeredFaults().size(), 1u);
    EXPECT_FALSE(Scratch::Exists("C:\\TARGET\\arvu.ttf")) << "no truncated font is left";
    EXPECT_EQ(Scratch::ReadFile("C:\\TARGET\\b.txt"), big) << "the run went on";

    hostwin::ClearFaults();
    ASSERT_TRUE(Scratch::WriteFile("C:\\TARGET\\cp.nls", "the old code page"));
    hostwin::AddFault({hostwin::FaultOp::Write, 1, "", hostwin::FaultKind::ShortWrite});
    EXPECT_EQ(Run("Files:|~Disk 1|cp.nls,|TGT|cp.nls"), Ok);
    EXPECT_EQ(hostwin::TriggeredFaults().size(), 1u);
    EXPECT_EQ(Scratch::ReadFile("C:\\TARGET\\cp.nls"), "the old code page");
    EXPECT_TRUE(dialogs.log.empty());
}

TEST_F(HostInstaller, ACreateFailureOnALayoutIsSkippedAndTheOldFileStays) {
    ASSERT_TRUE(Scratch::WriteFile("C:\\SETUP\\us.kbd", "new layout"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\TARGET\\us.kbd", "layout in use"));
    char spare[FileEntry::SpareNameSize]; // where the new content would go
    FileEntry::SpareName("us.kbd", FileEntry::NewContent, spare);
    hostwin::AddFault({hostwin::FaultOp::Create, 1, spare});
    EXPECT_EQ(Run("Files:|~Disk 1|us.kbd,|TGT|us.kbd"), Ok);
    EXPECT_EQ(Scratch::ReadFile("C:\\TARGET\\us.kbd"), "layout in use");
    EXPECT_TRUE(dialogs.log.empty());
}

TEST_F(HostInstaller, AWriteFailureOnAProgramFileAbortsWithBothMessages) {
    ASSERT_TRUE(Scratch::WriteFile("C:\\SETUP\\bvsc.dl_", TestBytes(3000)));
    hostwin::AddFault({hostwin::FaultOp::Write, 1, "", hostwin::FaultKind::ShortWrite});
    EXPECT_EQ(Run("Files:|~Disk 1|bvsc.dl_,|TGT|bvsc.dll"), Abort);
    ASSERT_EQ(dialogs.log.size(), 2u);
    EXPECT_NE(dialogs.log[0].find("Can't copy the file bvsc.dll to the directory:\n C:\\TARGET\\"),
              std::string::npos);
    EXPECT_NE(dialogs.log[1].find("Close all opened programs"), std::string::npos);
}

TEST_F(HostInstaller, TheFirstDiskIsTheFolderOfTheSetupProgram) {
    const struct {
        const char* module;
        const char* disk;
    } cases[] = {{"C:\\setup\\disk1\\SETUP.EXE", "C:\\SETUP\\DISK1\\"},
                 {"A:\\SETUP.EXE", "A:\\"},
                 {"SETUP.EXE", "\\"},
                 {"", "D:\\FROM SCRIPT\\"}}; // no name: the script's value stays
    for (const auto& c : cases) {
        hostwin::SetModuleFileName(c.module);
        ProductInstaller installer(nullptr);
        PathEntry disk(&installer.Paths(), "~disk 1", "D:\\FROM SCRIPT\\");
        EXPECT_EQ(installer.PathAdded(&disk), Ok);
        EXPECT_STREQ(disk.Directory(), c.disk) << c.module;
    }
}

TEST(ProductHost, AWindowsFolderAtTheRootGetsNoSecondBackslash) {
    ProductMachine m;
    hostwin::SetWindowsDirectory("C:\\");
    char dir[MAX_PATH];
    FontsDirectory(dir, sizeof dir);
    EXPECT_STREQ(dir, "C:\\FONTS");
    EXPECT_EQ(DefaultProgramDir(dir, 1), 1);
    EXPECT_STREQ(dir, "C:\\VELMOR");
    ASSERT_TRUE(Scratch::MakeDir("C:\\FONTS"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\FONTS\\x.001", ""));
    ChooseFontExtension();
    EXPECT_STREQ(FontExtension, "002");
    hostwin::SetWindowsDirectory("");
    FontsDirectory(dir, sizeof dir);
    EXPECT_STREQ(dir, "C:\\WINDOWS\\FONTS");
    FontExtension[0] = 0;
}

TEST(ProductHost, RunningVersionsAreSentTheirMessageSynchronouslyOldestFirst) {
    ProductMachine m;
    hostwin::AddWindow("Brivanta 3.2 Main Window");
    hostwin::AddWindow("Brivanta 3.0 Main Window");
    unsigned before = hostwin::FindWindowCount();
    NotifyRunningVersions();
    EXPECT_EQ(hostwin::FindWindowCount() - before, 3u);
    const auto& sent = hostwin::WindowMessages();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].className, "Brivanta 3.0 Main Window");
    EXPECT_EQ(sent[1].className, "Brivanta 3.2 Main Window");
    for (const auto& s : sent) {
        EXPECT_FALSE(s.posted);
        EXPECT_EQ(s.message, 1025u);
        EXPECT_EQ(s.wParam, 101u);
    }
}

TEST(ProductHost, AnIndicatorThatStaysIsLookedForAThousandTimesAndTheRestGoesOn) {
    ProductMachine m;
    std::string program = SystemDir() + "internat.exe";
    ASSERT_TRUE(Scratch::WriteFile(program, "indicator"));
    HWND stubborn = hostwin::AddWindow("Indicator", "", true);
    unsigned before = hostwin::FindWindowCount();
    EXPECT_TRUE(DisableLayoutIndicator());
    EXPECT_EQ(hostwin::FindWindowCount() - before, 1u + 1000u);
    EXPECT_TRUE(IsWindow(stubborn));
    EXPECT_TRUE(Scratch::Exists(SystemDir() + "internat.ex$"));

    // A second one that does close is found first, being the newest.
    HWND closing = hostwin::AddWindow("indicator"); // class names in any case
    before = hostwin::FindWindowCount();
    DisableLayoutIndicator();
    EXPECT_FALSE(IsWindow(closing));
    EXPECT_TRUE(IsWindow(stubborn));
    EXPECT_EQ(hostwin::FindWindowCount() - before, 1u + 1000u);
}

TEST(ProductHost, AClosingIndicatorIsLookedForOnceMore) {
    ProductMachine m;
    HWND indicator = hostwin::AddWindow("Indicator");
    unsigned before = hostwin::FindWindowCount();
    EXPECT_TRUE(DisableLayoutIndicator()) << "no program file: 1";
    EXPECT_EQ(hostwin::FindWindowCount() - before, 2u);
    EXPECT_FALSE(IsWindow(indicator));
}

} // namespace

namespace {

typedef ScriptedFrontEnd::Reply Reply;

// The finishing hook after a run of a small script whose program file is
// copied to C:\TARGET; the dialogs and Program Manager are the host's.
struct Finishing : ::testing::Test {
    ProductMachine m;
    ScriptedUi engineUi;
    ScriptedFrontEnd dialogs;
    std::string text;
    CopyingInstaller installer;
    ProductScript* script = nullptr;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&dialogs);
        SetupOptions = {};
        SharedDir[0] = 0;
        ASSERT_TRUE(Scratch::MakeDir("C:\\SETUP"));
        ASSERT_TRUE(Scratch::MakeDir("C:\\TARGET"));
        ASSERT_TRUE(Scratch::WriteFile("C:\\SETUP\\main.ex_", "program"));
        hostwin::SetModuleFileName("C:\\SETUP\\SETUP.EXE");
        installer.SetUi(&engineUi);
    }
    void TearDown() override {
        installer.Paths().Clear();
        installer.Files().Clear();
        installer.Deletes().Clear();
        delete script;
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    ResultCode RunCopying(const char* programName) {
        text = std::string(
                   "Paths:~Disk 1=A:\\\r\n:TGT=C:\\TARGET\\\r\nFiles:|~Disk 1|main.ex_,|TGT|") +
               programName + "\r\nEnd:";
        script = new ProductScript(text.data(), unsigned(text.size()));
        installer.SetScript(script);
        ResultCode r = installer.Run();
        hostwin::ClearProgmanCommands();
        return r;
    }
    std::vector<std::string> Commands() const {
        std::vector<std::string> sent;
        for (const hostwin::ProgmanCommand& c : hostwin::ProgmanCommands())
            sent.push_back(c.text);
        return sent;
    }
};

const char kRestartQuestion[] = "304: You must restart your computer before new settings will "
                                "take effect.\n Do you want to restart your computer now?";

TEST_F(Finishing, TheItemGoesToBothGroupsThenTheProgramStartsThenTheRestartIsOffered) {
    ASSERT_EQ(RunCopying("brivanta.exe"), Ok);
    dialogs.replies = {Reply{2}, Reply{1}};
    EXPECT_EQ(installer.Finish(Ok), Ok);

    const std::string add = "[AddItem(C:\\TARGET\\brivanta.exe,Brivanta 3.2)]";
    std::vector<std::string> expected = {
        "[ShowGroup(Velmor Applications, 4)]", "[CreateGroup(Velmor Applications)]",
        "[ShowGroup(Velmor Applications, 1)]", "[ReplaceItem(Brivanta 3.2)]", add};
    for (const char* old : {"BV Control Panel", "BV Panel Help", "BV ReadMe", "BV Tutorial",
                            "Brivanta 3.0", "Brivanta 3.1"}) {
        expected.push_back("[ShowGroup(Velmor Applications, 1)]");
        expected.push_back(std::string("[DeleteItem(") + old + ")]");
    }
    for (const char* line :
         {"[ShowGroup(Velmor Applications, 4)]", "[ShowGroup(Velmor Applications, 6)]",
          "[ShowGroup(Velmor Applications, 4)]", "[Reload(Velmor Applications)]",
          "[ShowGroup(StartUp, 4)]", "[CreateGroup(StartUp)]", "[ShowGroup(StartUp, 1)]",
          "[ReplaceItem(Brivanta 3.2)]"})
        expected.push_back(line);
    expected.push_back(add);
    for (const char* old : {"Brivanta 3.0", "Brivanta 3.1"}) {
        expected.push_back("[ShowGroup(StartUp, 1)]");
        expected.push_back(std::string("[DeleteItem(") + old + ")]");
    }
    for (const char* line :
         {"[ShowGroup(StartUp, 6)]", "[ShowGroup(StartUp, 4)]", "[Reload(StartUp)]"})
        expected.push_back(line);
    EXPECT_EQ(Commands(), expected);

    ASSERT_EQ(hostwin::ShellStarts().size(), 1u);
    const hostwin::ShellStart& start = hostwin::ShellStarts()[0];
    EXPECT_EQ(start.operation, "open");
    EXPECT_EQ(start.file, "C:\\TARGET\\brivanta.exe");
    EXPECT_EQ(start.parameters, "1");
    EXPECT_EQ(start.directory, "");
    EXPECT_EQ(start.show, SW_SHOWNORMAL);
    EXPECT_EQ(dialogs.log,
              (std::vector<std::string>{kRestartQuestion, "305: Installation was successful!"}));
    EXPECT_FALSE(installer.RestartRequested());
}

// Notes, as each dialog opens, how many raise calls the machine has seen.
struct RaiseCountingFrontEnd : ScriptedFrontEnd {
    std::vector<size_t> raisesBefore;
    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override {
        raisesBefore.push_back(hostwin::RaiseCalls().size());
        return ScriptedFrontEnd::RunDialog(owner, state, commands);
    }
};

TEST_F(Finishing, TheMainWindowIsRaisedBeforeDestinationAndOptionsAndAfterProgramManager) {
    HWND main = hostwin::AddWindow("KX Installer");
    RaiseCountingFrontEnd seen;
    SetFrontEnd(&seen);
    // Welcome, destination, the new directory's question, options: brought to
    // the top before the destination prompt and before the options.
    seen.replies = {Reply{1}, Reply{1}, Reply{1}, Reply{1}};
    ProductInstaller opening(nullptr);
    opening.SetOwnerWindow(main);
    ASSERT_EQ(opening.Initialize(), Ok);
    EXPECT_EQ(seen.raisesBefore, (std::vector<size_t>{0, 1, 1, 2}));
    for (const hostwin::RaiseCall& r : hostwin::RaiseCalls())
        EXPECT_TRUE(r.call == "BringWindowToTop" && r.window == main) << r.call;
    FontExtension[0] = 0;
    SetupOptions = {};

    // To the foreground after each Program Manager command that worked (and
    // after the probe, which did not), and before the restart question.
    installer.SetOwnerWindow(main);
    ASSERT_EQ(RunCopying("brivanta.exe"), Ok);
    const size_t from = hostwin::RaiseCalls().size();
    seen.replies = {Reply{2}, Reply{1}};
    seen.raisesBefore.clear();
    EXPECT_EQ(installer.Finish(Ok), Ok);
    std::vector<std::string> after; // the command each raise came after
    for (size_t i = from; i < hostwin::RaiseCalls().size(); ++i) {
        const hostwin::RaiseCall& r = hostwin::RaiseCalls()[i];
        EXPECT_TRUE(r.call == "SetForegroundWindow" && r.window == main) << r.call;
        after.push_back(r.progmanCommandsBefore ? Commands()[r.progmanCommandsBefore - 1] : "");
    }
    const std::string add = "[AddItem(C:\\TARGET\\brivanta.exe,Brivanta 3.2)]";
    EXPECT_EQ(after,
              (std::vector<std::string>{"[ShowGroup(Velmor Applications, 4)]", // the probe
                                        "[ShowGroup(Velmor Applications, 4)]", // before the item
                                        "[CreateGroup(Velmor Applications)]", add,
                                        "[ShowGroup(Velmor Applications, 4)]",
                                        "[ShowGroup(Velmor Applications, 6)]",
                                        "[ShowGroup(Velmor Applications, 4)]", // the release
                                        "[Reload(Velmor Applications)]", "[ShowGroup(StartUp, 4)]",
                                        "[CreateGroup(StartUp)]", add, "[ShowGroup(StartUp, 6)]",
                                        "[ShowGroup(StartUp, 4)]", "[Reload(StartUp)]",
                                        "[Reload(StartUp)]"})); // before the question
    ASSERT_FALSE(seen.raisesBefore.empty());
    EXPECT_EQ(seen.raisesBefore[0], hostwin::RaiseCalls().size()) << "the question comes last";
}

TEST_F(Finishing, WithoutTheProgramNothingStartsYetTheQuestionComesAndOnlyResultThreeIsReported) {
    ASSERT_EQ(RunCopying("brivanta.ex_"), Ok);
    dialogs.replies = {Reply{1}, Reply{1}, Reply{1}};
    EXPECT_EQ(installer.Finish(Ok), Ok);
    EXPECT_TRUE(hostwin::ShellStarts().empty());
    for (const std::string& c : Commands())
        EXPECT_EQ(c.find("AddItem"), std::string::npos) << c;
    EXPECT_EQ(dialogs.log,
              (std::vector<std::string>{
                  "305: Brivanta can't be added to the program group:Velmor Applications!",
                  "305: Brivanta can't be added to the StartUp group!", kRestartQuestion}));
    EXPECT_TRUE(installer.RestartRequested()) << "the first button";

    dialogs.log.clear();
    hostwin::ClearProgmanCommands();
    dialogs.replies = {Reply{1}};
    EXPECT_EQ(installer.Finish(MalformedScript), MalformedScript);
    EXPECT_EQ(dialogs.log,
              (std::vector<std::string>{"305: There is an error in the installation files!"}));
    for (ResultCode other : {Abort, Skip, NotApplicable}) {
        EXPECT_EQ(installer.Finish(other), Ok) << other;
    }
    EXPECT_EQ(dialogs.log.size(), 1u) << "the others end without a word";
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(hostwin::ShellStarts().empty());
}

} // namespace

namespace {

// The opening hook with the host's dialogs: every dialog answered with its
// first button unless `options` changes the options dialog.
struct Opening : ::testing::Test {
    ProductMachine m;
    ScriptedFrontEnd dialogs;
    HWND main = nullptr;
    ProductInstaller installer{nullptr};

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageBulgarian);
        SetFrontEnd(&dialogs);
        FontExtension[0] = 0;
        main = hostwin::AddWindow("KX Installer");
        installer.SetOwnerWindow(main);
    }
    void TearDown() override {
        FontExtension[0] = 0;
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    // Welcome, destination, the new directory's question, options, and the
    // indicator's question when it comes.
    void Answer(const ScriptedFrontEnd::Reply& options) {
        dialogs.replies = {Reply{1}, Reply{1}, Reply{1}, options, Reply{2}};
    }
};

TEST_F(Opening, EnglishCaptionRunningVersionsDialogsFontExtensionKeyboardThenUsLayout) {
    hostwin::AddWindow("Brivanta 3.1 Main Window");
    hostwin::AddWindow("Indicator"); // running, not registered
    Answer(Reply{1});
    ASSERT_EQ(installer.Initialize(), Ok);
    EXPECT_EQ(hostwin::WindowText(main), "Brivanta 98 Setup");
    ASSERT_EQ(dialogs.log.size(), 5u);
    EXPECT_EQ(dialogs.log[1], "310: Enter Brivanta destination directory.");
    EXPECT_EQ(dialogs.log[4].find("304: A windows application which manipulates keyboard"), 0u)
        << "the keyboard step comes after the options";
    ASSERT_EQ(hostwin::WindowMessages().size(), 1u) << "the indicator was left running";
    EXPECT_EQ(hostwin::WindowMessages()[0].className, "Brivanta 3.1 Main Window");
    EXPECT_EQ(hostwin::WindowMessages()[0].message, 1025u);
    EXPECT_STREQ(FontExtension, "001") << "the system fonts are chosen by default";
    ASSERT_NE(installer.Script(), nullptr);
    EXPECT_EQ(installer.Script()->Status(), 0);
    EXPECT_EQ(hostwin::ActivatedKeyboardLayouts(), (std::vector<uintptr_t>{0x409}));
}

TEST_F(Opening, WithoutTheScriptResourceMessageFiveAndAbort) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), "FD");
    ASSERT_NE(found, nullptr);
    const hostwin::EmbeddedResource script = {
        "FD", 1, static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found))),
        SizeofResource(nullptr, found)};
    hostwin::UnregisterResource("FD", 1);
    Answer(Reply{1});
    ResultCode result = installer.Initialize();
    hostwin::RegisterResource(script);
    EXPECT_EQ(result, Abort);
    ASSERT_EQ(dialogs.log.size(), 5u);
    EXPECT_EQ(dialogs.log[4], "305: There is not enough memory to complete the operation!");
    EXPECT_TRUE(hostwin::ActivatedKeyboardLayouts().empty()) << "nothing after the message";
}

TEST_F(Opening, WithoutTheSystemFontsNoExtensionIsChosen) {
    Reply options;
    options.checks = {{IDC_SYSTEM_FONTS, false}};
    Answer(options);
    ASSERT_EQ(installer.Initialize(), Ok);
    EXPECT_EQ(SetupOptions.SystemFonts, 0u);
    EXPECT_STREQ(FontExtension, "");
    EXPECT_EQ(dialogs.log.size(), 4u) << "no indicator, no question";
}

} // namespace
