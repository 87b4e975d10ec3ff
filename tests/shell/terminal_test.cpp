// The terminal front end: dialogs printed from their templates to fit the
// terminal and answered by keys, unique in each dialog; Esc, Ctrl-C and the
// end of the input; unattended answers with their transcript; the progress
// bar. And the host program itself: its exit codes and last sentence, its
// checks before anything changes, the record and the log.
#include "answer_file.h"
#include "dialog_template.h"
#include "engine_ui.h"
#include "language.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"
#include "run_watch.h"
#include "setup_state.h"
#include "shown_text.h"
#include "terminal_front_end.h"
#include "welcome_options.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <set>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A log's events: what follows its header, which ends with the Windows
// version.
std::string Events(const std::string& log) {
    size_t windows = log.find("\nWindows: ");
    return windows == std::string::npos ? log : log.substr(log.find('\n', windows + 1) + 1);
}

// Keyboard input in pieces; "^C" stands for Ctrl-C: the read in progress
// ends without a line, as when the signal interrupts it, and input goes on.
class Keys : public std::streambuf {
  public:
    explicit Keys(std::deque<std::string> pieces) : pieces_(std::move(pieces)) {}

  protected:
    int_type underflow() override {
        if (pieces_.empty())
            return traits_type::eof();
        current_ = pieces_.front();
        pieces_.pop_front();
        if (current_ == "^C") {
            TerminalFrontEnd::Interrupt();
            current_.clear();
            return traits_type::eof();
        }
        setg(&current_[0], &current_[0], &current_[0] + current_.size());
        return traits_type::to_int_type(current_[0]);
    }

  private:
    std::deque<std::string> pieces_;
    std::string current_;
};

struct Terminal : ::testing::Test {
    std::istringstream in;
    std::ostringstream out;
    AnswerFile answers, record;

    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        DestinationDir[0] = 0;
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
};

TEST_F(Terminal, DialogsArePrintedFromTheirTemplatesAndAnsweredByKeys) {
    in.str("\nx\n");
    TerminalFrontEnd t(in, out, nullptr, false, 80);
    RunWatch watch(&t, &record);
    SetFrontEnd(&watch);
    EXPECT_EQ(ShowWelcome(nullptr), Ok) << "Enter: Continue";
    std::string shown = out.str();
    EXPECT_NE(shown.find("== Brivanta 98 Setup =="), std::string::npos) << shown;
    EXPECT_NE(shown.find("  Welcome to the Brivanta 98  installation program.\n"),
              std::string::npos);
    EXPECT_NE(shown.find("  DO NOT INSTALL THIS SOFTWARE UNDER WINDOWS NT!\n"), std::string::npos);
    EXPECT_NE(shown.find("<Continue>(c)*  <Exit Setup>(x)"), std::string::npos) << shown;
    EXPECT_EQ(AskMessage(nullptr, IDS_RESTART_NOW, 1), 2)
        << "x is no choice; then the input ends: a confirmed cancel, so no restart";
    EXPECT_NE(out.str().find("(no such choice)"), std::string::npos);
    EXPECT_NE(out.str().find("  You must restart your computer before new settings will take "
                             "effect.\n   Do you want to restart your computer now?\n"),
              std::string::npos)
        << "line breaks kept";

    // Options: the check boxes with their state; keys and ids toggle.
    std::istringstream keys("d\n1013\nb\no\n");
    out.str("");
    TerminalFrontEnd t2(keys, out, nullptr, false, 80);
    RunWatch watch2(&t2, &record);
    SetFrontEnd(&watch2);
    std::strcpy(DestinationDir, "C:\\TOOLS\\");
    EXPECT_EQ(ShowOptions(nullptr), Ok);
    EXPECT_NE(out.str().find("[x] United States (fixed)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("[x] Install DunorU (u)  [x] Install ArvelU (a)"), std::string::npos);
    EXPECT_NE(out.str().find("  Brivanta Directory:  C:\\TOOLS\\\n"), std::string::npos);
    EXPECT_EQ(SetupOptions.DosFilter, 0u) << "d: the filter's own shortcut";
    EXPECT_EQ(SetupOptions.DunorU, 0u);
    EXPECT_EQ(SetupOptions.KeyboardBds, 0u);
    EXPECT_EQ(SetupOptions.ArvelU, 1u);
    EXPECT_STREQ(record.Get("Options", "DunorU"), "0");
    EXPECT_STREQ(record.Get("Welcome", "Result"), "1");
    EXPECT_STREQ(record.Get("Questions", "57"), "2") << "what the run used is recorded";
}

// Each key a dialog prints is its own and presses what it names; every line
// fits the terminal, and the tallest dialog fits 24 lines with its prompt.
TEST_F(Terminal, EveryDialogFitsTheTerminalAndEveryKeyIsUniqueAndWorks) {
    for (int templateId : {int(IDD_WELCOME), int(IDD_OPTIONS), 304, 305, 309, 310}) {
        SCOPED_TRACE(templateId);
        DialogTemplate t;
        ASSERT_TRUE(t.Load(ModuleInstance(), templateId));
        bool prompt = templateId == 309 || templateId == 310; // Tab, Enter, Esc
        std::vector<char> keys = DialogKeys(t, prompt);
        std::set<char> seen;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!keys[i])
                continue;
            EXPECT_TRUE(seen.insert(keys[i]).second) << "key " << keys[i] << " twice";
            std::istringstream press(keys[i] + std::string("\n"));
            std::ostringstream shown;
            TerminalFrontEnd front(press, shown, nullptr, false, 80);
            DialogState state;
            state.templateId = templateId;
            state.SetCheck(int(t.controls[i].id), true);
            if (prompt)
                state.SetText(IDC_DIRECTORY_EDIT, "C:\\");
            int result = front.RunDialog(nullptr, state, nullptr);
            if (std::string(t.controls[i].className) == "BUTTON" &&
                (t.controls[i].style & 0xF) == 3)
                EXPECT_EQ(state.Check(int(t.controls[i].id)), 0) << keys[i] << " ticks its box";
            else
                EXPECT_EQ(result, int(t.controls[i].id)) << keys[i] << " presses its button";
        }
        for (int columns : {80, 40}) {
            std::istringstream none("\x1b\n");
            std::ostringstream shown;
            TerminalFrontEnd front(none, shown, nullptr, false, columns);
            DialogState state;
            state.templateId = templateId;
            state.SetText(IDC_MESSAGE_TEXT,
                          "Are you sure you want to abort the installation? It cannot be "
                          "undone, and nothing of it is kept.");
            front.RunDialog(nullptr, state, nullptr);
            std::vector<std::string> lines = Lines(shown.str());
            for (const std::string& line : lines)
                EXPECT_LT(line.size(), size_t(columns)) << line;
            if (columns == 80) { // from the caption to the prompt
                EXPECT_LE(lines.size() - 1, 24u) << shown.str();
            }
        }
    }
    // The letter printed for Cancel in the options is not Change's.
    std::istringstream cancel("n\n");
    TerminalFrontEnd front(cancel, out, nullptr, false, 80);
    DialogState state;
    state.templateId = IDD_OPTIONS;
    EXPECT_EQ(front.RunDialog(nullptr, state, nullptr), 2);
    EXPECT_NE(out.str().find("<Change...>(c)  <OK>(o)*  <Cancel>(n)"), std::string::npos)
        << out.str();
}

