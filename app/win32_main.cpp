// setup.exe: the process entry of the Win32 program.
#include "install_engine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ScriptText script("FD", MAKEINTRESOURCEA(1));
    InstallEngine engine(instance, script.Status() == 0 ? &script : nullptr);
    if (script.Status() != 0 || engine.ParsePaths() != Ok)
        MessageBoxA(nullptr, "There is an error in the installation files!", "Setup", MB_OK);
    return 0;
}
