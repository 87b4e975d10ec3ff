#include "prompts.h"

#include "dialog_front_end.h"
#include "language.h"
#include "messages.h"
#include "setup_state.h"
#include "text.h"

#include <cstring>

PromptRequest promptRequest = {};

namespace {

enum { EditLimit = 254 };

// "&Browse..." starts from the text the prompt opened with (or the last
// folder chosen), not from what has been typed since.
class PromptCommands : public DialogCommands {
  public:
    int OnCommand(int control, DialogState& state, HWND dialog) override {
        if (control != IDC_BROWSE_BUTTON)
            return 0;
        if (FrontEnd()->BrowseForDirectory(dialog, promptRequest.editText) != 1)
            return 0;
        state.SetText(IDC_DIRECTORY_EDIT, promptRequest.editText);
        return IDC_DIRECTORY_EDIT;
    }
};

int RunPrompt(HWND owner, char* buffer, unsigned size) {
    CopyText(promptRequest.editText, sizeof promptRequest.editText, buffer);
    int result = -1;
    if (DialogFrontEnd* frontEnd = FrontEnd()) {
        DialogState state;
        bool twoLines = promptRequest.secondMessageId != 0;
        state.templateId = MapResourceId(twoLines ? DlgDirectoryPrompt2 : DlgDirectoryPrompt);
        state.messageId = MapSymbolicId(promptRequest.messageId);
        state.focus = IDC_DIRECTORY_EDIT;
        CopyText(state.argument, sizeof state.argument, promptRequest.argument);
        char line[256];
        MessageText(line, sizeof line, promptRequest.messageId, promptRequest.argument, "");
        state.SetText(IDC_PROMPT_LINE, line);
        if (twoLines) {
            LoadMessage(promptRequest.secondMessageId, line, sizeof line);
            state.SetText(IDC_PROMPT_SECOND_LINE, line);
        }
        state.SetText(IDC_DIRECTORY_EDIT, promptRequest.editText);
        PromptCommands commands;
        result = frontEnd->RunDialog(owner, state, &commands);
        if (result == 1 || result == 2)
            CopyText(promptRequest.editText, EditLimit + 1, state.Text(IDC_DIRECTORY_EDIT));
    }
    if (size > 0)
        CopyText(buffer, size, promptRequest.editText);
    return result;
}

// A lookup that failed for a reason other than "not there" means the name
// itself is not valid. Empty names and wildcards are caught first: the
// lookup would take the current directory or a matching file for them.
bool ValidDirectoryName(const char* path, bool* exists) {
    *exists = false;
    if (!path[0] || std::strpbrk(path, "*?"))
        return false;
    SetLastError(0);
    if (PathExists(path)) {
        *exists = true;
        return true;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES || error == ERROR_NOT_ENOUGH_MEMORY;
}

} // namespace

int PromptDirectory(HWND owner, int message, int secondMessage, char* buffer, unsigned size) {
    promptRequest.messageId = message;
    promptRequest.secondMessageId = secondMessage;
    promptRequest.argument[0] = 0;
    return RunPrompt(owner, buffer, size);
}

int PromptDisk(HWND owner, int message, const char* diskName, char* buffer, unsigned size) {
    promptRequest.messageId = message;
    promptRequest.secondMessageId = 0;
    CopyText(promptRequest.argument, sizeof promptRequest.argument,
             diskName[0] == '~' ? diskName + 1 : diskName);
    int result = RunPrompt(owner, buffer, size);
    promptRequest.argument[0] = 0;
    return result;
}

const char* DestinationFault(const char* path) {
    char drive = UpperAscii(path[0]);
    if (drive < 'A' || drive > 'Z' || path[1] != ':' || path[2] != '\\')
        return "takes a full path from a drive root such as C:\\";
    for (const char* c = path + 2; *c; ++c)
        if (static_cast<unsigned char>(*c) < 32 || std::strchr("\"*/:<>?|", *c))
            return "takes a path whose names hold none of the characters \" * / : < > ? |";
    return nullptr;
}

void TidyDirectory(char* path) {
    size_t n = std::strlen(path);
    if (n > 0 && path[n - 1] == '\\')
        path[--n] = 0;
    while (n > 0 && path[n - 1] == ' ')
        path[--n] = 0;
}

BOOL CreateDirectoryPath(const char* path, LPSECURITY_ATTRIBUTES security) {
    char work[MAX_PATH];
    CopyText(work, sizeof work, path);
    size_t n = std::strlen(work);
    BOOL result = TRUE;
    for (size_t position = 3; position < n && result;) {
        size_t end = position;
        while (end < n && work[end] != '\\')
            ++end;
        char kept = work[end];
        work[end] = 0;
        if (!PathExists(work))
            result = CreateDirectoryA(work, security);
        work[end] = kept;
        position = end + 1;
    }
    return result;
}

ResultCode AskDestinationDirectory(HWND owner, bool mayAbort) {
    char saved[MAX_PATH];
    CopyText(saved, sizeof saved, DestinationDir);
    if (!ProposeProgramDir(DestinationDir, 1))
        DestinationDir[0] = 0;
    UpperCase(DestinationDir);
    AppendBackslash(DestinationDir, sizeof DestinationDir);
    for (;;) {
        if (PromptDirectory(owner, IDS_ENTER_DESTINATION_DIR, IDS_OVERWRITE_WARNING, DestinationDir,
                            sizeof DestinationDir) != 1) {
            if (!mayAbort) {
                CopyText(DestinationDir, sizeof DestinationDir, saved);
                return Abort;
            }
            if (ConfirmAbort(owner, IDS_ABORT_CONFIRM, 2))
                return Abort;
            continue;
        }
        // Checked as typed: tidying makes "C:\" into "C:".
        bool full = DestinationFault(DestinationDir) == nullptr;
        TidyDirectory(DestinationDir);
        bool exists;
        if (!full || !ValidDirectoryName(DestinationDir, &exists)) {
            ShowMessage(owner, IDS_INVALID_DIRECTORY_NAME);
            continue;
        }
        if (exists)
            return Ok;
        if (AskMessageText(owner, IDS_ASK_CREATE_DIRECTORY, DestinationDir, 1) != 1)
            continue;
        SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        if (CreateDirectoryPath(DestinationDir, &security))
            return Ok;
        ShowMessage(owner, IDS_CANNOT_CREATE_DIRECTORY);
    }
}
