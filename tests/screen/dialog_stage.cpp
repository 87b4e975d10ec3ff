// dialog_stage.exe MODE: real dialogs that a setup run shows only in
// passing, put on the screen for the robot.
//   progress  the progress window, advanced to 4 of 8 files (50 %, where the
//             bar's edge crosses the percentage), updated until the user
//             confirms a cancel: exit code 2; 3 when nobody did in a minute.
//   disk      the engine's own search for a second disk: disk 2 is not where
//             the script says, so the file is reported missing and the disk
//             prompt asks; the run's result is the exit code (0: copied).
#include "engine_ui.h"
#include "install_engine.h"
#include "language.h"
#include "progress.h"
#include "shell_ui.h"
#include "win32_front_end.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

int ShowProgress() {
    if (!OpenProgressWindow(nullptr, 8, MsgAbortConfirm))
        return 4;
    int result = 3;
    DWORD start = GetTickCount();
    for (int done = 1; GetTickCount() - start < 60000; done += done < 4) {
        if (!UpdateProgress(done)) {
            result = 2;
            break;
        }
        Sleep(done < 4 ? 200 : 20);
    }
    std::printf("progress stopped at %d %%, %s\n", progressState.shownPercent,
                result == 2 ? "cancelled" : "nobody cancelled");
    return result;
}

bool WriteText(const char* path, const char* text) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    bool ok = std::fputs(text, f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// Disk 1 is C:\STAGE\FIRST\; disk 2 is said to be C:\STAGE\ but its file is
// in C:\STAGE\SECOND\, which the user has to find.
const char kTwoDisks[] = "Paths:~Disk 1=C:\\STAGE\\FIRST\\\r\n"
                         ":~Disk 2=C:\\STAGE\\\r\n"
                         ":TARGET=C:\\STAGE\\TARGET\\\r\n"
                         "Files:|~Disk 1|one.txt,|TARGET|one.txt\r\n"
                         ":|~Disk 2|two.txt,|TARGET|two.txt\r\n";

int SearchDisk() {
    for (const char* dir :
         {"C:\\STAGE", "C:\\STAGE\\FIRST", "C:\\STAGE\\SECOND", "C:\\STAGE\\TARGET"})
        CreateDirectoryA(dir, nullptr);
    if (!WriteText("C:\\STAGE\\FIRST\\one.txt", "first disk\r\n") ||
        !WriteText("C:\\STAGE\\SECOND\\two.txt", "second disk\r\n"))
        return 4;
    ScriptText script(kTwoDisks, unsigned(std::strlen(kTwoDisks)));
    InstallEngine engine(GetModuleHandleA(nullptr), &script);
    ShellUi ui;
    engine.SetUi(&ui);
    ResultCode result = engine.Run();
    std::printf("run result %d after %u file(s)\n", int(result), engine.FilesDone());
    return int(result);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "progress") != 0 && std::strcmp(argv[1], "disk") != 0)) {
        std::fprintf(stderr, "usage: dialog_stage progress|disk\n");
        return 64;
    }
    SetModuleInstance(GetModuleHandleA(nullptr));
    SetLanguageCode(LanguageEnglish);
    Win32FrontEnd frontEnd;
    SetFrontEnd(&frontEnd);
    int result = argv[1][0] == 'p' ? ShowProgress() : SearchDisk();
    SetFrontEnd(nullptr);
    return result;
}