// Esc cancels. When the input ends the run stops as after a confirmed
// cancel; Ctrl-C cancels the dialog, and at the abort question it confirms.
TEST_F(Terminal, EscCtrlCAndTheEndOfTheInputCancelForGood) {
    const struct {
        std::deque<std::string> keys;
        std::string transcript; // the last line
    } cases[] = {
        {{"\x1b\n"},
         "[Brivanta Installation] Are you sure you want to abort the installation? "
         "=> OK"},
        {{"^C", "^C", "\n"},
         "[Brivanta Installation] Are you sure you want to abort the "
         "installation? => OK"},
        {{"\n", "\x1b[A\n", "o\n"}, ""}, // Enter: Continue; then Esc at the abort question
    };
    for (const auto& c : cases) {
        Keys buffer(c.keys);
        std::istream keys(&buffer);
        out.str("");
        TerminalFrontEnd t(keys, out, nullptr, false, 80);
        SetFrontEnd(&t);
        ResultCode welcome = ShowWelcome(nullptr);
        if (c.transcript.empty()) {
            EXPECT_EQ(welcome, Ok);
            EXPECT_EQ(AskMessage(nullptr, IDS_ABORT_CONFIRM, 2), 2)
                << "Esc in a question: its second button";
            continue;
        }
        EXPECT_EQ(welcome, Abort) << out.str();
        EXPECT_EQ(Lines(out.str()).back(), c.transcript);
        EXPECT_TRUE(t.Answers().Stopping());
        out.str("");
        EXPECT_EQ(ShowWelcome(nullptr), Abort) << "nothing more is asked";
        EXPECT_EQ(out.str().find("Key (Enter"), std::string::npos);
    }
}

// Unattended, one line for each dialog; the options by their names.
TEST_F(Terminal, UnattendedAnswersArePrintedOneLineEach) {
    std::string text = "[Source]\nDirectory=D:\\ONE\\\n[Options]\nSystemFonts=0\n"
                       "Result=2\n[Questions]\n3=1\n";
    ASSERT_EQ(answers.Parse("a.ini", text.data(), text.size(), nullptr), 0);
    TerminalFrontEnd t(in, out, &answers, false);
    SetFrontEnd(&t);
    char buffer[256] = "A:\\";
    EXPECT_EQ(PromptDirectory(nullptr, MsgEnterSourceDir, 0, buffer, sizeof buffer), 1);
    ShowMessageText(nullptr, IDS_FILE_NOT_FOUND, "a.txt");
    EXPECT_EQ(ShowOptions(nullptr), Abort) << "Result=2, confirmed";
    EXPECT_EQ(Lines(out.str()),
              (std::vector<std::string>{
                  "[Brivanta Installation] Enter source directory. => OK \"D:\\ONE\\\"",
                  "[Brivanta Installation] The file a.txt could not be found! => OK",
                  "[Setup Options]  => Cancel (KeyboardBds=1 KeyboardPhonetic=1 LanguageDriver=1 "
                  "DosFilter=1 SystemFonts=0 DunorU=1 ArvelU=1)",
                  "[Brivanta Installation] Are you sure you want to abort the installation? "
                  "=> OK"}));
    // At a terminal each is wrapped as the dialogs are.
    std::ostringstream narrow;
    TerminalFrontEnd atTerminal(in, narrow, &answers, true, 40);
    SetFrontEnd(&atTerminal);
    ShowMessageText(nullptr, IDS_FILE_NOT_FOUND, "a.txt");
    EXPECT_EQ(narrow.str(),
              "[Brivanta Installation] The file a.txt\n    could not be found! => OK\n");
}

