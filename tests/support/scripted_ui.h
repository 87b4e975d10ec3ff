// An EngineUi that answers from queues and records every dialog it is
// asked to show, so tests can check what the user would have seen.
#pragma once

#include "engine_ui.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedUi : public EngineUi {
  public:
    static constexpr const char* kCancel = "\x1b";

    std::vector<std::string> log;    // one line per dialog shown
    std::deque<int> answers;         // for the ask operations; empty: default button
    std::deque<std::string> prompts; // text typed and OK; kCancel: Cancel; empty: cannot show
    bool progressOpens = true;
    unsigned cancelAtUpdate = 0;   // UpdateProgress answers 0 from this count on
    std::vector<unsigned> updates; // the counts UpdateProgress received
    bool progressVisible = false;
    int progressOpen = 0;

    HWND OpenProgressWindow(HWND owner, unsigned total, int abortMessage) override;
    int UpdateProgress(unsigned done) override;
    int CloseProgressWindow() override;
    void ShowProgressWindow(HWND progress, bool visible) override;
    void ShowMessage(HWND owner, int message) override;
    void ShowMessageText(HWND owner, int message, const char* text) override;
    void ShowMessageTexts(HWND owner, int message, const char* text, const char* second) override;
    int AskMessage(HWND owner, int message, int defaultButton) override;
    int AskMessageText(HWND owner, int message, const char* text, int defaultButton) override;
    int PromptDisk(HWND owner, int message, const char* diskName, char* buffer,
                   unsigned size) override;
    int PromptDirectory(HWND owner, int message, int secondMessage, char* buffer,
                        unsigned size) override;

  private:
    int Prompt(const std::string& line, char* buffer, unsigned size);
    int Answer(int defaultButton);
};
