#include "interim_installer.h"

#include "fonts.h"
#include "product_state.h"

#include "language.h"
#include "messages.h"
#include "prompts.h"
#include "welcome_options.h"

InterimInstaller::InterimInstaller(HINSTANCE instance)
    : ProductInstaller(instance), script_("FD", MAKEINTRESOURCEA(1)) {}

ResultCode InterimInstaller::Initialize() {
    SetLanguageCode(LanguageEnglish);
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
    // The font lines name the extension, and the Delete line the shared folder.
    if (SetupOptions.SystemFonts)
        ChooseFontExtension();
    SetScript(&script_);
    ReadSharedDir();
    return Ok;
}