TEST_F(Terminal, AnswersThatRepeatADialogForeverEndTheRun) {
    TerminalFrontEnd t(in, out, &answers, false);
    SetFrontEnd(&t);
    char buffer[256];
    for (int i = 1; i < DialogAnswers::RepeatLimit; ++i) {
        std::strcpy(buffer, "A:\\");
        EXPECT_EQ(PromptDirectory(nullptr, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer), 1);
        ShowMessage(nullptr, IDS_DIRECTORY_NOT_FOUND);
    }
    EXPECT_EQ(t.Answers().LoopDialog(), nullptr);
    EXPECT_EQ(PromptDirectory(nullptr, IDS_ENTER_SOURCE_DIR, 0, buffer, sizeof buffer), 2)
        << "stopped: Cancel";
    EXPECT_STREQ(t.Answers().LoopDialog(), "prompt 14 \"Enter source directory.\" \"A:\\\" => OK");
    EXPECT_NE(out.str().find("(the answers repeat this dialog without end: the run stops)"),
              std::string::npos);
}

// The bar fits the terminal, so each redraw stays on its line.
TEST_F(Terminal, ProgressIsABarRedrawnInPlaceAndCtrlCIsItsCancel) {
    in.str("\n"); // Enter in the abort question: its default, OK
    TerminalFrontEnd t(in, out, nullptr, true, 40);
    SetFrontEnd(&t);
    ASSERT_TRUE(OpenProgressWindow(nullptr, 8, MsgAbortConfirm));
    EXPECT_EQ(UpdateProgress(3), 1);
    EXPECT_EQ(UpdateProgress(8), 1);
    std::string bar = out.str().substr(out.str().find('\r'));
    EXPECT_EQ(bar, "\r[###########...................]  37 %\r[##############################"
                   "] 100 %");
    TerminalFrontEnd::Interrupt();
    EXPECT_EQ(UpdateProgress(8), 0);
    EXPECT_NE(out.str().find("  Are you sure you want to abort the\n  installation?\n"),
              std::string::npos)
        << "wrapped at 40 columns: " << out.str();
    EXPECT_EQ(CloseProgressWindow(), 0);
}

// Text from files reaches the terminal shown, never obeyed; long lines are
// wrapped, a path after a backslash, never a number from its unit.
TEST(ShownText, ControlBytesAreShownAndLongLinesWrapped) {
    const struct {
        std::string text, shown;
    } visible[] = {
        {"\x1b[2J", "\\x1b[2J"},
        {"a\tb\r\n\x7f", "a\\x09b\\x0d\\x0a\\x7f"},
        {"\xc2\x9b"
         "1m",
         "\\xc2\\x9b1m"},           // CSI as UTF-8
        {"\x9b\xe0", "\\x9b\\xe0"}, // bytes that are not UTF-8
        {"\xd0\x9f\xd1\x80\xd0\xb8 C:\\x", "\xd0\x9f\xd1\x80\xd0\xb8 C:\\x"},
    };
    for (const auto& c : visible)
        EXPECT_EQ(Visible(c.text), c.shown);
    EXPECT_EQ(Visible("one\ntwo", true), "one\ntwo");

    const struct {
        std::string text;
        int columns;
        std::string wrapped;
    } wraps[] = {
        {"+ C:\\WINDOWS\\FONTS\\8514fix.001 (14671 bytes)", 40,
         "  + C:\\WINDOWS\\FONTS\\8514fix.001\n      (14671 bytes)\n"},
        {"+ HLM\\System\\CurrentControlSet\\Control\\Nls = 1", 30,
         "  + HLM\\System\\\n      CurrentControlSet\\\n      Control\\Nls = 1\n"},
        {"size is 14671 bytes", 18, "  size is\n      14671 bytes\n"},
        // A name that ends in a digit is no number: the line breaks after it.
        {"(KeyboardBds=1 KeyboardPhonetic=1 LanguageDriver=1)", 40,
         "  (KeyboardBds=1 KeyboardPhonetic=1\n      LanguageDriver=1)\n"},
    };
    for (const auto& c : wraps) {
        std::ostringstream out;
        PrintWrapped(out, c.text, c.columns, "  ", "      ");
        EXPECT_EQ(out.str(), c.wrapped);
    }
}

