// What differs between the Win32 dialogs and the terminal: running one
// dialog from its template with given control texts and check states, the
// folder browser, and the progress window. Everything else of the dialogs
// is written once, over this interface.
#pragma once

#include "platform/win32.h"

// The controls a dialog shows and the user edits: texts and check states by
// control id. The front end sets them when the dialog opens and reads them
// back when command 1 or 2 ends it.
class DialogState {
  public:
    enum { MaxItems = 12, TextSize = MAX_PATH, ArgumentSize = 256, DiskNameSize = 8 };
    enum { NoCheck = -1 };

    int templateId = 0;               // resource id of the template, already mapped
    int messageId = 0;                // base id of the dialog's main text; 0 = none
    int defaultButton = 0;            // button made default and focused; 0 = the template's
    int focus = 0;                    // control focused when the dialog shows; 0 = none
    char argument[ArgumentSize] = ""; // the text put into the message, if any
    // A disk prompt over a floppy drive: the disk the front end put in the
    // drive ("DISK2"), or "KEEP" when it left the one there; "" otherwise.
    char insertedDisk[DiskNameSize] = "";

    // False when the table is full (the text is then not shown).
    bool SetText(int control, const char* text);
    bool SetCheck(int control, bool checked);
    bool HasText(int control) const;
    const char* Text(int control) const; // "" when not set
    int Check(int control) const;        // NoCheck when not set

    int Count() const { return count_; }
    int ControlAt(int index) const { return items_[index].control; }

  private:
    struct Item {
        int control;
        bool hasText;
        int check;
        char text[TextSize];
    };
    Item* Find(int control);
    const Item* Find(int control) const;
    Item* Add(int control);

    Item items_[MaxItems];
    int count_ = 0;
};

// Commands other than 1 and 2 of a dialog that stays open: the answer is the
// control whose text the handler changed in the state and the front end is
// to show again (0: none).
class DialogCommands {
  public:
    virtual ~DialogCommands() = default;
    virtual int OnCommand(int control, DialogState& state, HWND dialog) = 0;
};

class DialogFrontEnd {
  public:
    virtual ~DialogFrontEnd() = default;

    // Runs the modal dialog state.templateId owned by `owner`; answers the
    // command that ended it, -1 when it cannot be created. Without a handler
    // every command ends it; with one, 1 and 2 end it and the rest go to it.
    virtual int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) = 0;
    // After a message or question closed: let the owner repaint at once.
    virtual void AfterDialog(HWND owner) = 0;

    // The folder picker of the directory prompts: 1 and the chosen directory
    // (ending in '\') in buffer (MAX_PATH bytes), 0 with buffer unchanged.
    virtual int BrowseForDirectory(HWND owner, char* buffer) = 0;

    // The modeless progress window of template `templateId`; none on failure.
    virtual HWND OpenProgress(HWND owner, int templateId) = 0;
    // Draws the bar at `percent` and handles the input that arrived since the
    // last call: true when the user asked to cancel. A window that takes
    // Cancel as it comes calls ProgressCancelPressed itself and answers false.
    virtual bool UpdateProgress(HWND window, int percent) = 0;
    // Cancel was pressed in the progress window at `percent`, by whichever
    // way it came; the abort question follows.
    virtual void ProgressCancelNoted(int percent) { (void)percent; }
    virtual void CloseProgress(HWND window) = 0;
    virtual void ShowProgress(HWND window, bool visible) = 0;
};

// The front end all dialog operations use; none: every dialog fails (-1).
DialogFrontEnd* FrontEnd();
void SetFrontEnd(DialogFrontEnd* frontEnd);
