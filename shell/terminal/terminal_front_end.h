// The dialogs of the host program in a terminal: each dialog printed from
// its template (caption, texts wrapped to the terminal, check boxes, edit
// field, buttons with shortcuts unique within the dialog), answered by keys;
// or unattended, answered by DialogAnswers with one transcript line per
// dialog (at a terminal wrapped as the dialogs are). The progress window is a bar on one line that
// fits the terminal.
//
// Interactive: when the input ends, the run is stopped as by a confirmed
// cancel; Ctrl-C cancels the dialog being answered and the progress bar,
// and at the abort question it confirms the abort.
#pragma once

#include "dialog_answers.h"
#include "dialog_front_end.h"
#include "dialog_template.h"

#include <iosfwd>
#include <string>
#include <vector>

// A floppy drive whose disk the user swaps while a disk prompt waits.
class DiskDrive {
  public:
    virtual ~DiskDrive() = default;
    virtual int DiskCount() const = 0;       // the disks DISK1..DISKn at hand
    virtual const char* Current() const = 0; // the disk in the drive ("DISK1")
    // Puts `disk` ("DISK2") in the drive; false, the reason in `error`,
    // when it cannot, and the disk in the drive stays.
    virtual bool Insert(const char* disk, std::string* error) = 0;
};

class TerminalFrontEnd : public DialogFrontEnd {
  public:
    // `answers`: none for an interactive run (the user answers), else the
    // answers of an unattended run (possibly empty: the proposed answers).
    // `redraw`: the output is a terminal, so the progress bar is redrawn in
    // place. `columns`: the width to fit; 0 asks the terminal each time.
    TerminalFrontEnd(std::istream& in, std::ostream& out, const AnswerFile* answers, bool redraw,
                     int columns = 0);

    // Standard input is the terminal `fd`: each key is then taken as it is
    // pressed (a letter presses its button and Esc cancels, without Enter),
    // a typed directory is edited here (Backspace, Ctrl-U), and the keys
    // that send Esc and more (arrows, function keys) are passed over. The
    // terminal's settings change only while a key is awaited.
    void UseTerminalKeys(int fd);

    // Ctrl-C: Cancel in the progress window and in a dialog being answered.
    static void InstallInterruptHandler();
    static void Interrupt(); // what the handler does; tests call it

    // Each disk prompt then offers to swap the disk in `drive` (interactive)
    // or swaps it as the answers say, before the prompt is answered.
    void SetDiskDrive(DiskDrive* drive) { drive_ = drive; }

    // Where the run stands with its answers: stopped, or looping.
    const DialogAnswers& Answers() const { return answers_; }

    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override;
    void AfterDialog(HWND) override {}
    int BrowseForDirectory(HWND owner, char* buffer) override;
    HWND OpenProgress(HWND owner, int templateId) override;
    bool UpdateProgress(HWND window, int percent) override;
    void CloseProgress(HWND window) override;
    void ShowProgress(HWND window, bool visible) override;

  private:
    enum { AnswerByPolicy = -2 };
    void Print(const DialogTemplate& t, const DialogState& state,
               const std::vector<char>& keys) const;
    void PrintWrapped(const std::string& text, const char* indent) const;
    void Ask(const std::string& question) const;
    int Interactive(const DialogTemplate& t, DialogState& state, DialogCommands* commands);
    int Unanswered(const DialogState& state);
    int OfferDisk(DialogState& state);
    bool InsertDisk(const char* disk, DialogState& state);
    void Transcript(const DialogTemplate& t, const DialogState& state, int result);
    bool ReadLine(std::string* line);
    bool ReadChoice(std::string* choice);
    bool EditLine(std::string* line);
    int ReadByte(int waitMs = -1);
    int ReadKey();
    void EndBarLine();
    int Columns() const;

    std::istream& in_;
    std::ostream& out_;
    DialogAnswers answers_;
    DiskDrive* drive_ = nullptr;
    int keysFd_ = -1;        // the terminal of UseTerminalKeys, else -1
    std::string typedAhead_; // read from the terminal after an Esc, not yet taken
    bool interactive_;
    bool redraw_;
    int columns_;
    bool barOnLine_ = false;
    int lastPercent_ = -1;
};

// The text of a control with its '&' marks taken out ("E&xit" -> "Exit").
std::string PlainText(const char* text);
// The shortcut letter of a text, lower-cased; 0 when it has none.
char Shortcut(const char* text);
// The keys of a dialog's controls, by index in the template: a unique
// letter for each button and check box a user can press, 0 for the rest.
// A control keeps its own shortcut when no earlier one claimed it;
// otherwise it takes the first free letter of its text, those after the
// '&' first. In a `prompt` the letters are typed into the directory, so its
// buttons take Tab (Browse), Enter (OK) and Esc (Cancel).
std::vector<char> DialogKeys(const DialogTemplate& t, bool prompt = false);
