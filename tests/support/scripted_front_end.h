// A DialogFrontEnd that answers from a queue and records every dialog as
// it was shown, so tests drive the shell's shared dialog logic as a user.
#pragma once

#include "dialog_front_end.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

class ScriptedFrontEnd : public DialogFrontEnd {
  public:
    // What the user does in one dialog: types, ticks, presses other buttons
    // in this order, then ends it with `result`.
    struct Reply {
        int result = 1;
        std::vector<std::pair<int, std::string>> texts = {};
        std::vector<std::pair<int, bool>> checks = {};
        std::vector<int> commands = {};
    };

    std::deque<Reply> replies;      // empty: the dialog cannot be created (-1)
    std::vector<DialogState> shown; // each dialog's state as it opened
    std::vector<std::string> log;   // "<template>: <main text>" per dialog

    std::deque<std::string> browse; // folders chosen in the browser; empty: cancel
    bool progressOpens = true;
    std::deque<bool> cancelPresses; // per progress update: Cancel pressed
    std::vector<int> drawn;         // the percent of each bar drawing
    std::vector<std::string> progressLog;

    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override;
    void AfterDialog(HWND) override {}
    int BrowseForDirectory(HWND owner, char* buffer) override;
    HWND OpenProgress(HWND owner, int templateId) override;
    bool UpdateProgress(HWND window, int percent) override;
    void CloseProgress(HWND window) override;
    void ShowProgress(HWND window, bool visible) override;

    // The main text of the last dialog with this template; "" when none.
    std::string LastText(int templateId) const;
};
