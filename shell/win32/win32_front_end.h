// The real dialogs: modal dialogs from the templates, the old-style Open
// dialog as the folder browser, and the progress window with its bar drawn
// off screen.
#pragma once

#include "dialog_front_end.h"

class Win32FrontEnd : public DialogFrontEnd {
  public:
    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override;
    void AfterDialog(HWND owner) override;
    int BrowseForDirectory(HWND owner, char* buffer) override;
    HWND OpenProgress(HWND owner, int templateId) override;
    bool UpdateProgress(HWND window, int percent) override;
    void CloseProgress(HWND window) override;
    void ShowProgress(HWND window, bool visible) override;
};

// Centres a dialog on the desktop, keeping its size, and focuses it.
void CenterDialog(HWND dialog);
// Gives a button the default push-button style and the focus.
void MakeDefaultButton(HWND dialog, int button);
// Draws the progress bar of `window` at `percent`.
void DrawProgressBar(HWND window, int percent);

// The dialog procedures; each runs a dialog from its DialogState.
INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DirectoryPromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WelcomeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK BrowseHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
