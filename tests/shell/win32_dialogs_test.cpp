// The real dialogs, driven the way a user would: a robot finds each dialog
// by caption and class "#32770" once it is visible and enabled, reads its
// texts, types, ticks and presses buttons.
#include "install_engine.h"
#include "language.h"
#include "main_window.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"
#include "setup_state.h"
#include "welcome_options.h"
#include "win32_front_end.h"

#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string Text(HWND dialog, int control) {
    char text[512] = "";
    GetDlgItemTextA(dialog, control, text, sizeof text);
    return text;
}

void Press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Acts on each dialog in turn: a thread timer, so every step runs inside
// the modal loop of the dialog it drives, on the dialog's own thread.
class Robot {
  public:
    struct Step {
        const char* caption;
        std::function<void(HWND)> act;
    };
    explicit Robot(std::vector<Step> steps) {
        steps_ = std::move(steps);
        next_ = 0;
        last_ = nullptr;
        timer_ = SetTimer(nullptr, 0, 20, Tick);
    }
    ~Robot() { KillTimer(nullptr, timer_); }
    static size_t StepsDone() { return next_; }

  private:
    static BOOL CALLBACK Match(HWND window, LPARAM found) {
        char name[16] = "", caption[128] = "";
        GetClassNameA(window, name, sizeof name);
        GetWindowTextA(window, caption, sizeof caption);
        if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(window) &&
            IsWindowEnabled(window) && window != last_ &&
            std::strcmp(caption, steps_[next_].caption) == 0) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (next_ >= steps_.size())
            return;
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), Match, reinterpret_cast<LPARAM>(&found));
        if (!found)
            return;
        last_ = found;
        steps_[next_++].act(found);
    }
    static std::vector<Step> steps_;
    static size_t next_;
    static HWND last_;
    UINT_PTR timer_;
};
std::vector<Robot::Step> Robot::steps_;
size_t Robot::next_;
HWND Robot::last_;

struct RealDialogs : ::testing::Test {
    Win32FrontEnd frontEnd;
    void SetUp() override {
        SetModuleInstance(GetModuleHandleA(nullptr));
        SetLanguageCode(LanguageEnglish);
        SetFrontEnd(&frontEnd);
    }
    void TearDown() override {
        SetFrontEnd(nullptr);
        SetLanguageCode(LanguageBulgarian);
    }
};

TEST_F(RealDialogs, MessageAndQuestionShowTheirTextAndAnswerWithTheButton) {
    std::string seen, second;
    LONG defaultStyle = 0;
    {
        Robot robot({{"Brivanta Installation",
                      [&](HWND d) {
                          seen = Text(d, IDC_MESSAGE_TEXT);
                          Press(d, IDOK);
                      }},
                     {"Brivanta Installation", [&](HWND d) {
                          second = Text(d, IDC_MESSAGE_TEXT);
                          defaultStyle = GetWindowLongA(GetDlgItem(d, IDCANCEL), GWL_STYLE) & 0xF;
                          Press(d, IDCANCEL);
                      }}});
        ShowMessageTexts(nullptr, IDS_COPY_FAILED, "a.txt", "C:\\DEST\\");
        EXPECT_EQ(AskMessage(nullptr, IDS_ABORT_CONFIRM, 2), 2);
    }
    EXPECT_EQ(seen, "Can't copy the file a.txt to the directory:\n C:\\DEST\\");
    EXPECT_EQ(second, "Are you sure you want to abort the installation?");
    EXPECT_EQ(defaultStyle, BS_DEFPUSHBUTTON) << "the second button is the default";
}