// The host program in a folder of its own, run from there.
class Program {
  public:
    Program() {
        char dir[] = "/tmp/brivanta-run-XXXXXX";
        dir_ = mkdtemp(dir) ? dir : "";
    }
    ~Program() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Standard output, and standard error unless `quiet`; no terminal.
    std::string Run(const std::string& args, int* status, bool quiet = false) const {
        return Shell(std::string(BRIVANTA_SETUP) + " " + args + (quiet ? " 2>/dev/null" : " 2>&1"),
                     status);
    }
    // The same with standard input and output a terminal of `columns`
    // that gets `keys`; its line ends "\r\n" are given as "\n".
    std::string RunAtTerminal(const std::string& args, const std::string& keys, int* status,
                              int columns = 80) const {
        // Typed once the program has started, as a person types.
        Write("keys", keys);
        std::string out =
            Shell("(sleep 1; cat keys) | script -qec 'stty cols " + std::to_string(columns) + "; " +
                      BRIVANTA_SETUP + " " + args + "' /dev/null",
                  status);
        for (size_t cr; (cr = out.find("\r\n")) != std::string::npos;)
            out.erase(cr, 1);
        return out;
    }
    // Every file below `folder` with its contents.
    std::string Tree(const std::string& folder) const {
        int status;
        return Shell("cd '" + folder + "' && find . -type f -exec md5sum {} + | sort", &status);
    }

  private:
    std::string Shell(const std::string& command, int* status) const {
        FILE* p = popen(("cd '" + dir_ + "' && (" + command + ") </dev/null").c_str(), "r");
        std::string output;
        char chunk[512];
        while (p && fgets(chunk, sizeof chunk, p))
            output += chunk;
        int raw = p ? pclose(p) : -1;
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return output;
    }

    std::string dir_;
};

const char kAllOptions[] = "[Destination]\nDirectory=C:\\VELMOR\\BV\n";

// The last line says how the run ended, and the exit code says the same.
TEST(SetupProgram, ExitCodesAndTheLastSentenceTellHowTheRunEnded) {
    const struct {
        std::string answers;
        bool blockBvsc; // bvsc.dll cannot be written: a folder has its name
        int code;
        std::string last;
    } cases[] = {
        {"[Questions]\n57=1\n", false, 0, "Installed."},
        {"[Questions]\n57=2\n", false, 1, "Installed; the restart was declined."},
        {"[Options]\nResult=2\n[Questions]\n3=1\n", false, 2, "Cancelled in the options dialog."},
        {"[Progress]\nCancelAt=50\n[Questions]\n3=1\n", false, 2,
         "Cancelled in the progress window."},
        {"", true, 4,
         "Aborted: Can't copy the file bvsc.dll to the directory: C:\\WINDOWS\\VELMOR\\"},
        {"[Welcome]\nResult=2\n[Questions]\n3=2\n", false, 3,
         "Stopped: the answers repeat this dialog without end: welcome => Exit Setup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        Program p;
        int status;
        if (c.blockBvsc) {
            p.Write("cancel.ini", "[Welcome]\nResult=2\n[Questions]\n3=1\n");
            p.Run("--machine m --answers cancel.ini", &status);
            ASSERT_EQ(status, 2);
            ASSERT_EQ(mkdir(p.Path("m/drive_c/WINDOWS/VELMOR").c_str(), 0755), 0);
            ASSERT_EQ(mkdir(p.Path("m/drive_c/WINDOWS/VELMOR/bvsc.dll").c_str(), 0755), 0);
        }
        p.Write("a.ini", c.answers);
        std::string out = p.Run("--machine m --answers a.ini", &status);
        EXPECT_EQ(status, c.code) << out;
        ASSERT_FALSE(Lines(out).empty());
        EXPECT_EQ(Lines(out).back(), c.last);
    }
}

// The lines below a heading of the report, with those told in one line
// ("... and 238 more", "41 lines carried out") counted by their number.
int Listed(const std::vector<std::string>& lines, size_t heading) {
    int listed = 0;
    for (size_t i = heading + 1; i < lines.size() && lines[i].rfind("  ", 0) == 0; ++i) {
        if (lines[i].rfind("      ", 0) == 0)
            continue; // the rest of a wrapped line
        size_t number = lines[i].find_first_of("0123456789");
        bool folded = lines[i].rfind("  ... and ", 0) == 0 ||
                      lines[i].find(" lines carried") != std::string::npos;
        listed += folded ? std::atoi(lines[i].c_str() + number) : 1;
    }
    return listed;
}

// The report with its wrapped lines joined again: a line broken after a
// backslash goes on without a blank.
std::string Unwrapped(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (line.rfind("    ", 0) != 0 || text.empty())
            text += (text.empty() ? "" : "\n") + line;
        else
            text += (text.back() == '\\' ? "" : " ") + line.substr(line.find_first_not_of(' '));
    }
    return text + "\n";
}

