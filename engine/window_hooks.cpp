// The main window's hooks: the background picture is a metafile resource
// ("MF" 1) played into whatever viewport the window sets up.
#include "install_engine.h"

#ifdef _WIN32

int InstallEngine::OnCreate(HWND, WPARAM, LPARAM) {
    HRSRC found = FindResourceA(instance_, "#1", "MF");
    HGLOBAL loaded = LoadResource(instance_, found);
    DWORD size = SizeofResource(instance_, found);
    const BYTE* bits = static_cast<const BYTE*>(LockResource(loaded));
    picture_ = SetMetaFileBitsEx(size, bits);
    return 1;
}

int InstallEngine::OnPaint(HWND, PAINTSTRUCT paint) {
    if (!PlayMetaFile(paint.hdc, static_cast<HMETAFILE>(picture_)))
        MessageBeep(0);
    return 1;
}

int InstallEngine::AfterRun(HWND, WPARAM, LPARAM) {
    if (picture_)
        DeleteMetaFile(static_cast<HMETAFILE>(picture_));
    picture_ = nullptr;
    return 1;
}

#else

// The host front end has no window to paint.
int InstallEngine::OnCreate(HWND, WPARAM, LPARAM) {
    return 1;
}
int InstallEngine::OnPaint(HWND, PAINTSTRUCT) {
    return 1;
}
int InstallEngine::AfterRun(HWND, WPARAM, LPARAM) {
    picture_ = nullptr;
    return 1;
}

#endif
