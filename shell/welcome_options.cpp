#include "welcome_options.h"

#include "dialog_front_end.h"
#include "language.h"
#include "messages.h"
#include "prompts.h"
#include "setup_state.h"
#include "text.h"

namespace {

// The welcome dialog ends on its two buttons only.
class IgnoreCommands : public DialogCommands {
  public:
    int OnCommand(int, DialogState&, HWND) override { return 0; }
};

class OptionsCommands : public DialogCommands {
  public:
    int OnCommand(int control, DialogState& state, HWND dialog) override {
        if (control != IDC_CHANGE_DIRECTORY || AskDestinationDirectory(dialog, false) != Ok)
            return 0;
        AppendBackslash(DestinationDir, sizeof DestinationDir);
        state.SetText(IDC_DIRECTORY_TEXT, DestinationDir);
        return IDC_DIRECTORY_TEXT;
    }
};

} // namespace

ResultCode ShowWelcome(HWND owner) {
    for (;;) {
        int result = -1;
        if (DialogFrontEnd* frontEnd = FrontEnd()) {
            DialogState state;
            state.templateId = IDD_WELCOME;
            IgnoreCommands commands;
            result = frontEnd->RunDialog(owner, state, &commands);
        }
        if (result != 2)
            return Ok;
        if (ConfirmAbort(owner, IDS_ABORT_CONFIRM, 2))
            return Abort;
    }
}

ResultCode ShowOptions(HWND owner) {
    for (const OptionBox& box : kOptionBoxes)
        SetupOptions.*box.flag = 1;
    for (;;) {
        DialogFrontEnd* frontEnd = FrontEnd();
        if (!frontEnd)
            return Ok; // as a dialog that ended without a cancel
        DialogState state;
        state.templateId = IDD_OPTIONS;
        state.SetCheck(IDC_UNITED_STATES, true);
        for (const OptionBox& box : kOptionBoxes)
            state.SetCheck(box.control, SetupOptions.*box.flag != 0);
        state.SetText(IDC_DIRECTORY_TEXT, DestinationDir);
        OptionsCommands commands;
        int result = frontEnd->RunDialog(owner, state, &commands);
        // The dialog ends with the whole command; its low word is the button.
        int button = result == -1 ? 0 : result & 0xFFFF;
        if (button == 1 || button == 2)
            for (const OptionBox& box : kOptionBoxes)
                SetupOptions.*box.flag = state.Check(box.control) == 1 ? 1 : 0;
        if (result != 2)
            return Ok;
        if (ConfirmAbort(owner, IDS_ABORT_CONFIRM, 2))
            return Abort;
    }
}
