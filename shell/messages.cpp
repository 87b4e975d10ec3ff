#include "messages.h"

#include "dialog_front_end.h"
#include "language.h"
#include "text.h"

#include <cstring>

MessageRequest messageRequest = {};

void ComposeText(char* out, size_t size, const char* format, const char* first,
                 const char* second) {
    if (size == 0)
        return;
    const char* texts[2] = {first ? first : "", second ? second : ""};
    int next = 0;
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < size)
            out[n++] = c;
    };
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            for (const char* t = next < 2 ? texts[next] : ""; *t; ++t)
                put(*t);
            ++next;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            put('%');
            ++p;
        } else {
            put(*p);
        }
    }
    out[n] = 0;
}

void MessageText(char* out, size_t size, int id, const char* first, const char* second) {
    char format[RequestTextSize];
    LoadMessage(id, format, sizeof format);
    if (first && first[0])
        ComposeText(out, size, format, first, second);
    else
        CopyText(out, size, format);
}

namespace {

int RunMessageDialog(HWND owner, int dialog) {
    DialogFrontEnd* frontEnd = FrontEnd();
    if (!frontEnd)
        return -1;
    DialogState state;
    state.templateId = MapResourceId(dialog);
    state.messageId = MapSymbolicId(messageRequest.messageId);
    state.defaultButton = messageRequest.defaultButton;
    CopyText(state.argument, sizeof state.argument, messageRequest.text);
    if (messageRequest.messageId != 0) {
        char text[RequestTextSize];
        MessageText(text, sizeof text, messageRequest.messageId, messageRequest.text,
                    messageRequest.second);
        state.SetText(IDC_MESSAGE_TEXT, text);
    }
    int result = frontEnd->RunDialog(owner, state, nullptr);
    frontEnd->AfterDialog(owner);
    return result;
}

void Show(HWND owner, int message, const char* text, const char* second) {
    messageRequest.messageId = message;
    CopyText(messageRequest.text, RequestTextSize, text);
    CopyText(messageRequest.second, RequestTextSize, second);
    RunMessageDialog(owner, DlgMessage);
    messageRequest.text[0] = messageRequest.second[0] = 0;
}

} // namespace

void ShowMessage(HWND owner, int message) {
    Show(owner, message, "", "");
}

void ShowMessageText(HWND owner, int message, const char* text) {
    Show(owner, message, text, "");
}

void ShowMessageTexts(HWND owner, int message, const char* text, const char* second) {
    Show(owner, message, text, second);
}

int AskMessageText(HWND owner, int message, const char* text, int defaultButton) {
    messageRequest.messageId = message;
    CopyText(messageRequest.text, RequestTextSize, text);
    messageRequest.defaultButton = defaultButton == 0 ? 1 : defaultButton;
    int result = RunMessageDialog(owner, DlgQuestion);
    messageRequest.text[0] = 0;
    messageRequest.defaultButton = 0;
    return result;
}

int AskMessage(HWND owner, int message, int defaultButton) {
    return AskMessageText(owner, message, "", defaultButton);
}

bool ConfirmAbort(HWND owner, int message, int defaultButton) {
    int answer = AskMessage(owner, message, defaultButton);
    return answer == 1 || answer == -1;
}