// The report at a terminal of 40 columns: a first line that sums it up,
// heading totals that count every line below them, the directories the run
// made, values as a user reads them, the program groups only when they
// changed, the restart's missing files in one line; no line wider than the
// terminal and no number cut in two.
TEST(SetupProgram, TheReportTellsWhatChangedInTotalsThatAddUp) {
    Program p;
    int status;
    const struct {
        std::string machine, answers;
        std::vector<std::string> shown, absent;
    } cases[] = {
        {"m",
         "[Destination]\nDirectory=C:\\VELMOR\\BV\n[Questions]\n57=1\n",
         {": 38 files added, 3 changed, 0 removed; 2 directories made; ",
          "\n  + C:\\VELMOR\\BV\\\n",
          "\n  + HCU\\Software\\Velmor\\Brivanta\\3.2\\Program dir = C:\\VELMOR\\BV\\\n",
          "\nStarted: C:\\VELMOR\\BV\\brivanta.exe, with the parameter 1\n",
          "\n  nothing done for 26 lines: the file named was not there\n"},
         {"not done", "\\\\", "\""}},
        {"n",
         "[Destination]\nDirectory=C:\\NEWDIR\n[Options]\nResult=2\n[Questions]\n3=1\n",
         {": 1 directory made.\n", "\nDirectories (1):\n  + C:\\NEWDIR\\\n"},
         {"nothing"}},
        {"m", "[Welcome]\nResult=2\n[Questions]\n3=1\n", {": nothing.\n"}, {"StartUp"}},
        // The last sentence is wrapped too.
        {"m", "[Welcome]\nResult=2\n[Questions]\n3=2\n", {"\nStopped: the answers repeat"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        p.Write("a.ini", c.answers);
        std::string out =
            p.RunAtTerminal("--machine " + c.machine + " --answers a.ini", "", &status, 40);
        std::vector<std::string> lines = Lines(out.substr(out.find("What changed on the machine")));
        std::string report = Unwrapped(lines);
        for (const std::string& text : c.shown)
            EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
        for (const std::string& text : c.absent)
            EXPECT_EQ(report.find(text), std::string::npos) << text << "\n" << report;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            EXPECT_LT(line.size(), 40u) << line;
            size_t heading = line.rfind(" (");
            if (line.back() == ':' && line[0] != ' ' && heading != std::string::npos) {
                EXPECT_EQ(Listed(lines, i), std::atoi(line.c_str() + heading + 2)) << line;
            }
            size_t text = line.find_first_not_of(' ');
            if (i > 0 && text > 2 && text != std::string::npos && std::isdigit(line[text])) {
                EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(lines[i - 1].back())))
                    << lines[i - 1] << "|" << line;
            }
        }
    }
}

// At a terminal a key acts as it is pressed, without Enter, and an arrow
// key (Esc and more) is not taken for Esc nor typed: Esc at the welcome,
// Esc at the abort question (its Cancel), Down and "c" (Continue) at the
// welcome; a directory typed with Left and a Backspace in it, then Enter.
// From a pipe or a file a line answers; with no input at all the proposed
// answers are taken.
TEST(SetupProgram, KeysActAtOnceAtATerminalAndLinesAnswerFromAPipe) {
    Program p;
    int status;
    std::string out = p.RunAtTerminal("--machine m",
                                      "\x1b\x1b\x1b[Bc"
                                      "C:\\NEWX\x1b[D\x7f\n",
                                      &status);
    EXPECT_EQ(status, 2) << out;
    size_t first = out.find("== Brivanta 98 Setup =="), abort = out.find("abort the installation?");
    EXPECT_LT(first, abort) << out;
    EXPECT_NE(out.find("== Brivanta 98 Setup ==", abort), std::string::npos) << out;
    EXPECT_NE(out.find("Do you want to create the directory:C:\\NEW?"), std::string::npos) << out;

    const struct {
        std::string lines;
        int code;
        std::string last;
    } piped[] = {
        {"x\no\n", 2, "Cancelled in the welcome dialog."},
        {"", 0, "Installed."},
    };
    for (const auto& c : piped) {
        p.Write("lines", c.lines);
        out = p.Run("--machine piped < lines", &status);
        EXPECT_EQ(status, c.code) << out;
        EXPECT_EQ(Lines(out).back(), c.last);
    }
}

