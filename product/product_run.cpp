// The product's opening and closing of an installation run.
#include "product_installer.h"

#include "fonts.h"
#include "keyboard.h"
#include "language.h"
#include "messages.h"
#include "product_script.h"
#include "product_state.h"
#include "program_groups.h"
#include "prompts.h"
#include "run_log.h"
#include "sys_db.h"
#include "welcome_options.h"

#include <cstdint>
#include <new>

namespace {

enum {
    TitleBufferSize = 100,
    LayoutUsEnglish = 0x409,
};

bool IsWindows9x() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

void SetMainWindowCaption(HWND window) {
    char title[TitleBufferSize];
    LoadMessage(IDS_WINDOW_TITLE, title, sizeof title);
    if (window)
        SetWindowTextA(window, title);
}

void ToTop(HWND window) {
    if (window)
        BringWindowToTop(window);
}

// Starts the installed program with "1"; its outcome does not matter.
void StartInstalledProgram(const InstallEngine& engine) {
    char path[MAX_PATH];
    if (!ProductCommandLine(engine, path, sizeof path))
        return;
    HINSTANCE started = ShellExecuteA(nullptr, "open", path, "1", "", SW_SHOWNORMAL);
    LogChange(reinterpret_cast<intptr_t>(started) > 32, "start %s 1", path);
}

} // namespace

ResultCode ProductInstaller::Initialize() {
    HWND owner = OwnerWindow();
    SetLanguageCode(LanguageEnglish);
    SetMainWindowCaption(owner);
    if (!IsWindows9x()) {
        ShowMessage(owner, IDS_NEEDS_WINDOWS_9X);
        return Abort;
    }
    NotifyRunningVersions();
    ResultCode result = ShowWelcome(owner);
    if (result != Ok)
        return result;
    ToTop(owner);
    if (AskDestinationDirectory(owner, true) != Ok)
        return Abort;
    ToTop(owner);
    if (ShowOptions(owner) != Ok)
        return Abort;
    // The font lines of the Files section name the extension.
    if (SetupOptions.SystemFonts)
        ChooseFontExtension();
    delete productScript_;
    productScript_ = new (std::nothrow) ProductScript("FD", MAKEINTRESOURCEA(IDR_SCRIPT));
    if (!productScript_ || productScript_->Status() != 0) {
        ShowMessage(owner, IDS_OUT_OF_MEMORY);
        return Abort;
    }
    SetScript(productScript_);
    SetUpKeyboard(owner);
    ReadSharedDir();
    ActivateKeyboardLayout(reinterpret_cast<HKL>(static_cast<uintptr_t>(LayoutUsEnglish)), 0);
    return Ok;
}

ResultCode ProductInstaller::Finish(ResultCode runResult) {
    if (runResult == Ok)
        return FinishInstallation();
    // A malformed script; an abort and the rest end without a word.
    if (runResult == MalformedScript) {
        ShowMessage(OwnerWindow(), IDS_INSTALL_FILES_ERROR);
        return MalformedScript;
    }
    return Ok;
}

ResultCode ProductInstaller::FinishInstallation() {
    HWND owner = OwnerWindow();
    if (Script()) {
        WriteSysDBSection(*Script(), "WriteSysDB");
        DeleteSysDBSection(*Script(), "DeleteSysDB");
    }
    if (SetupOptions.SystemFonts)
        ReplaceSystemFonts();
    CreateProgramGroups(*this);
    StartInstalledProgram(*this);
    if (owner)
        SetForegroundWindow(owner);
    bool restart = AskMessage(owner, IDS_RESTART_NOW, 1) == 1;
    LogLine(restart ? "restart: accepted" : "restart: declined");
    if (restart)
        SetRestartRequested(true);
    else
        ShowMessage(owner, IDS_INSTALL_SUCCESSFUL);
    return Ok;
}
