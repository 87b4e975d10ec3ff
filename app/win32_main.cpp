// setup.exe: the process entry of the Win32 program. The command line is
// not used; the exit code is 0 whatever the installation's result.
#include "language.h"
#include "main_window.h"
#include "product_installer.h"
#include "shell_ui.h"
#include "win32_front_end.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ProductInstaller installer(instance);
    SetModuleInstance(instance);
    Win32FrontEnd frontEnd;
    SetFrontEnd(&frontEnd);
    ShellUi ui;
    installer.SetUi(&ui);
    RunMainWindow(&installer);
    SetFrontEnd(nullptr);
    return 0;
}
