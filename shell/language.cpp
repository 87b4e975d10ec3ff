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
    {MsgWindowTitle, 8},   {MsgAbortConfirm, 3},       {MsgInstallFilesError, 9},
    {MsgFileNotFound, 10}, {MsgInstallTerminated, 12}, {MsgSourceReadRetry, 13},
    {MsgInsertDisk, 30},   {MsgDirectoryNotFound, 16}, {MsgEnterSourceDir, 14},
    {MsgBrowseTitle, 56},  {MsgCopyFailed, 11},        {DlgMessage, 105},
    {DlgQuestion, 104},    {DlgDirectoryPrompt, 109},  {DlgDirectoryPrompt2, 110},
    {DlgProgress, 106},    {DlgBrowse, 114},
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
        return id + 200;
    if (id < 100)
        return id + 1000;
    return id;
}

int LoadMessage(int id, char* buffer, int size) {
    if (size <= 0)
        return 0;
    buffer[0] = 0;
    return LoadStringA(g_instance, UINT(MapResourceId(id)), buffer, size);
}