TEST_F(RealDialogs, TheDiskPromptHandsBackWhatWasTyped) {
    std::string line, start;
    {
        Robot robot({{"Brivanta Installation", [&](HWND d) {
                          line = Text(d, IDC_PROMPT_LINE);
                          start = Text(d, IDC_DIRECTORY_EDIT);
                          SetDlgItemTextA(d, IDC_DIRECTORY_EDIT, "C:\\NEW");
                          Press(d, IDOK);
                      }}});
        char buffer[256] = "A:\\";
        EXPECT_EQ(PromptDisk(nullptr, MsgInsertDisk, "~Disk 2", buffer, sizeof buffer), 1);
        EXPECT_STREQ(buffer, "C:\\NEW");
    }
    EXPECT_EQ(line, "Put the Disk 2 in the drive (or type new directory).");
    EXPECT_EQ(start, "A:\\");
}

TEST_F(RealDialogs, WelcomeAndOptionsWithTheAbortConfirmation) {
    std::string directory;
    int checked = 0;
    std::strcpy(DestinationDir, "C:\\VELMOR\\BRIVANTA");
    {
        Robot robot(
            {{"Brivanta 98 Setup", [](HWND d) { Press(d, IDCANCEL); }},     // E&xit Setup
             {"Brivanta Installation", [](HWND d) { Press(d, IDCANCEL); }}, // the welcome again
             {"Brivanta 98 Setup", [](HWND d) { Press(d, IDOK); }},
             {"Setup Options", [&](HWND d) {
                  directory = Text(d, IDC_DIRECTORY_TEXT);
                  for (int box : {IDC_UNITED_STATES, IDC_KEYBOARD_BDS, IDC_KEYBOARD_PHONETIC,
                                  IDC_LANGUAGE_DRIVER, IDC_DOS_FILTER, IDC_SYSTEM_FONTS, IDC_DUNORU,
                                  IDC_ARVELU})
                      checked += IsDlgButtonChecked(d, box) == BST_CHECKED;
                  CheckDlgButton(d, IDC_DUNORU, BST_UNCHECKED);
                  Press(d, IDOK);
              }}});
        EXPECT_EQ(ShowWelcome(nullptr), Ok);
        EXPECT_EQ(ShowOptions(nullptr), Ok);
    }
    EXPECT_EQ(directory, "C:\\VELMOR\\BRIVANTA");
    EXPECT_EQ(checked, 8);
    EXPECT_EQ(SetupOptions.DunorU, 0u);
    EXPECT_EQ(SetupOptions.ArvelU, 1u);
}

// Welcome and options end on the low word of the command alone, with the
// whole wParam as their result. Were the first command ignored, the Cancel
// posted after it would bring the abort confirmation.
TEST_F(RealDialogs, WelcomeAndOptionsEndOnTheLowWordOfTheCommand) {
    auto okWithNotification = [](HWND d) {
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
        PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    };
    int confirmations = 0;
    auto confirm = [&](HWND d) {
        ++confirmations;
        Press(d, IDOK);
    };
    {
        Robot robot(
            {{"Brivanta 98 Setup", okWithNotification}, {"Brivanta Installation", confirm}});
        EXPECT_EQ(ShowWelcome(nullptr), Ok);
    }
    {
        Robot robot({{"Setup Options",
                      [&](HWND d) {
                          CheckDlgButton(d, IDC_DUNORU, BST_UNCHECKED);
                          okWithNotification(d);
                      }},
                     {"Brivanta Installation", confirm}});
        EXPECT_EQ(ShowOptions(nullptr), Ok);
    }
    EXPECT_EQ(confirmations, 0);
    EXPECT_EQ(SetupOptions.DunorU, 0u) << "the boxes are read as the dialog ends";
    EXPECT_EQ(SetupOptions.ArvelU, 1u);
}

