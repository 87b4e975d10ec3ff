#include "interim_installer.h"

#include "engine_ui.h"
#include "language.h"
#include "messages.h"
#include "prompts.h"
#include "welcome_options.h"

InterimInstaller::InterimInstaller(HINSTANCE instance)
    : InstallEngine(instance, nullptr), script_("FD", MAKEINTRESOURCEA(1)) {}

ResultCode InterimInstaller::Initialize() {
    SetLanguageCode(LanguageEnglish);
    // The window got its title in the base language; the run is in English.
    LoadMessage(MsgWindowTitle, WindowTitle(), TitleSize);
#ifdef _WIN32
    SetWindowTextA(OwnerWindow(), WindowTitle());
#endif
    ResultCode result = ShowWelcome(OwnerWindow());
    if (result == Ok)
        result = AskDestinationDirectory(OwnerWindow(), true);
    if (result == Ok)
        result = ShowOptions(OwnerWindow());
    if (result != Ok)
        return result;
    if (script_.Status() != 0) {
        ShowMessage(OwnerWindow(), MsgInstallFilesError);
        return ScriptError;
    }
    SetScript(&script_);
    return Ok;
}
