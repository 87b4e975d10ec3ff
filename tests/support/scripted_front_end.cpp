#include "scripted_front_end.h"

#include "resource_ids.h"
#include "text.h"

#include <cstring>

namespace {
HWND FakeWindow(int n) {
    static char windows[4];
    return reinterpret_cast<HWND>(&windows[n]);
}
} // namespace

int ScriptedFrontEnd::RunDialog(HWND, DialogState& state, DialogCommands* commands) {
    shown.push_back(state);
    log.push_back(std::to_string(state.templateId) + ": " +
                  (state.HasText(IDC_MESSAGE_TEXT) ? state.Text(IDC_MESSAGE_TEXT)
                                                   : state.Text(IDC_PROMPT_LINE)));
    if (replies.empty())
        return -1;
    Reply reply = replies.front();
    replies.pop_front();
    for (const auto& t : reply.texts)
        state.SetText(t.first, t.second.c_str());
    for (const auto& c : reply.checks)
        state.SetCheck(c.first, c.second);
    for (int command : reply.commands) {
        if (!commands)
            return command; // a message dialog ends on any command
        commands->OnCommand(command, state, FakeWindow(0));
    }
    return reply.result;
}

int ScriptedFrontEnd::BrowseForDirectory(HWND, char* buffer) {
    if (browse.empty())
        return 0;
    CopyText(buffer, MAX_PATH, browse.front().c_str());
    AppendBackslash(buffer, MAX_PATH);
    browse.pop_front();
    return 1;
}

HWND ScriptedFrontEnd::OpenProgress(HWND, int templateId) {
    progressLog.push_back("open " + std::to_string(templateId));
    return progressOpens ? FakeWindow(1) : nullptr;
}

bool ScriptedFrontEnd::UpdateProgress(HWND, int percent) {
    drawn.push_back(percent);
    if (cancelPresses.empty())
        return false;
    bool pressed = cancelPresses.front();
    cancelPresses.pop_front();
    return pressed;
}

void ScriptedFrontEnd::CloseProgress(HWND) {
    progressLog.push_back("close");
}

void ScriptedFrontEnd::ShowProgress(HWND, bool visible) {
    progressLog.push_back(visible ? "show" : "hide");
}

std::string ScriptedFrontEnd::LastText(int templateId) const {
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        if (it->templateId == templateId)
            return it->HasText(IDC_MESSAGE_TEXT) ? it->Text(IDC_MESSAGE_TEXT)
                                                 : it->Text(IDC_PROMPT_LINE);
    return "";
}
