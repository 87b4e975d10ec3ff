// Stand-in for the product's main program on the sample disks: a window of
// the product's class that a newer setup can close, and a log of how it was
// started, so an installation can be checked from outside.
#include <windows.h>

namespace {

const char kClassName[] = "Brivanta 3.2 Main Window";
const UINT kCloseRequest = WM_USER + 1;
const WPARAM kCloseForSetup = 101;

// Appends "started: <command line>" to BRIVANTA.LOG beside the program.
void LogStart(const char* commandLine) {
    char path[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char* slash = path;
    for (char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            slash = p + 1;
    lstrcpyA(slash, "BRIVANTA.LOG");
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    char line[600];
    wsprintfA(line, "started: %.500s\r\n", commandLine);
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kCloseRequest:
        if (wParam == kCloseForSetup)
            DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        DrawTextA(dc, "Brivanta 3.2", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    LogStart(commandLine);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowA(kClassName, "Brivanta 3.2", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 320, 160, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
