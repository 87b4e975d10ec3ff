// The message and question dialogs and the abort confirmation that every
// cancellable dialog uses.
#pragma once

#include "platform/win32.h"

#include <cstddef>

enum { RequestTextSize = 256 };

// Filled by the show and ask operations for the one dialog that runs.
struct MessageRequest {
    int messageId;                // base or symbolic id; 0 = the template's text
    char text[RequestTextSize];   // first argument; "" = none
    char second[RequestTextSize]; // second argument; "" = none
    int defaultButton;            // 0 = none
};
extern MessageRequest messageRequest;

// Composes `format` with up to two argument texts into `out` (`size` bytes,
// the terminator included). Only "%s" (the next text; a missing one is
// empty) and "%%" are read; the result is cut to fit. The texts are never
// read as formats.
void ComposeText(char* out, size_t size, const char* format, const char* first, const char* second);

// The text a message dialog shows: message `id` composed with the texts when
// the first is not empty, else as it stands.
void MessageText(char* out, size_t size, int id, const char* first, const char* second);

void ShowMessage(HWND owner, int message);
void ShowMessageText(HWND owner, int message, const char* text);
void ShowMessageTexts(HWND owner, int message, const char* text, const char* second);
// 1 for the first button, 2 for the second (or Esc, the close box), -1 when
// the dialog cannot be created. A default button of 0 means button 1.
int AskMessage(HWND owner, int message, int defaultButton);
int AskMessageText(HWND owner, int message, const char* text, int defaultButton);

// The abort question after a cancel: true to abort. A question that cannot
// be shown counts as a confirmed abort, so no cancel loop can spin forever.
bool ConfirmAbort(HWND owner, int message, int defaultButton);
