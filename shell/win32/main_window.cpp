#include "main_window.h"

#include "engine_ui.h"
#include "language.h"
#include "run_log.h"

namespace {

const char kClassName[] = "KX Installer";

InstallEngine* g_installer = nullptr;
bool g_started = false; // the start message was handled
bool g_running = false; // the installation runs inside it now
MainWindowRun g_lastRun = {};

void Paint(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    // The picture sets its own window; the viewport is the client area, so
    // it fills the window at every size.
    SetMapMode(paint.hdc, MM_ANISOTROPIC);
    SetWindowExtEx(paint.hdc, 1000, 1000, nullptr);
    SetViewportExtEx(paint.hdc, client.right, client.bottom, nullptr);
    SetWindowOrgEx(paint.hdc, 0, 0, nullptr);
    g_installer->OnPaint(window, paint);
    EndPaint(window, &paint);
}

void Start(HWND window, WPARAM wParam, LPARAM lParam) {
    g_started = true;
    g_running = true;
    ResultCode result = g_installer->Run();
    g_lastRun.runResult = result;
    g_installer->SetRunResult(result);
    g_installer->SetRunResult(g_installer->Finish(result));
    g_running = false;
    g_installer->AfterRun(window, wParam, lParam);
    DestroyWindow(window); // its progress window, if still open, goes with it
    if (g_installer->RestartRequested()) {
        g_lastRun.restartRequested = true;
        g_lastRun.restartStarted = ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
        LogChange(g_lastRun.restartStarted, "restart Windows");
    }
    PostQuitMessage(0);
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_installer->OnCreate(window, wParam, lParam);
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_CLOSE:
        // A modal loop of the running installation may deliver this; the
        // window must outlive the run.
        if (!g_running)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_USER:
        if (!g_started)
            Start(window, wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

const MainWindowRun& LastMainWindowRun() {
    return g_lastRun;
}

ResultCode RunMainWindow(InstallEngine* installer, bool shown) {
    installer->SetRestartRequested(false);
    g_lastRun = MainWindowRun{};
    if (HWND other = FindWindowA(kClassName, nullptr)) {
        SetForegroundWindow(other);
        return AlreadyRunning;
    }
    g_installer = installer;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = ModuleInstance();
    windowClass.hIcon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass))
        return WindowFailed;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    LoadStringA(ModuleInstance(), UINT(MapResourceId(MsgWindowTitle)), installer->WindowTitle(),
                InstallEngine::TitleSize);
    HWND window = CreateWindowExA(0, kClassName, installer->WindowTitle(), WS_OVERLAPPEDWINDOW, 0,
                                  0, desktop.right - desktop.left, desktop.bottom - desktop.top,
                                  nullptr, nullptr, ModuleInstance(), nullptr);
    if (!window)
        return WindowFailed;
    installer->SetOwnerWindow(window);
    g_started = false;
    if (shown)
        ShowWindow(window, SW_SHOWMAXIMIZED);
    SendMessageA(window, WM_USER, 0, 0);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return Ok;
}
