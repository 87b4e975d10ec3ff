#include "win32_front_end.h"

#include "engine_ui.h"
#include "language.h"
#include "progress.h"
#include "text.h"

#include <commdlg.h>
#include <cstdio>
#include <initializer_list>

namespace {

// What a running modal dialog works from; its address is the dialog's
// creation parameter, kept in DWLP_USER.
struct DialogRun {
    DialogState* state;
    DialogCommands* commands;
};

DialogRun* RunOf(HWND dialog) {
    return reinterpret_cast<DialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

char g_browseResult[MAX_PATH];

void ShowState(HWND dialog, const DialogState& state, int only = 0) {
    for (int i = 0; i < state.Count(); ++i) {
        int control = state.ControlAt(i);
        if (only && control != only)
            continue;
        if (state.HasText(control))
            SetDlgItemTextA(dialog, control, state.Text(control));
        if (state.Check(control) != DialogState::NoCheck)
            CheckDlgButton(dialog, control, state.Check(control) == 1 ? BST_CHECKED : 0);
    }
}

void ReadState(HWND dialog, DialogState& state) {
    for (int i = 0; i < state.Count(); ++i) {
        int control = state.ControlAt(i);
        HWND item = GetDlgItem(dialog, control);
        if (!item)
            continue;
        if (state.Check(control) != DialogState::NoCheck) {
            state.SetCheck(control, IsDlgButtonChecked(dialog, control) == BST_CHECKED);
        } else if (state.HasText(control)) {
            char text[DialogState::TextSize];
            GetDlgItemTextA(dialog, control, text, sizeof text);
            state.SetText(control, text);
        }
    }
}

// The one procedure behind the modal dialogs. Without a command handler
// every command ends the dialog (message and question); with one, commands
// 1 and 2 end it and the others go to the handler. The prompt reads the
// whole wParam as the command, welcome and options only its low word.
INT_PTR StateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                        bool byLowWord = false) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        DialogRun* run = reinterpret_cast<DialogRun*>(lParam);
        CenterDialog(dialog);
        ShowState(dialog, *run->state);
        if (run->state->defaultButton)
            MakeDefaultButton(dialog, run->state->defaultButton);
        SetFocus(dialog);
        if (HWND edit = run->state->focus ? GetDlgItem(dialog, run->state->focus) : nullptr)
            SendMessageA(edit, EM_SETSEL, 0x7FFF, 0x7FFF); // caret at the end
        return FALSE;
    }
    case WM_SHOWWINDOW: {
        // After WM_INITDIALOG: so Enter presses the default button.
        DialogRun* run = RunOf(dialog);
        int target = run ? (run->state->focus ? run->state->focus : run->state->defaultButton) : 0;
        if (HWND item = target ? GetDlgItem(dialog, target) : nullptr)
            SetFocus(item);
        return TRUE;
    }
    case WM_COMMAND: {
        DialogRun* run = RunOf(dialog);
        if (!run)
            return FALSE;
        WPARAM command = byLowWord ? LOWORD(wParam) : wParam;
        if (!run->commands || command == IDOK || command == IDCANCEL) {
            ReadState(dialog, *run->state);
            EndDialog(dialog, INT_PTR(wParam));
            return TRUE;
        }
        if (byLowWord || HIWORD(wParam) == BN_CLICKED) {
            int changed = run->commands->OnCommand(LOWORD(wParam), *run->state, dialog);
            if (changed)
                ShowState(dialog, *run->state, changed);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void FillColour(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

} // namespace

INT_PTR CALLBACK MessageDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) {
    return StateDialogProc(d, m, w, l);
}
INT_PTR CALLBACK DirectoryPromptProc(HWND d, UINT m, WPARAM w, LPARAM l) {
    return StateDialogProc(d, m, w, l);
}
INT_PTR CALLBACK WelcomeDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) {
    StateDialogProc(d, m, w, l, true);
    return FALSE;
}
INT_PTR CALLBACK OptionsDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) {
    StateDialogProc(d, m, w, l, true);
    return FALSE;
}

namespace {

// The centring of CenterDialog, `lower` pixels further down.
void PlaceOnDesktop(HWND dialog, int lower) {
    RECT desktop, box;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &box);
    int w = box.right - box.left, h = box.bottom - box.top;
    MoveWindow(dialog, (desktop.right - desktop.left - w) / 2,
               (desktop.bottom - desktop.top - h) / 2 + lower, w, h, TRUE);
    SetFocus(dialog);
}

} // namespace

void CenterDialog(HWND dialog) {
    PlaceOnDesktop(dialog, 0);
}

void MakeDefaultButton(HWND dialog, int button) {
    HWND item = GetDlgItem(dialog, button);
    if (!item)
        return;
    SetWindowLongA(item, GWL_STYLE, GetWindowLongA(item, GWL_STYLE) | BS_DEFPUSHBUTTON);
    SetFocus(item);
}

