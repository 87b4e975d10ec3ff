// The terminal front end: answer files, dialogs printed from their
// templates and answered by keys, unattended answers with their transcript
// and the end of a run that would repeat a dialog forever, the progress bar
// and Ctrl-C; and the host program run with answer files.
#include "answer_file.h"
#include "engine_ui.h"
#include "language.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"
#include "setup_state.h"
#include "terminal_front_end.h"
#include "welcome_options.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(AnswerFile, ReadsSectionsKeysAndCommentsCaseInsensitively) {
    AnswerFile f;
    std::string error;
    ASSERT_TRUE(f.Parse("; answers\n[Welcome]\nResult=1   ; 1 Continue\n\n[Source]\n"
                        "Directory=D:\\DISK1\\\nDisk 2 = D:\\DISK2\\ \r\n[Questions]\n57=2\n",
                        &error))
        << error;
    std::string v;
    EXPECT_TRUE(f.Get("welcome", "RESULT", &v));
    EXPECT_EQ(v, "1");
    EXPECT_TRUE(f.Get("Source", "disk 2", &v));
    EXPECT_EQ(v, "D:\\DISK2\\");
    EXPECT_TRUE(f.Get("Questions", "57", &v));
    EXPECT_EQ(v, "2");
    EXPECT_FALSE(f.Get("Questions", "59", &v));
    f.Set("welcome", "Result", "2");
    f.Set("Options", "DunorU", "0");
    f.Set("Source", "Disk 3", "E:\\");
    EXPECT_EQ(f.Text(),
              "[Welcome]\nResult=2\n\n[Source]\nDirectory=D:\\DISK1\\\nDisk 2=D:\\DISK2\\\n"
              "Disk 3=E:\\\n\n[Questions]\n57=2\n\n[Options]\nDunorU=0\n");
    EXPECT_FALSE(f.Parse("[Welcome]\nResult\n", &error));
    EXPECT_EQ(error, "line 2: Result");
    EXPECT_FALSE(f.Parse("Result=1\n", &error)) << "a key outside any section";
}

struct Terminal : ::testing::Test {
    std::istringstream in;
    std::ostringstream out;
    AnswerFile answers, record;
    static std::string loop;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        DestinationDir[0] = 0;
        loop.clear();
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    static void OnLoop(const std::string& message) { loop = message; }
};
std::string Terminal::loop;

