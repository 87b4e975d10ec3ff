#include "shell_ui.h"

#include "dialog_front_end.h"
#include "messages.h"
#include "progress.h"
#include "prompts.h"

#include <climits>

HWND ShellUi::OpenProgressWindow(HWND owner, unsigned total, int abortMessage) {
    return ::OpenProgressWindow(owner, total > INT_MAX ? INT_MAX : int(total), abortMessage);
}

int ShellUi::UpdateProgress(unsigned done) {
    return ::UpdateProgress(done > INT_MAX ? INT_MAX : int(done));
}

int ShellUi::CloseProgressWindow() {
    return ::CloseProgressWindow();
}

void ShellUi::ShowProgressWindow(HWND progress, bool visible) {
    if (progress && FrontEnd())
        FrontEnd()->ShowProgress(progress, visible);
}

void ShellUi::ShowMessage(HWND owner, int message) {
    ::ShowMessage(owner, message);
}

void ShellUi::ShowMessageText(HWND owner, int message, const char* text) {
    ::ShowMessageText(owner, message, text);
}

void ShellUi::ShowMessageTexts(HWND owner, int message, const char* text, const char* second) {
    ::ShowMessageTexts(owner, message, text, second);
}

int ShellUi::AskMessage(HWND owner, int message, int defaultButton) {
    return ::AskMessage(owner, message, defaultButton);
}

int ShellUi::AskMessageText(HWND owner, int message, const char* text, int defaultButton) {
    return ::AskMessageText(owner, message, text, defaultButton);
}

int ShellUi::PromptDisk(HWND owner, int message, const char* diskName, char* buffer,
                        unsigned size) {
    return ::PromptDisk(owner, message, diskName, buffer, size);
}

int ShellUi::PromptDirectory(HWND owner, int message, int secondMessage, char* buffer,
                             unsigned size) {
    return ::PromptDirectory(owner, message, secondMessage, buffer, size);
}
