// The front end of an unattended run that shows nothing: every dialog is
// answered from the answer file or takes its proposed answer, and the
// progress window is a handle that draws nothing.
#pragma once

#include "dialog_answers.h"

class SilentFrontEnd : public DialogFrontEnd {
  public:
    explicit SilentFrontEnd(DialogAnswers* answers) : answers_(answers) {}

    int RunDialog(HWND, DialogState& state, DialogCommands*) override {
        return answers_->Answer(state);
    }
    void AfterDialog(HWND) override {}
    int BrowseForDirectory(HWND, char*) override { return 0; }
    HWND OpenProgress(HWND, int) override;
    bool UpdateProgress(HWND, int percent) override { return answers_->CancelProgress(percent); }
    void CloseProgress(HWND) override {}
    void ShowProgress(HWND, bool) override {}

  private:
    DialogAnswers* answers_;
};
