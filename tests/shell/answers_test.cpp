// Answer files, the answers of an unattended run, the record and the log
// of a run, and how a run's end is told: shared by the host program and
// setup.exe, so built and run on both.
#include "answer_file.h"
#include "command_line.h"
#include "dialog_answers.h"
#include "language.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"
#include "run_log.h"
#include "run_watch.h"
#include "setup_state.h"
#include "silent_front_end.h"
#include "welcome_options.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Faults : AnswerFaults {
    std::vector<std::string> lines;
    void Fault(const char* text) override { lines.push_back(text); }
};

// Each line is checked; every fault is told with its line, and a file with
// one holds no answers.
TEST(AnswerFile, ChecksEveryLineAndTellsEachFaultWithItsLine) {
    const struct {
        std::string text;
        std::vector<std::string> faults;
        const char *section = "", *key = "", *value = ""; // read back when there is no fault
    } cases[] = {
        {"[Progress]\nCancelAt=abc\n",
         {"a.ini:2: [Progress] CancelAt takes a whole percentage from 0 to 100, not \"abc\""}},
        {"[Options]\nKeyboardBds=yes\nDunorU=2\n",
         {"a.ini:2: [Options] KeyboardBds takes 0 or 1, not \"yes\"",
          "a.ini:3: [Options] DunorU takes 0 or 1, not \"2\""}},
        {"[Welcome]\nResult=7\n",
         {"a.ini:2: [Welcome] Result takes 1 (the first button) or 2 (the second), not \"7\""}},
        {"[Bogus]\nX=1\n[Destination]\nDirektory=C:\\A\n",
         {"a.ini:1: unknown section [Bogus]", "a.ini:4: unknown key Direktory in [Destination]"}},
        {"[Questions]\n58=1\n[Source]\nDisk 0=A:\\\n",
         {"a.ini:2: unknown key 58 in [Questions]", "a.ini:4: unknown key Disk 0 in [Source]"}},
        {"Result=1\n[Welcome\n[Welcome]\nResult\n=1\n",
         {"a.ini:1: Result is outside any [section]",
          "a.ini:2: a section header without its closing ']': [Welcome",
          "a.ini:4: neither a [section], a key=value line nor a ';' comment: Result",
          "a.ini:5: a value without a key: =1"}},
        {"[Destination]\nDirectory=relative\\dir\n[Destination]\nDirectory=C:\\A|B\n",
         {"a.ini:2: [Destination] Directory takes a full path from a drive root such as C:\\, "
          "not \"relative\\dir\"",
          "a.ini:4: [Destination] Directory takes a path whose names hold none of the characters "
          "\" * / : < > ? |, not \"C:\\A|B\""}},
        {"[Welcome]\nResult=1\nresult=2\n[Destination]\nDirectory=\n",
         {"a.ini:3: [Welcome] Result is given twice (first on line 2)",
          "a.ini:5: [Destination] Directory takes a directory of 1 to 254 characters, not \"\""}},
        {std::string("[Welcome]\nResult=1\0\n", 20),
         {"a.ini:2: holds a NUL byte: not a text file"}},
        {"[Progress]\nCancelAt=" + std::string(1100, '9') + "\n",
         {"a.ini:2: is longer than 1023 characters"}},
        // What passes: a byte-order mark, comments, case, blanks, a ';' in a value.
        {"\xEF\xBB\xBF; answers\n[Welcome]\nResult=2\n", {}, "Welcome", "Result", "2"},
        {"[destination]\r\n  ; the folder\r\n DIRECTORY = C:\\A;B \r\n",
         {},
         "Destination",
         "Directory",
         "C:\\A;B"},
        {"[Source]\ndisk 12=D:\\TWELVE\\\n[Progress]\nCancelAt=100\n",
         {},
         "Source",
         "Disk 12",
         "D:\\TWELVE\\"},
        {"[Options]\nArvelU=0\n[Questions]\n57=2\n", {}, "Questions", "57", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        AnswerFile file;
        Faults faults;
        EXPECT_EQ(file.Parse("a.ini", c.text.data(), c.text.size(), &faults), int(c.faults.size()));
        EXPECT_EQ(faults.lines, c.faults);
        if (!c.faults.empty()) {
            EXPECT_EQ(file.Count(), 0);
        } else {
            ASSERT_NE(file.Get(c.section, c.key), nullptr);
            EXPECT_STREQ(file.Get(c.section, c.key), c.value);
        }
    }
}

// setup.exe looks at its command line only when a word starts one of its
// options; then every word must be one, once, with a file name, and the
// log is known wherever the faulty word stands.
TEST(CommandLine, IsIgnoredWithoutAnOptionOfOursAndCheckedWholeWithOne) {
    const struct {
        const char* line;
        bool ours;
        const char *answers = "", *log = "", *fault = "";
    } cases[] = {
        {"", false},
        {"C:\\My Files\\dropped.txt", false},
        {"/S /answers C:\\a.ini -log=x", false},
        {"/ANSWERS=C:\\a.ini", true, "C:\\a.ini", "", ""},
        {" /Log=\"C:\\My Files\\setup.log\"\t/answers=a\"b c\".ini ", true, "ab c.ini",
         "C:\\My Files\\setup.log", ""},
        {"/log=C:\\a.log dropped.txt", true, "", "C:\\a.log",
         "unknown option dropped.txt (/answers=FILE, /record=FILE, /log=FILE)"},
        {"dropped.txt /log=C:\\a.log", true, "", "C:\\a.log",
         "unknown option dropped.txt (/answers=FILE, /record=FILE, /log=FILE)"},
        {"/record=", true, "", "", "/record= needs a file name"},
        {"/log=a.log /LOG=b.log", true, "", "a.log", "/LOG= is given twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CommandLineOptions o;
        EXPECT_EQ(ReadCommandLine(c.line, &o), c.ours);
        if (!c.ours)
            continue;
        EXPECT_STREQ(o.answers, c.answers);
        EXPECT_STREQ(o.log, c.log);
        EXPECT_STREQ(o.fault, c.fault);
    }
}

struct LogLines : RunLog {
    std::vector<std::string> lines;
    void Line(const char* text) override { lines.push_back(text); }
};

struct Unattended : ::testing::Test {
    AnswerFile answers, record;
    LogLines log;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        DestinationDir[0] = 0;
        SetRunLog(&log);
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetRunLog(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
    void Load(const std::string& text) {
        ASSERT_EQ(answers.Parse("a.ini", text.data(), text.size(), nullptr), 0) << text;
    }
};

// The file's answers, else the proposed ones; the record holds every answer
// used, so a run from it answers alike; the log has each dialog, control
// bytes shown.
TEST_F(Unattended, AnswersComeFromTheFileOrTheProposalAndTheRecordHoldsThemAll) {
    Load("[Questions]\n57=2\n59=1\n[Source]\nDirectory=D:\\ONE\\\nDisk 2=D:\\TWO\\\n"
         "[Options]\nSystemFonts=0\nResult=2\n[Questions]\n3=1\n");
    std::vector<int> results[2];
    std::string first;
    for (int run = 0; run < 2; ++run) {
        DialogAnswers policy(&answers);
        SilentFrontEnd silent(&policy);
        RunWatch watch(&silent, &record);
        SetFrontEnd(&watch);
        std::vector<int>& r = results[run];
        r.push_back(AskMessage(nullptr, 57, 0));
        r.push_back(AskMessage(nullptr, 59, 2));
        r.push_back(AskMessage(nullptr, 13, 2)); // unanswered: the default button
        char buffer[256] = "A:\\";
        r.push_back(PromptDirectory(nullptr, 10009, 0, buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "D:\\ONE\\");
        r.push_back(PromptDisk(nullptr, 10007, "~Disk 2", buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "D:\\TWO\\");
        std::strcpy(buffer, "A:\\");
        r.push_back(PromptDisk(nullptr, 10007, "~Disk 3", buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "A:\\") << "unanswered: the proposal stays";
        // A name from the disks: its Cyrillic letter (code page 1251) kept, ESC shown.
        ShowMessageText(nullptr, 10, "\xc0\x1b[2J.txt");
        r.push_back(int(ShowOptions(nullptr)));
        EXPECT_EQ(SetupOptions.SystemFonts, 0u);
        EXPECT_EQ(SetupOptions.DunorU, 1u);
        EXPECT_STREQ(watch.CancelledIn(), "the options dialog");
        // The second run answers from what the first recorded, nothing else.
        char text[4096];
        record.Format(text, sizeof text, "\r\n");
        if (run == 0)
            first = text;
        ASSERT_EQ(answers.Parse("record.ini", text, std::strlen(text), nullptr), 0) << text;
    }
    EXPECT_EQ(results[0], (std::vector<int>{2, 1, 2, 1, 1, 1, int(Abort)}));
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(first, "[Options]\r\nKeyboardBds=1\r\nKeyboardPhonetic=1\r\nLanguageDriver=1\r\n"
                     "DosFilter=1\r\nSystemFonts=0\r\nDunorU=1\r\nArvelU=1\r\nResult=2\r\n\r\n"
                     "[Source]\r\nDirectory=D:\\ONE\\\r\nDisk 2=D:\\TWO\\\r\nDisk 3=A:\\\r\n\r\n"
                     "[Questions]\r\n3=1\r\n13=2\r\n57=2\r\n59=1\r\n");
    ASSERT_EQ(log.lines.size(), 18u);
    EXPECT_EQ(log.lines[0], "dialog question 57 \"You must restart your computer before new "
                            "settings will take effect. /  Do you want to restart your computer "
                            "now?\" => Cancel");
    EXPECT_EQ(log.lines[4], "dialog prompt 30 \"Put the Disk 2 in the drive (or type new "
                            "directory).\" \"D:\\TWO\\\" => OK");
    EXPECT_EQ(log.lines[6],
              "dialog message 10 \"The file \xc0\\x1b[2J.txt could not be found!\" => OK");
    EXPECT_EQ(log.lines[7], "dialog options KeyboardBds=1 KeyboardPhonetic=1 LanguageDriver=1 "
                            "DosFilter=1 SystemFonts=0 DunorU=1 ArvelU=1 \"\" => Cancel");
    EXPECT_EQ(log.lines[8], "dialog question 3 \"Are you sure you want to abort the "
                            "installation?\" => OK");
}

// Answers that lead back to the same dialog end the run there: the dialog
// is cancelled, the abort confirmed, and so is the progress bar's.
TEST_F(Unattended, AnswersThatGoRoundStopTheRunAtThatDialog) {
    Load("[Welcome]\nResult=2\n[Questions]\n3=2\n");
    DialogAnswers policy(&answers);
    SilentFrontEnd silent(&policy);
    RunWatch watch(&silent, nullptr);
    SetFrontEnd(&watch);
    EXPECT_EQ(ShowWelcome(nullptr), Abort);
    ASSERT_NE(policy.LoopDialog(), nullptr);
    EXPECT_STREQ(policy.LoopDialog(), "welcome => Exit Setup");
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "dialog welcome => Exit Setup"),
              DialogAnswers::RepeatLimit);
    ASSERT_TRUE(OpenProgressWindow(nullptr, 4, 10002));
    EXPECT_EQ(UpdateProgress(1), 0) << "stopping: the copy is cancelled at once";
    RunEnd end = EndOfRun(Abort, false, false, watch, policy.LoopDialog());
    EXPECT_EQ(end.exitCode, ExitRepeats);
    EXPECT_STREQ(end.sentence,
                 "Stopped: the answers repeat this dialog without end: welcome => Exit Setup");
}

// One exit code and one sentence for each way a run ends.
TEST_F(Unattended, TheEndOfARunIsOneExitCodeAndOneSentence) {
    const struct {
        const char* answers;
        ResultCode run;
        bool restartAccepted, restarted;
        int code;
        const char* sentence;
    } cases[] = {
        {"", Ok, true, true, ExitInstalled, "Installed."},
        {"", Ok, false, false, ExitRestartPending, "Installed; the restart was declined."},
        {"", Ok, true, false, ExitRestartPending,
         "Installed; the restart is pending: Windows did not restart."},
        {"[Options]\nResult=2\n[Questions]\n3=1\n", Abort, false, false, ExitCancelled,
         "Cancelled in the options dialog."},
        {"[Progress]\nCancelAt=50\n[Questions]\n3=1\n", Abort, false, false, ExitCancelled,
         "Cancelled in the progress window."},
        {"[Progress]\nCancelAt=50\n[Questions]\n3=2\n", Abort, false, false, ExitAborted,
         "Aborted: Can't copy the file bvsc.dll to the directory: C:\\BV\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        Load(c.answers);
        DialogAnswers policy(&answers);
        SilentFrontEnd silent(&policy);
        RunWatch watch(&silent, nullptr);
        SetFrontEnd(&watch);
        if (c.run != Ok) {
            ShowOptions(nullptr);
            if (OpenProgressWindow(nullptr, 2, 10002) && UpdateProgress(1) != 0) {
                ShowMessageTexts(nullptr, 11, "bvsc.dll", "C:\\BV\\");
                ShowMessage(nullptr, 58);
            }
        }
        RunEnd end = EndOfRun(c.run, c.restartAccepted, c.restarted, watch, nullptr);
        EXPECT_EQ(end.exitCode, c.code);
        EXPECT_STREQ(end.sentence, c.sentence);
        EXPECT_EQ(log.lines.back(), "result " + std::to_string(c.code) + ": " + c.sentence);
    }
}

// The Win32 progress window asks about a Cancel as it comes, from its own
// window procedure, and its update answers false: the cancel is logged,
// recorded and ends the run with 2 all the same.
TEST_F(Unattended, ACancelTheProgressWindowTakesItselfIsLoggedRecordedAndEndsTheRun) {
    struct WindowTakesCancel : SilentFrontEnd {
        using SilentFrontEnd::SilentFrontEnd;
        bool UpdateProgress(HWND, int percent) override {
            if (percent >= 50)
                ProgressCancelPressed(); // as the window procedure does on IDCANCEL
            return false;
        }
    };
    Load("[Questions]\n3=1\n");
    DialogAnswers policy(&answers);
    WindowTakesCancel window(&policy);
    RunWatch watch(&window, &record);
    SetFrontEnd(&watch);
    ASSERT_TRUE(OpenProgressWindow(nullptr, 4, 10002));
    EXPECT_EQ(UpdateProgress(1), 1);
    EXPECT_EQ(UpdateProgress(2), 0);
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "progress: Cancel pressed at 50 %"),
              log.lines.end());
    ASSERT_NE(record.Get("Progress", "CancelAt"), nullptr);
    EXPECT_STREQ(record.Get("Progress", "CancelAt"), "50");
    RunEnd end = EndOfRun(Abort, false, false, watch, nullptr);
    EXPECT_EQ(end.exitCode, ExitCancelled);
    EXPECT_STREQ(end.sentence, "Cancelled in the progress window.");
}

} // namespace
