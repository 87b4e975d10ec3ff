#include "robot.h"

#include <cstdio>
#include <cstring>

namespace {

const int PollMs = 50;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* ok = nullptr) {
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                       MessageTimeoutMs, &result);
    if (ok)
        *ok = sent != 0;
    return LRESULT(result);
}

bool WindowText(HWND window, char* text, int size) {
    text[0] = 0;
    bool ok = false;
    LRESULT n = Send(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(text), &ok);
    if (ok && n >= 0 && n < size)
        text[n] = 0;
    text[size - 1] = 0;
    return ok;
}

struct Search {
    const char* windowClass;
    const char* caption;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    Search* search = reinterpret_cast<Search*>(lParam);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, search->windowClass) != 0 || !IsWindowVisible(window) ||
        (search->owner && GetWindow(window, GW_OWNER) != search->owner))
        return TRUE;
    if (search->caption) {
        // A dialog is ready once enabled (its WM_INITDIALOG has run); a
        // main window is disabled while its dialogs are up.
        if (!IsWindowEnabled(window))
            return TRUE;
        char caption[256];
        if (!WindowText(window, caption, sizeof caption) ||
            std::strcmp(caption, search->caption) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

bool IsCheckBox(HWND control) {
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return _stricmp(name, "Button") == 0 &&
           (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
            type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

bool IsListBox(HWND control) {
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    return _stricmp(name, "ListBox") == 0;
}

// The text of a list box item; false when it cannot be read or is too long.
// Asked for in UTF-16: Wine hands another process's item back in the list
// box's own character set, which for the common dialogs is UTF-16.
bool ItemText(HWND list, int index, char* text, int size) {
    DWORD_PTR length = 0, copied = 0;
    wchar_t wide[256];
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, WPARAM(index), 0, SMTO_ABORTIFHUNG,
                             MessageTimeoutMs, &length) ||
        LONG_PTR(length) < 0 || length >= 256)
        return false;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, WPARAM(index), reinterpret_cast<LPARAM>(wide),
                             SMTO_ABORTIFHUNG, MessageTimeoutMs, &copied) ||
        LONG_PTR(copied) < 0 || copied >= 256)
        return false;
    wide[copied] = 0;
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr) > 0;
}

void DescribeItems(HWND list) {
    int count = int(Send(list, LB_GETCOUNT, 0, 0));
    int selected = int(Send(list, LB_GETCURSEL, 0, 0));
    for (int i = 0; i < count && i < 50; ++i) {
        char text[256];
        if (ItemText(list, i, text, sizeof text))
            std::printf("    item%s \"%s\"\n", i == selected ? "*" : "", Escaped(text).text);
    }
}

BOOL CALLBACK DescribeControl(HWND control, LPARAM) {
    char name[64] = "", text[TextSize];
    GetClassNameA(control, name, sizeof name);
    // An icon's "text" is its resource reference, not something to show.
    bool icon = _stricmp(name, "Static") == 0 &&
                (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (icon || !WindowText(control, text, sizeof text))
        text[0] = 0;
    std::printf("  control %d %s \"%s\"", GetDlgCtrlID(control), name, Escaped(text).text);
    if (IsCheckBox(control))
        std::printf(" check=%d", int(Send(control, BM_GETCHECK, 0, 0)));
    if (!IsWindowVisible(control))
        std::printf(" hidden");
    if (!IsWindowEnabled(control))
        std::printf(" disabled");
    std::printf("\n");
    if (IsListBox(control) && IsWindowVisible(control))
        DescribeItems(control);
    return TRUE;
}

struct ButtonSearch {
    const char* text;
    int id;
};

BOOL CALLBACK MatchButton(HWND control, LPARAM lParam) {
    ButtonSearch* search = reinterpret_cast<ButtonSearch*>(lParam);
    char name[32] = "", text[256];
    GetClassNameA(control, name, sizeof name);
    if (_stricmp(name, "Button") != 0 || !IsWindowVisible(control) ||
        !WindowText(control, text, sizeof text) || std::strcmp(text, search->text) != 0)
        return TRUE;
    search->id = GetDlgCtrlID(control);
    return FALSE;
}

HWND Control(HWND window, int id) {
    return id == 0 ? window : GetDlgItem(window, id);
}

} // namespace

HWND WaitForWindow(const char* windowClass, const char* caption, int timeoutMs, HWND owner) {
    DWORD start = GetTickCount();
    for (;;) {
        Search search = {windowClass, caption, owner, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (int(GetTickCount() - start) >= timeoutMs)
            return nullptr;
        Sleep(PollMs);
    }
}

bool WaitGone(HWND window, int timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (int(GetTickCount() - start) >= timeoutMs) {
            std::printf("TIMEOUT the window is still open after %d ms\n", timeoutMs);
            return false;
        }
        Sleep(PollMs);
    }
    return true;
}

void Describe(HWND window) {
    char name[64] = "", caption[256];
    GetClassNameA(window, name, sizeof name);
    WindowText(window, caption, sizeof caption);
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%s \"%s\" class %s at %ld,%ld size %ldx%ld\n",
                std::strcmp(name, "#32770") == 0 ? "dialog" : "window", Escaped(caption).text, name,
                r.left, r.top, r.right - r.left, r.bottom - r.top);
    EnumChildWindows(window, DescribeControl, 0);
}

bool ControlText(HWND window, int id, char* text, int size) {
    HWND control = Control(window, id);
    return control && WindowText(control, text, size);
}

bool SetControlText(HWND window, int id, const char* text) {
    HWND control = Control(window, id);
    bool ok = false;
    if (control)
        Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &ok);
    if (!ok)
        std::printf("ERROR type %d: cannot set the text\n", id);
    return ok;
}

int CheckState(HWND window, int id) {
    HWND control = Control(window, id);
    bool ok = false;
    LRESULT state = control ? Send(control, BM_GETCHECK, 0, 0, &ok) : 0;
    return ok ? int(state) : -1;
}

bool SetCheckState(HWND window, int id, int checked) {
    HWND control = Control(window, id);
    bool ok = false;
    if (control)
        Send(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0, &ok);
    if (!ok)
        std::printf("ERROR check %d: cannot set the check box\n", id);
    return ok;
}

int ButtonWithText(HWND window, const char* text) {
    ButtonSearch search = {text, 0};
    EnumChildWindows(window, MatchButton, reinterpret_cast<LPARAM>(&search));
    return search.id;
}

bool ChooseListItem(HWND window, int id, const char* text) {
    HWND list = GetDlgItem(window, id);
    int count = list ? int(Send(list, LB_GETCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        char item[256];
        if (!ItemText(list, i, item, sizeof item) || std::strcmp(item, text) != 0)
            continue;
        bool ok = false;
        Send(list, LB_SETCURSEL, WPARAM(i), 0, &ok);
        return ok && PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK),
                                  reinterpret_cast<LPARAM>(list));
    }
    return false;
}

bool PressButton(HWND window, int id) {
    HWND button = GetDlgItem(window, id);
    if (!button || !IsWindowEnabled(button))
        return false;
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}