TEST_F(RealDialogs, ChangeInTheOptionsAsksForTheDirectoryAndShowsIt) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    std::strcpy(DestinationDir, "C:\\BEFORE");
    std::string proposal, shown;
    {
        Robot robot({{"Setup Options", [](HWND d) { Press(d, IDC_CHANGE_DIRECTORY); }},
                     {"Brivanta Installation",
                      [&](HWND d) {
                          proposal = Text(d, IDC_DIRECTORY_EDIT);
                          SetDlgItemTextA(d, IDC_DIRECTORY_EDIT, windows);
                          Press(d, IDOK);
                      }},
                     {"Setup Options", [&](HWND d) {
                          shown = Text(d, IDC_DIRECTORY_TEXT);
                          Press(d, IDOK);
                      }}});
        EXPECT_EQ(ShowOptions(nullptr), Ok);
    }
    EXPECT_EQ(proposal.substr(proposal.size() - 7), "VELMOR\\") << proposal;
    EXPECT_EQ(shown, std::string(windows) + "\\");
    EXPECT_EQ(DestinationDir, std::string(windows) + "\\");
}

TEST_F(RealDialogs, ProgressCancelAsksAndStops) {
    ASSERT_TRUE(OpenProgressWindow(nullptr, 8, MsgAbortConfirm));
    HWND window = progressState.window;
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ(caption, "Progress");
    EXPECT_EQ(UpdateProgress(3), 1);
    EXPECT_EQ(progressState.shownPercent, 37);
    std::string question;
    {
        Robot robot({{"Brivanta Installation", [&](HWND d) {
                          question = Text(d, IDC_MESSAGE_TEXT);
                          Press(d, IDOK);
                      }}});
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(UpdateProgress(4), 0);
    }
    EXPECT_EQ(question, "Are you sure you want to abort the installation?");
    EXPECT_EQ(UpdateProgress(5), 0);
    EXPECT_EQ(CloseProgressWindow(), 0);
    EXPECT_TRUE(IsWindow(window)) << "left open after a confirmed cancel";
    DestroyWindow(window);
    progressState = ProgressState{};
}

} // namespace

namespace {

// Inside the run: a WM_CLOSE dispatched by a nested loop and a second start
// message must both leave the window and the run alone.
class WindowInstaller : public InstallEngine {
  public:
    WindowInstaller() : InstallEngine(GetModuleHandleA(nullptr), nullptr) {}
    int runs = 0, finishes = 0;
    bool aliveAfterClose = false;
    HWND window = nullptr;
    char firstTitle[128] = "";

    ResultCode Initialize() override {
        ++runs;
        window = OwnerWindow();
        GetWindowTextA(window, firstTitle, sizeof firstTitle);
        PostMessageA(window, WM_CLOSE, 0, 0);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        aliveAfterClose = IsWindow(window) != 0;
        SendMessageA(window, WM_USER, 0, 0);
        return Abort;
    }
    ResultCode Finish(ResultCode result) override {
        ++finishes;
        return result;
    }
};

TEST(MainWindow, RunsOnceInsideTheStartMessageAndOutlivesAClose) {
    SetModuleInstance(GetModuleHandleA(nullptr));
    SetLanguageCode(LanguageBulgarian); // as at the start of the process
    WindowInstaller installer;
    EXPECT_EQ(RunMainWindow(&installer), Ok);
    EXPECT_EQ(installer.runs, 1);
    EXPECT_EQ(installer.finishes, 1);
    EXPECT_EQ(installer.RunResult(), Abort);
    EXPECT_TRUE(installer.aliveAfterClose) << "WM_CLOSE while running is ignored";
    EXPECT_FALSE(IsWindow(installer.window)) << "destroyed after the run";
    char baseTitle[128] = "";
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 8, baseTitle, sizeof baseTitle), 0);
    EXPECT_STREQ(installer.firstTitle, baseTitle) << "message 8 in the base language";

    // A window of the class marks a running copy: nothing else happens.
    HWND first = CreateWindowExA(0, "KX Installer", "first", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(first);
    WindowInstaller second;
    EXPECT_EQ(RunMainWindow(&second), AlreadyRunning);
    EXPECT_EQ(second.runs, 0);
    DestroyWindow(first);
}

} // namespace
