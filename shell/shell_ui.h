// The engine's dialogs, over the shell's shared dialog operations.
#pragma once

#include "engine_ui.h"

class ShellUi : public EngineUi {
  public:
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
};
