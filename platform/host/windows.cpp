// Top-level windows of other programs on the emulated machine: tests put
// them there, and the program finds them, sends or posts them messages and
// closes them. Every message is recorded so tests can see what each window
// received. Also the keyboard layout the program activates.
#include "machine.h"

#include <memory>
#include <vector>

namespace hostwin {

namespace {

struct OtherWindow {
    std::string className;
    std::string title;
    bool ignoresClose;
};

// Handles are the addresses of the records; removed windows stay allocated
// (in g_closed) so a handle is never reused within a mount.
std::vector<std::unique_ptr<OtherWindow>> g_windows;
std::vector<std::unique_ptr<OtherWindow>> g_closed;
std::vector<WindowMessage> g_messages;
std::vector<uintptr_t> g_layouts;
unsigned g_findCount = 0;
uintptr_t g_activeLayout = 0x04090409;
std::string g_windowsDirectory;

HWND HandleOf(const OtherWindow* window) {
    return reinterpret_cast<HWND>(const_cast<OtherWindow*>(window));
}

// The index of a live window, or -1.
int IndexOf(HWND handle) {
    for (size_t i = 0; i < g_windows.size(); ++i)
        if (HandleOf(g_windows[i].get()) == handle)
            return int(i);
    return -1;
}

bool Matches(const std::string& text, const char* wanted) {
    return !wanted || EqualNoCase(text, wanted);
}

BOOL Deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool posted) {
    int i = IndexOf(handle);
    if (i < 0) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const OtherWindow& w = *g_windows[size_t(i)];
    g_messages.push_back({w.className, w.title, message, wParam, lParam, posted});
    if (message == WM_CLOSE && !w.ignoresClose) {
        g_closed.push_back(std::move(g_windows[size_t(i)]));
        g_windows.erase(g_windows.begin() + i);
    }
    return TRUE;
}

} // namespace

HWND AddWindow(const char* className, const char* title, bool ignoresClose) {
    g_windows.push_back(std::unique_ptr<OtherWindow>(
        new OtherWindow{className ? className : "", title ? title : "", ignoresClose}));
    return HandleOf(g_windows.back().get());
}

const std::vector<WindowMessage>& WindowMessages() {
    return g_messages;
}

unsigned FindWindowCount() {
    return g_findCount;
}

const std::vector<uintptr_t>& ActivatedKeyboardLayouts() {
    return g_layouts;
}

void ResetWindows() {
    g_windows.clear();
    g_closed.clear();
    g_messages.clear();
    g_layouts.clear();
    g_findCount = 0;
    g_activeLayout = 0x04090409;
    g_windowsDirectory.clear();
}

void SetWindowsDirectory(const char* dosPath) {
    g_windowsDirectory = dosPath ? dosPath : "";
}

const std::string& WindowsDirectory() {
    static const std::string standard = "C:\\WINDOWS";
    return g_windowsDirectory.empty() ? standard : g_windowsDirectory;
}

std::string InWindowsDirectory(const std::string& name) {
    const std::string& dir = WindowsDirectory();
    return dir + (!dir.empty() && dir.back() == '\\' ? "" : "\\") + name;
}

} // namespace hostwin

using namespace hostwin;

HWND FindWindowA(LPCSTR className, LPCSTR title) {
    ++g_findCount;
    // The most recent window is the topmost one.
    for (size_t i = g_windows.size(); i-- > 0;) {
        const OtherWindow& w = *g_windows[i];
        if (Matches(w.className, className) && Matches(w.title, title))
            return HandleOf(&w);
    }
    SetError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Deliver(window, message, wParam, lParam, false);
    return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Deliver(window, message, wParam, lParam, true);
}

BOOL IsWindow(HWND window) {
    return IndexOf(window) >= 0;
}

HKL ActivateKeyboardLayout(HKL layout, UINT) {
    g_layouts.push_back(reinterpret_cast<uintptr_t>(layout));
    HKL previous = reinterpret_cast<HKL>(g_activeLayout);
    g_activeLayout = reinterpret_cast<uintptr_t>(layout);
    return previous;
}