// Nothing is made, reset or changed before the arguments and the files
// they name pass their checks; --help and --version print and end.
TEST(SetupProgram, ArgumentsAndFilesAreCheckedBeforeAnythingChanges) {
    Program p;
    int status;
    p.Write("cancel.ini", "[Welcome]\nResult=2\n[Questions]\n3=1\n");
    p.Run("--answers cancel.ini", &status); // makes ./brivanta-demo
    ASSERT_EQ(status, 2);
    p.Write("brivanta-demo/kept", "a file of the demo machine");
    p.Write("bad.ini",
            "[Progress]\nCancelAt=abc\n[Bogus]\nX=1\n[Source]\nInsert Disk 2=DISK1,A:\n");
    p.Write("esc.ini", "[Welcome]\nResult=\x1b[2J\n");
    ASSERT_EQ(mkdir(p.Path("junk").c_str(), 0755), 0);
    for (const char* disk : {"junk/DISK1.IMG", "junk/DISK2.IMG", "junk/DISK3.IMG"})
        p.Write(disk, std::string(1474560, 'x'));
    p.Write("relative.ini", "[Destination]\nDirectory=relative\\dir\n");
    p.Write("empty.ini", "; every dialog as proposed\n");
    ASSERT_EQ(symlink("cancel.ini", p.Path("link.ini").c_str()), 0);
    const struct {
        std::string args;
        int code;
        std::string shown;
    } cases[] = {
        {"--answers missing.ini", 5, "missing.ini: cannot be read: No such file or directory"},
        {"--answers .", 5, ".: is a directory, not an answer file"},
        {"--answers esc.ini", 5, "esc.ini:2: [Welcome] Result takes 1"}, // shown, not obeyed
        {"--answers bad.ini", 5,
         "bad.ini:2: [Progress] CancelAt takes a whole percentage from 0 to 100, not \"abc\"\n"
         "bad.ini:3: unknown section [Bogus]\n"
         "bad.ini:6: [Source] Insert Disk 2 takes DISK1, DISK2, DISK3 or KEEP, or a list of them "
         "separated by commas, not \"DISK1,A:\"\n"},
        {"--floppies .", 5,
         "--floppies: neither the floppy images DISK1.IMG..DISK3.IMG nor the disk folders "
         "DISK1..DISK3 in '.'"},
        {"--floppies junk", 5,
         "--floppies: junk/DISK1.IMG is not a floppy image that mtools can read"},
        {"--floppies junk --source .", 5, "--source and --floppies both name the disks"},
        {"--option DunorU=0", 5, "--option sets an option for --plan only"},
        {"--answers", 5, "--answers needs a file"},
        {"--record /nonexistent/r.ini", 5, "--record: /nonexistent/r.ini cannot be written"},
        {"--source /nonexistent", 5, "no DISK1 in the source folder '/nonexistent'"},
        {"--plan --log x.log", 5, "--answers, --record and --log are for an installation"},
        {"--bogus", 5, "unknown argument: --bogus"},
        // One file, one role, by what it is: a link, "../" and a file not there yet.
        {"--answers cancel.ini --log ./cancel.ini", 5,
         "--answers cancel.ini and --log ./cancel.ini name the same file"},
        {"--answers link.ini --record cancel.ini", 5,
         "--answers link.ini and --record cancel.ini name the same file"},
        {"--record r.ini --log junk/../r.ini", 5,
         "--record r.ini and --log junk/../r.ini name the same file"},
        {"--log a.log --source . --log b.log", 5, "--log is given twice"},
        {"--plan --option DunorU=0 --option dunoru=1", 5, "--option DunorU is given twice"},
        {"--machine junk", 5, "--machine: junk is not an emulated machine"},
        {"--plan --machine cancel.ini", 5, "--machine: cancel.ini is a file"},
        {"--answers relative.ini", 5,
         "relative.ini:2: [Destination] Directory takes a full path from a drive root"},
        {"--answers empty.ini --record /nonexistent/r.ini", 5,
         "The answer file empty.ini holds no answers: every dialog takes its proposed answer."},
        {"--help", 0, " 17  another run is already on this machine; nothing changed\n"},
        {"--version", 0, "brivanta-setup 3.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out = p.Run(c.args, &status, c.code == 0);
        EXPECT_EQ(status, c.code);
        EXPECT_NE(out.find(c.shown), std::string::npos) << out;
        EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
        EXPECT_EQ(p.Read("brivanta-demo/kept"), "a file of the demo machine");
    }
    EXPECT_EQ(p.Read("cancel.ini"), "[Welcome]\nResult=2\n[Questions]\n3=1\n");
    EXPECT_NE(access(p.Path("junk/drive_c").c_str(), F_OK), 0);
    EXPECT_NE(access(p.Path("r.ini").c_str(), F_OK), 0);
}

// A record replays the run it was made from; the log tells each dialog,
// file, change and decision, and is the same for both runs.
TEST(SetupProgram, ARecordReplaysTheRunAndTheLogTellsEachStep) {
    Program p;
    int status;
    p.Write("a.ini", "[Destination]\nDirectory=C:\\VELMOR\\BV\n[Questions]\n57=2\n");
    std::string first =
        p.Run("--machine one --answers a.ini --record r.ini --log one.log", &status);
    ASSERT_EQ(status, 1) << first;
    EXPECT_EQ(p.Read("r.ini"), "[Welcome]\nResult=1\n\n[Destination]\nDirectory=C:\\VELMOR\\BV\n"
                               "Result=1\n\n[Options]\nKeyboardBds=1\nKeyboardPhonetic=1\n"
                               "LanguageDriver=1\nDosFilter=1\nSystemFonts=1\nDunorU=1\nArvelU=1\n"
                               "Result=1\n\n[Questions]\n22=1\n57=2\n");
    std::string second = p.Run("--machine two --answers r.ini --log two.log", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(p.Tree("one/drive_c"), p.Tree("two/drive_c"));
    EXPECT_NE(p.Tree("one/drive_c").find("./VELMOR/BV/brivanta.exe\n"), std::string::npos);
    EXPECT_EQ(p.Read("one/registry.reg"), p.Read("two/registry.reg"));
    std::string log = p.Read("one.log");
    EXPECT_EQ(Events(log), Events(p.Read("two.log")));
    std::vector<std::string> lines = Lines(log);
    ASSERT_GT(lines.size(), 300u) << log;
    EXPECT_EQ(lines[2], "command line: " BRIVANTA_SETUP
                        " --machine one --answers a.ini --record r.ini --log one.log");
    EXPECT_EQ(lines[4], "answer file: a.ini");
    EXPECT_EQ(lines[5], "Windows: Windows 98 (4.10, build 1998, A)");
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + 6, lines.begin() + 12),
        (std::vector<std::string>{
            "dialog welcome => Continue",
            "dialog prompt 6 \"Enter Brivanta destination directory.\" \"C:\\VELMOR\\BV\" => OK",
            "dialog question 22 \"Do you want to create the directory:C:\\VELMOR\\BV?\" => OK",
            "dialog options KeyboardBds=1 KeyboardPhonetic=1 LanguageDriver=1 DosFilter=1 "
            "SystemFonts=1 DunorU=1 ArvelU=1 \"C:\\VELMOR\\BV\" => OK",
            "progress window opened",
            "copy D:\\DISK1\\brivanta.ex_ -> C:\\VELMOR\\BV\\brivanta.exe: copied"}));
    for (const char* line :
         {"copy D:\\DISK3\\arvui.ttf -> C:\\WINDOWS\\FONTS\\arvui.ttf: copied",
          "registry HCU\\Software\\Velmor\\Brivanta\\3.2\\Program dir = C:\\VELMOR\\BV\\: done",
          "ini SYSTEM.INI boot\\language.dll = lngbriv2.dll: done",
          "wininit [rename] NULL=C:\\WINDOWS\\SYSTEM\\fixb01.fon: done",
          "wininit [rename] C:\\WINDOWS\\FONTS\\vgasys.fon=C:\\WINDOWS\\FONTS\\vgasys.001: done",
          "ini WIN.INI FontSubstitutes\\System,0 = System,204: done",
          "progman [AddItem(C:\\VELMOR\\BV\\brivanta.exe,Brivanta 3.2)]: done",
          "start C:\\VELMOR\\BV\\brivanta.exe 1: done", "restart: declined",
          "dialog message 15 \"Installation was successful!\" => OK"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    // What a fresh machine lacks (old versions' keys and items, the key
    // RenameFiles) is not there, not failed.
    for (const std::string& line : lines)
        EXPECT_EQ(line.find(": failed"), std::string::npos) << line;
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "registry delete HCU\\Software\\Velmor\\Brivanta\\3.0: not present"),
              lines.end());
    EXPECT_EQ(lines[lines.size() - 2],
              "totals: 38 files copied, 0 skipped, 0 failed, 0 deleted; 277 values written, 0 "
              "failed, 20 not present; 22 other changes done, 0 failed, 12 not present");
    EXPECT_EQ(lines.back(), "result 1: Installed; the restart was declined.");
}

