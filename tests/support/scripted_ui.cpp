#include "scripted_ui.h"

#include <cstring>

namespace {
HWND FakeWindow() {
    static char window;
    return reinterpret_cast<HWND>(&window);
}
} // namespace

HWND ScriptedUi::OpenProgressWindow(HWND, unsigned total, int abortMessage) {
    log.push_back("progress open " + std::to_string(total) + " " + std::to_string(abortMessage));
    if (!progressOpens)
        return nullptr;
    progressOpen = 1;
    progressVisible = true;
    return FakeWindow();
}

int ScriptedUi::UpdateProgress(unsigned done) {
    updates.push_back(done);
    if (!progressOpen)
        return 0;
    return (cancelAtUpdate != 0 && done >= cancelAtUpdate) ? 0 : 1;
}

int ScriptedUi::CloseProgressWindow() {
    log.push_back("progress close");
    progressOpen = 0;
    return 1;
}

void ScriptedUi::ShowProgressWindow(HWND, bool visible) {
    progressVisible = visible;
}

void ScriptedUi::ShowMessage(HWND, int message) {
    log.push_back("message " + std::to_string(message) +
                  (progressOpen && progressVisible ? " over progress" : ""));
}

void ScriptedUi::ShowMessageText(HWND, int message, const char* text) {
    log.push_back("message " + std::to_string(message) + " " + text +
                  (progressOpen && progressVisible ? " over progress" : ""));
}

void ScriptedUi::ShowMessageTexts(HWND, int message, const char* text, const char* second) {
    log.push_back("message " + std::to_string(message) + " " + text + " | " + second);
}

int ScriptedUi::Answer(int defaultButton) {
    if (answers.empty())
        return defaultButton == 0 ? 1 : defaultButton;
    int a = answers.front();
    answers.pop_front();
    return a;
}

int ScriptedUi::AskMessage(HWND, int message, int defaultButton) {
    log.push_back("ask " + std::to_string(message) + " default " + std::to_string(defaultButton));
    return Answer(defaultButton);
}

int ScriptedUi::AskMessageText(HWND, int message, const char* text, int defaultButton) {
    log.push_back("ask " + std::to_string(message) + " " + text + " default " +
                  std::to_string(defaultButton));
    return Answer(defaultButton);
}

int ScriptedUi::Prompt(const std::string& line, char* buffer, unsigned size) {
    log.push_back(line + " [" + buffer + "]");
    if (prompts.empty())
        return -1;
    std::string typed = prompts.front();
    prompts.pop_front();
    if (typed == kCancel)
        return 2;
    std::strncpy(buffer, typed.c_str(), size - 1);
    buffer[size - 1] = 0;
    return 1;
}

int ScriptedUi::PromptDisk(HWND, int message, const char* diskName, char* buffer, unsigned size) {
    return Prompt("disk " + std::to_string(message) + " " + diskName, buffer, size);
}

int ScriptedUi::PromptDirectory(HWND, int message, int secondMessage, char* buffer, unsigned size) {
    return Prompt("directory " + std::to_string(message) + " " + std::to_string(secondMessage),
                  buffer, size);
}