TEST_F(Terminal, DialogsArePrintedFromTheirTemplatesAndAnsweredByKeys) {
    in.str("\nx\n");
    TerminalFrontEnd t(in, out, nullptr, &record, false);
    SetFrontEnd(&t);
    EXPECT_EQ(ShowWelcome(nullptr), Ok) << "Enter: Continue";
    std::string shown = out.str();
    EXPECT_NE(shown.find("== Brivanta 98 Setup =="), std::string::npos) << shown;
    EXPECT_NE(shown.find("  Welcome to the Brivanta 98  installation program.\n"),
              std::string::npos);
    EXPECT_NE(shown.find("  DO NOT INSTALL THIS SOFTWARE UNDER WINDOWS NT!\n"), std::string::npos);
    EXPECT_NE(shown.find("<Continue>(c)*  <Exit Setup>(x)"), std::string::npos) << shown;
    EXPECT_EQ(AskMessage(nullptr, IDS_RESTART_NOW, 2), 2)
        << "x is no choice; then the input ends: Enter";
    EXPECT_NE(out.str().find("(no such choice)"), std::string::npos);
    EXPECT_NE(out.str().find("  You must restart your computer before new settings will take "
                             "effect.\n   Do you want to restart your computer now?\n"),
              std::string::npos)
        << "line breaks kept";

    // Options: the check boxes with their state; letters and ids toggle.
    std::istringstream keys("d\n1013\nb\no\n");
    out.str("");
    TerminalFrontEnd t2(keys, out, nullptr, &record, false);
    SetFrontEnd(&t2);
    std::strcpy(DestinationDir, "C:\\TOOLS\\");
    EXPECT_EQ(ShowOptions(nullptr), Ok);
    EXPECT_NE(out.str().find("[x] United States  (fixed)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("[x] Install DunorU  (d or 1013)"), std::string::npos);
    EXPECT_NE(out.str().find("  C:\\TOOLS\\\n"), std::string::npos);
    EXPECT_EQ(SetupOptions.DosFilter, 0u) << "d: the first control with that shortcut";
    EXPECT_EQ(SetupOptions.DunorU, 0u);
    EXPECT_EQ(SetupOptions.KeyboardBds, 0u);
    EXPECT_EQ(SetupOptions.ArvelU, 1u);
    std::string v;
    EXPECT_TRUE(record.Get("Options", "DunorU", &v));
    EXPECT_EQ(v, "0");
    EXPECT_TRUE(record.Get("Welcome", "Result", &v));
    EXPECT_EQ(v, "1");
    EXPECT_FALSE(record.Get("Questions", "57", &v)) << "answered after the input ended";
}

TEST_F(Terminal, PromptsTakeTheTypedDirectoryAndRecordIt) {
    in.str("D:\\SRC\n\n");
    TerminalFrontEnd t(in, out, nullptr, &record, false);
    SetFrontEnd(&t);
    char buffer[256] = "A:\\";
    EXPECT_EQ(PromptDisk(nullptr, MsgInsertDisk, "~Disk 2", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "D:\\SRC");
    EXPECT_NE(out.str().find("  Put the Disk 2 in the drive (or type new directory).\n"),
              std::string::npos);
    EXPECT_NE(out.str().find("   [A:\\]\n"), std::string::npos);
    std::string v;
    EXPECT_TRUE(record.Get("Source", "Disk 2", &v));
    EXPECT_EQ(v, "D:\\SRC");

    // The input ends: what is left is answered as Enter would, in the transcript.
    out.str("");
    EXPECT_EQ(AskMessage(nullptr, IDS_ABORT_CONFIRM, 2), 2);
    EXPECT_NE(out.str().find("[Brivanta Installation] Are you sure you want to abort the "
                             "installation? => Cancel\n"),
              std::string::npos)
        << out.str();
}

TEST_F(Terminal, UnattendedAnswersComeFromTheFileOrTheDefaultButton) {
    std::string error;
    ASSERT_TRUE(
        answers.Parse("[Questions]\n57=2\n59=1\n[Source]\nDirectory=D:\\ONE\\\n"
                      "Disk 2=D:\\TWO\\\n[Options]\nSystemFonts=0\nResult=2\n[Questions]\n3=1\n",
                      &error));
    TerminalFrontEnd t(in, out, &answers, nullptr, false);
    SetFrontEnd(&t);
    EXPECT_EQ(AskMessage(nullptr, IDS_RESTART_NOW, 0), 2);
    EXPECT_EQ(AskMessage(nullptr, IDS_DISABLE_INDICATOR, 2), 1);
    EXPECT_EQ(AskMessage(nullptr, IDS_CLOSE_PROGRAMS_AND_RETRY, 2), 2)
        << "unanswered: the default button";
    EXPECT_EQ(AskMessage(nullptr, MsgAbortConfirm, 0), 1) << "unanswered: the default button";
    char buffer[256] = "A:\\";
    EXPECT_EQ(PromptDirectory(nullptr, MsgEnterSourceDir, 0, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "D:\\ONE\\");
    EXPECT_EQ(PromptDisk(nullptr, MsgInsertDisk, "~Disk 2", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "D:\\TWO\\");
    std::strcpy(buffer, "A:\\");
    EXPECT_EQ(PromptDisk(nullptr, MsgInsertDisk, "~Disk 3", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "A:\\") << "unanswered: the proposal stays";
    ShowMessageText(nullptr, IDS_FILE_NOT_FOUND, "a.txt");
    EXPECT_EQ(ShowOptions(nullptr), Abort) << "Result=2, confirmed";
    EXPECT_EQ(SetupOptions.SystemFonts, 0u);
    EXPECT_EQ(SetupOptions.DunorU, 1u);
    std::istringstream lines(out.str());
    std::vector<std::string> transcript;
    for (std::string line; std::getline(lines, line);)
        transcript.push_back(line);
    ASSERT_EQ(transcript.size(), 10u) << out.str();
    EXPECT_EQ(transcript[4], "[Brivanta Installation] Enter source directory. => OK \"D:\\ONE\\\"");
    EXPECT_EQ(transcript[7], "[Brivanta Installation] The file a.txt could not be found! => OK");
    EXPECT_EQ(transcript[8], "[Setup Options]  => Cancel (1111011)");
}

TEST_F(Terminal, AnswersThatRepeatADialogForeverEndTheRun) {
    TerminalFrontEnd t(in, out, &answers, nullptr, false);
    t.SetLoopHandler(OnLoop);
    SetFrontEnd(&t);
    char buffer[256];
    for (int i = 1; i < TerminalFrontEnd::RepeatLimit; ++i) {
        std::strcpy(buffer, "A:\\");
        PromptDirectory(nullptr, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer);
        ShowMessage(nullptr, IDS_DIRECTORY_NOT_FOUND);
    }
    EXPECT_EQ(loop, "");
    PromptDirectory(nullptr, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer);
    EXPECT_EQ(loop, "the answers repeat this dialog without end: [Brivanta Installation] Enter "
                    "source directory. => OK \"A:\\\"");
}

TEST_F(Terminal, ProgressIsABarRedrawnInPlaceAndCtrlCIsItsCancel) {
    in.str("\n"); // Enter in the abort question: its default, OK
    TerminalFrontEnd t(in, out, nullptr, nullptr, true);
    SetFrontEnd(&t);
    ASSERT_TRUE(OpenProgressWindow(nullptr, 8, MsgAbortConfirm));
    EXPECT_EQ(UpdateProgress(3), 1);
    EXPECT_NE(out.str().find("\r[##############..........................]  37 %"),
              std::string::npos)
        << out.str();
    TerminalFrontEnd::Interrupt();
    EXPECT_EQ(UpdateProgress(4), 0);
    EXPECT_NE(out.str().find("Are you sure you want to abort the installation?"),
              std::string::npos);
    EXPECT_EQ(CloseProgressWindow(), 0);
}

// The host program itself, unattended, on a fresh machine, installing from
// a first disk that holds `floppy` (paths below DISK1, made with their folders).
std::string RunSetup(const std::string& answers, int* status,
                     const std::vector<std::string>& floppy = {}) {
    char dir[] = "/tmp/brivanta-run-XXXXXX";
    if (!mkdtemp(dir))
        return "";
    std::string d = dir;
    std::ofstream(d + "/answers.ini") << answers;
    for (const std::string& f : floppy) {
        std::string path = d + "/source/DISK1/" + f;
        std::system(("mkdir -p '" + path.substr(0, path.rfind('/')) + "'").c_str());
        std::ofstream(path) << "contents of " << f;
    }
    std::system(("mkdir -p '" + d + "/source/DISK1'").c_str());
    std::string command = std::string(BRIVANTA_SETUP) + " --machine " + d + "/machine --source " +
                          d + "/source --answers " + d + "/answers.ini 2>&1 </dev/null";
    FILE* p = popen(command.c_str(), "r");
    std::string output;
    char chunk[512];
    while (p && fgets(chunk, sizeof chunk, p))
        output += chunk;
    int raw = p ? pclose(p) : -1;
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::system(("rm -rf " + d).c_str());
    return output;
}

TEST(SetupProgram, RunsUnattendedFromAnAnswerFile) {
    int status;
    // With every option off only the unconditional files are copied.
    std::string out =
        RunSetup("[Welcome]\nResult=1\n[Destination]\nDirectory=C:\\VELMOR\\BV\n"
                 "[Options]\nKeyboardBds=0\nKeyboardPhonetic=0\nLanguageDriver=0\nDosFilter=0\n"
                 "SystemFonts=0\nDunorU=0\nArvelU=0\nResult=1\n",
                 &status,
                 {"brivanta.ex_", "bvsc.dl_", "uninstal.ex_", "bv_help.hl_", "readme.doc",
                  "KBD/kbdus.kbd", "Filters/unicode.bi_"});
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("[Brivanta 98 Setup] Welcome to the Brivanta 98  installation program. => "
                       "Continue\n[Brivanta Installation] Enter Brivanta destination directory. "
                       "=> OK \"C:\\VELMOR\\BV\"\n[Brivanta Installation] Do you want to create "
                       "the directory:C:\\VELMOR\\BV? => OK\n[Setup Options] C:\\VELMOR\\BV => "
                       "OK (0000000)\n"),
              0u)
        << out;
    EXPECT_NE(out.find("Installation result: 0\n"), std::string::npos) << out;

    out = RunSetup("[Welcome]\nResult=2\n[Questions]\n3=2\n", &status);
    EXPECT_EQ(status, 3) << out;
    EXPECT_NE(out.find("brivanta-setup: the answers repeat this dialog without end"),
              std::string::npos);
    // A confirmed abort finishes silently.
    out = RunSetup("[Welcome]\nResult=2\n[Questions]\n3=1\n", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Installation result: 0\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Installation was successful!"), std::string::npos) << out;
    out = RunSetup("[Welcome]\nResult\n", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("line 2: Result"), std::string::npos) << out;
}

} // namespace
