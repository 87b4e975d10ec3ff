// The dialogs that the engine's default hooks show. The engine only names
// them; the shell supplies the real ones (Win32 dialogs or the terminal),
// and tests supply scripted ones.
#pragma once

#include "platform/win32.h"

class EngineUi {
  public:
    virtual ~EngineUi() = default;

    // The progress window: none when it cannot be created.
    virtual HWND OpenProgressWindow(HWND owner, unsigned total, int abortMessage) = 0;
    // Non-zero to go on; 0 when the user confirmed the cancel or there is no window.
    virtual int UpdateProgress(unsigned done) = 0;
    virtual int CloseProgressWindow() = 0;
    virtual void ShowProgressWindow(HWND progress, bool visible) = 0;

    virtual void ShowMessage(HWND owner, int message) = 0;
    virtual void ShowMessageText(HWND owner, int message, const char* text) = 0;
    virtual void ShowMessageTexts(HWND owner, int message, const char* text,
                                  const char* second) = 0;
    // 1 for the first button, 2 (or -1 when the dialog failed) otherwise.
    virtual int AskMessage(HWND owner, int message, int defaultButton) = 0;
    virtual int AskMessageText(HWND owner, int message, const char* text, int defaultButton) = 0;

    // 1 for OK; the buffer holds the user's text afterwards.
    virtual int PromptDisk(HWND owner, int message, const char* diskName, char* buffer,
                           unsigned size) = 0;
    virtual int PromptDirectory(HWND owner, int message, int secondMessage, char* buffer,
                                unsigned size) = 0;
};

// Symbolic message ids the engine passes; the shell maps them to messages.
enum SymbolicMessage {
    MsgWindowTitle = 10001,
    MsgAbortConfirm = 10002,
    MsgInstallFilesError = 10003,
    MsgFileNotFound = 10004,
    MsgInstallTerminated = 10005,
    MsgSourceReadRetry = 10006,
    MsgInsertDisk = 10007,
    MsgDirectoryNotFound = 10008,
    MsgEnterSourceDir = 10009,
    MsgBrowseTitle = 10011,
    MsgCopyFailed = 10012,
};