// From three floppies in drive A: as from the disk folders on D:. Message 30
// asks for each disk with A:\ proposed; disk 1 left in the drive gives
// message 10 for the first file of disk 2 and the prompt again. Typed at a
// terminal from the images, its record replayed from the folders, and the
// proposed disks: each leaves the machine of the installation from D:, but
// for the source directory, and disk 3 in the drive.
TEST(SetupProgram, ThreeFloppiesInDriveAInstallWhatTheDiskFoldersDo) {
    Program p;
    int status;
    const std::string disks = BRIVANTA_SAMPLE_DISKS; // images and folders
    ASSERT_EQ(mkdir(p.Path("folders").c_str(), 0755), 0);
    for (std::string disk : {"/DISK1", "/DISK2", "/DISK3"})
        ASSERT_EQ(symlink((disks + disk).c_str(), p.Path("folders" + disk).c_str()), 0);
    p.Write("a.ini", std::string(kAllOptions) + "[Questions]\n57=2\n");
    std::string out = p.Run("--machine from-d --source " + disks + " --answers a.ini", &status);
    ASSERT_EQ(status, 1) << out;

    // Welcome, destination, create it?, options; disk 1 kept (a key, no
    // Enter), message 10, disk 2, disk 3; no restart (a key), done.
    out = p.RunAtTerminal("--floppies " + disks + " --machine typed --record r.ini --log typed.log",
                          "\nC:\\VELMOR\\BV\n\n\nk\n\n\nc\n", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("  Floppy (Enter: DISK2, 1-3: DISKn, k: keep DISK1, d: a directory, Esc:"),
              std::string::npos)
        << out;
    const std::string prompt = "dialog prompt 30 \"Put the Disk ";
    const std::string asked = " in the drive (or type new directory).\" \"A:\\\" => OK ";
    const std::vector<std::string> wrongDiskFirst = {
        "floppy DISK1 in drive A:", prompt + "2" + asked + "(the disk in the drive kept)",
        "dialog message 10 \"The file Fonts\\c8514fix.fo_ could not be found!\" => OK",
        prompt + "2" + asked + "(inserted DISK2)", prompt + "3" + asked + "(inserted DISK3)"};
    auto disksAndErrors = [&](const std::string& log) {
        std::vector<std::string> lines;
        for (const std::string& line : Lines(p.Read(log)))
            if (line.rfind("floppy", 0) == 0 || line.rfind(prompt, 0) == 0 ||
                line.rfind("dialog message", 0) == 0)
                lines.push_back(line);
        lines.pop_back(); // "Installation was successful!"
        return lines;
    };
    EXPECT_EQ(disksAndErrors("typed.log"), wrongDiskFirst);
    EXPECT_NE(p.Read("r.ini").find("[Source]\nDisk 2=A:\\\nDisk 3=A:\\\n"
                                   "Insert Disk 2=KEEP,DISK2\nInsert Disk 3=DISK3\n"),
              std::string::npos)
        << p.Read("r.ini");

    out =
        p.Run("--floppies folders --machine replayed --answers r.ini --log replayed.log", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(Events(p.Read("replayed.log")), Events(p.Read("typed.log")));
    out = p.Run("--floppies " + disks + " --machine proposed --answers a.ini --log proposed.log",
                &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(disksAndErrors("proposed.log"),
              (std::vector<std::string>{"floppy DISK1 in drive A:", wrongDiskFirst[3],
                                        wrongDiskFirst[4]}));

    std::string registry = p.Read("from-d/registry.reg");
    const std::string source = "\"Source dir\"=\"D:\\\\DISK1\\\\\"";
    ASSERT_NE(registry.find(source), std::string::npos);
    registry.replace(registry.find(source), source.size(), "\"Source dir\"=\"A:\\\\\"");
    for (const char* machine : {"typed", "replayed", "proposed"}) {
        SCOPED_TRACE(machine);
        const std::string m = machine;
        EXPECT_EQ(p.Tree(m + "/drive_c"), p.Tree("from-d/drive_c"));
        EXPECT_EQ(p.Read(m + "/registry.reg"), registry);
        EXPECT_EQ(p.Tree(m + "/progman"), p.Tree("from-d/progman"));
        EXPECT_EQ(p.Tree(m + "/drive_a"), p.Tree(disks + "/DISK3"));
    }
}

// The plan changes nothing anywhere: a machine that does not exist is not
// made, one that does keeps every file; it lists the system changes beside
// the files, from the source paths a run uses (the floppy drive's with
// --floppies), registry lines as the report has them, names read from the
// machine shown, not obeyed.
TEST(SetupProgram, ThePlanWritesNothingAndListsEveryChange) {
    Program p;
    int status;
    std::string plan = p.Run("--plan --machine fresh", &status);
    EXPECT_EQ(status, 0) << plan;
    EXPECT_EQ(plan.rfind("No machine in fresh: the plan is made against a fresh machine.\n", 0), 0u)
        << plan;
    EXPECT_NE(access(p.Path("fresh").c_str(), F_OK), 0) << "no machine made";
    std::vector<std::string> lines = Lines(plan);
    for (const char* line :
         {"disk 1 = D:\\DISK1\\",
          "copy D:\\DISK2\\Fonts\\cvgasys.fo_ -> C:\\WINDOWS\\FONTS\\vgasys.001",
          "registry HCU\\Software\\Velmor\\Brivanta\\3.2\\Program dir = C:\\WINDOWS\\VELMOR\\",
          "registry HCU\\Software\\Velmor\\Brivanta\\3.2\\Source dir = D:\\DISK1\\",
          "registry delete HCU\\Software\\Velmor\\Brivanta\\3.0",
          "ini SYSTEM.INI boot\\language.dll = lngbriv2.dll",
          "wininit [rename] NULL=C:\\WINDOWS\\SYSTEM\\fixb01.fon"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << plan;
    // A machine the plan would change everywhere: nothing installed yet.
    p.Write("a.ini", "[Welcome]\nResult=2\n[Questions]\n3=1\n");
    p.Run("--machine m --answers a.ini", &status);
    ASSERT_EQ(status, 2);
    std::string before = p.Tree(".");
    for (const char* options : {"", "--option SystemFonts=0"}) {
        std::string again = p.Run(std::string("--plan --machine m ") + options, &status);
        EXPECT_EQ(status, 0) << again;
        EXPECT_EQ(p.Tree("."), before) << options;
        EXPECT_EQ(again.find("wininit") == std::string::npos, options[0] != 0) << again;
    }
    const std::string disks = BRIVANTA_SAMPLE_DISKS;
    std::string floppies = p.Run("--plan --floppies " + disks, &status);
    EXPECT_EQ(status, 0) << floppies;
    lines = Lines(floppies);
    for (const char* line :
         {"disk 2 = A:\\", "copy A:\\Fonts\\cvgasys.fo_ -> C:\\WINDOWS\\FONTS\\vgasys.001",
          "registry HCU\\Software\\Velmor\\Brivanta\\3.2\\Source dir = A:\\"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << floppies;
    // Registry lines read the same in the plan and in the report of a run.
    p.Write("all.ini", "[Questions]\n57=2\n");
    std::string report = p.Run("--machine run --answers all.ini", &status);
    for (std::string value :
         {"HCU\\Software\\Velmor\\Brivanta\\3.2\\Program dir = C:\\WINDOWS\\VELMOR\\",
          "HLM\\System\\CurrentControlSet\\Control\\Nls\\Codepage\\1251 = cp_1251.nls"}) {
        EXPECT_NE(plan.find("\nregistry " + value + "\n"), std::string::npos) << value;
        EXPECT_NE(report.find("\n  + " + value + "\n"), std::string::npos) << value << report;
    }
    p.Write("m/registry.reg", p.Read("m/registry.reg") +
                                  "[HKEY_CURRENT_USER\\Software\\Velmor\\Brivanta\\3.2]\r\n"
                                  "\"Program dir\"=\"C:\\\\E\x1b[2J\"\r\n");
    std::string shown = p.Run("--plan --machine m", &status);
    EXPECT_NE(shown.find("destination = C:\\E\\x1b[2J\\\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos);
}

} // namespace
