#include "language.h"

#include "engine_ui.h"

namespace {
int g_language = LanguageBulgarian;
HINSTANCE g_instance = nullptr;

struct SymbolicEntry {
    int symbolic;
    int base;
};
const SymbolicEntry kSymbolic[] = {
    {MsgWindowTitle, IDS_WINDOW_TITLE},
    {MsgAbortConfirm, IDS_ABORT_CONFIRM},
    {MsgInstallFilesError, IDS_INSTALL_FILES_ERROR},
    {MsgFileNotFound, IDS_FILE_NOT_FOUND},
    {MsgInstallTerminated, IDS_INSTALL_TERMINATED},
    {MsgSourceReadRetry, IDS_SOURCE_READ_RETRY},
    {MsgInsertDisk, IDS_INSERT_DISK},
    {MsgDirectoryNotFound, IDS_DIRECTORY_NOT_FOUND},
    {MsgEnterSourceDir, IDS_ENTER_SOURCE_DIR},
    {MsgBrowseTitle, IDS_BROWSE_TITLE},
    {MsgCopyFailed, IDS_COPY_FAILED},
    {DlgMessage, IDD_MESSAGE},
    {DlgQuestion, IDD_QUESTION},
    {DlgDirectoryPrompt, IDD_DIRECTORY_PROMPT},
    {DlgDirectoryPrompt2, IDD_DIRECTORY_PROMPT2},
    {DlgProgress, IDD_PROGRESS},
    {DlgBrowse, IDD_BROWSE},
};
} // namespace

int LanguageCode() {
    return g_language;
}
void SetLanguageCode(int language) {
    g_language = language;
}
HINSTANCE ModuleInstance() {
    return g_instance;
}
void SetModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}

int MapSymbolicId(int id) {
    for (const SymbolicEntry& e : kSymbolic)
        if (e.symbolic == id)
            return e.base;
    return id;
}

int MapResourceId(int id) {
    if (id > 10000)
        id = MapSymbolicId(id);
    if (g_language != LanguageEnglish)
        return id;
    if (id >= 100 && id <= 200)
        return id + ENGLISH_DIALOGS;
    if (id < 100)
        return id + ENGLISH_TEXTS;
    return id;
}

int LoadMessage(int id, char* buffer, int size) {
    if (size <= 0)
        return 0;
    buffer[0] = 0;
    return LoadStringA(g_instance, UINT(MapResourceId(id)), buffer, size);
}