int Win32FrontEnd::RunDialog(HWND owner, DialogState& state, DialogCommands* commands) {
    DLGPROC procedure = MessageDialogProc;
    if (state.templateId == IDD_WELCOME)
        procedure = WelcomeDialogProc;
    else if (state.templateId == IDD_OPTIONS)
        procedure = OptionsDialogProc;
    else if (state.focus)
        procedure = DirectoryPromptProc;
    DialogRun run = {&state, commands};
    INT_PTR result = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(state.templateId), owner,
                                     procedure, reinterpret_cast<LPARAM>(&run));
    if (state.focus && owner)
        SetFocus(owner);
    return int(result);
}

void Win32FrontEnd::AfterDialog(HWND owner) {
    MSG message;
    if (owner && PeekMessageA(&message, owner, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&message);
}

UINT_PTR CALLBACK BrowseHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || LOWORD(wParam) != IDOK)
        return FALSE;
    // The old-style dialog ends with success when its hook posts IDABORT
    // with lParam 1; the file name it wants is a dummy.
    SetDlgItemTextA(dialog, IDC_BROWSE_FILE_NAME, "file");
    PostMessageA(dialog, WM_COMMAND, IDABORT, 1);
    GetDlgItemTextA(dialog, IDC_BROWSE_CURRENT_DIR, g_browseResult, sizeof g_browseResult);
    return TRUE;
}

int Win32FrontEnd::BrowseForDirectory(HWND owner, char* buffer) {
    char title[100];
    LoadMessage(MsgBrowseTitle, title, sizeof title);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A; // what Windows 95 knows
    dialog.hwndOwner = owner;
    dialog.hInstance = ModuleInstance();
    dialog.lpstrInitialDir = buffer[0] ? buffer : nullptr;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
    dialog.lpfnHook = BrowseHookProc;
    dialog.lpTemplateName = MAKEINTRESOURCEA(MapResourceId(DlgBrowse));
    if (!GetOpenFileNameA(&dialog)) {
        CommDlgExtendedError();
        return 0;
    }
    CopyText(buffer, MAX_PATH, g_browseResult);
    AppendBackslash(buffer, MAX_PATH);
    return 1;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        PlaceOnDesktop(dialog, 150); // below the middle of the screen
        return FALSE;
    case WM_DRAWITEM:
        DrawProgressBar(dialog, progressState.shownPercent);
        return FALSE;
    case WM_COMMAND:
        // Cancel, Esc and the close box: asked here, so that a Cancel that
        // arrives while a prompt or message holds the copy is asked at once.
        if (wParam == IDCANCEL)
            ProgressCancelPressed();
        return TRUE;
    default:
        return FALSE;
    }
}

void DrawProgressBar(HWND window, int percent) {
    HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    if (!bar)
        return;
    RECT r;
    GetClientRect(bar, &r);
    int w = r.right, h = r.bottom;
    HDC dc = GetDC(bar);
    char text[16];
    FormatPercent(text, sizeof text, percent);

    // A: white text on black. B: black up to the percentage, white after.
    // A xor B: white on black where the bar is filled, black on white after.
    HDC a = CreateCompatibleDC(dc), b = CreateCompatibleDC(dc);
    HBITMAP aBits = CreateCompatibleBitmap(dc, w, h), bBits = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ aOld = SelectObject(a, aBits), bOld = SelectObject(b, bBits);
    FillColour(a, r, RGB(0, 0, 0));
    SetTextColor(a, RGB(255, 255, 255));
    SetBkColor(a, RGB(0, 0, 0));
    DrawTextA(a, text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    FillColour(b, r, RGB(255, 255, 255));
    RECT filled = {0, 0, w * percent / 100, h};
    FillColour(b, filled, RGB(0, 0, 0));
    BitBlt(a, 0, 0, w, h, b, 0, 0, SRCINVERT);
    BitBlt(dc, 0, 0, w, h, a, 0, 0, SRCCOPY);

    SelectObject(a, aOld);
    SelectObject(b, bOld);
    DeleteObject(aBits);
    DeleteObject(bBits);
    DeleteDC(a);
    DeleteDC(b);
    ReleaseDC(bar, dc);
}

HWND Win32FrontEnd::OpenProgress(HWND owner, int templateId) {
    return CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), owner,
                              ProgressDialogProc, 0);
}

bool Win32FrontEnd::UpdateProgress(HWND window, int percent) {
    DrawProgressBar(window, percent);
    // The window's own input and its controls' (a click lands on the
    // button, not on the window); nothing else of the queue is touched.
    MSG message;
    for (HWND target :
         {window, GetDlgItem(window, IDCANCEL), GetDlgItem(window, IDC_PROGRESS_BAR)}) {
        while (target && PeekMessageA(&message, target, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && PeekMessageA(&message, owner, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&message);
    SetFocus(window);
    return false; // the window asked about a Cancel as it came
}

void Win32FrontEnd::CloseProgress(HWND window) {
    DestroyWindow(window);
}

void Win32FrontEnd::ShowProgress(HWND window, bool visible) {
    ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}
