// The dialogs of the host program in a terminal: each dialog printed from
// its template (caption, texts, check boxes, edit field, buttons with their
// shortcuts), answered by keys, or unattended from an answer file with one
// transcript line per dialog. The progress window is a bar on one line.
#pragma once

#include "answer_file.h"
#include "dialog_front_end.h"
#include "dialog_template.h"

#include <iosfwd>
#include <map>
#include <string>

class TerminalFrontEnd : public DialogFrontEnd {
  public:
    // `answers`: none for an interactive run; `record`: where an interactive
    // run writes its answers, or none. `redraw`: the output is a terminal,
    // so the progress bar is redrawn in place.
    TerminalFrontEnd(std::istream& in, std::ostream& out, const AnswerFile* answers,
                     AnswerFile* record, bool redraw);

    // Called when unattended answers would repeat a dialog forever; it must
    // not return to the run. The default prints the text and exits with 3.
    typedef void (*LoopHandler)(const std::string& message);
    void SetLoopHandler(LoopHandler handler) { onLoop_ = handler; }
    // The same dialog answered the same way this many times is a loop.
    enum { RepeatLimit = 5 };

    // Ctrl-C: Cancel in the progress window and in a dialog being answered.
    static void InstallInterruptHandler();
    static void Interrupt(); // what the handler does; tests call it

    int RunDialog(HWND owner, DialogState& state, DialogCommands* commands) override;
    void AfterDialog(HWND) override {}
    int BrowseForDirectory(HWND owner, char* buffer) override;
    HWND OpenProgress(HWND owner, int templateId) override;
    bool UpdateProgress(HWND window, int percent) override;
    void CloseProgress(HWND window) override;
    void ShowProgress(HWND window, bool visible) override;

  private:
    void Print(const DialogTemplate& t, const DialogState& state) const;
    int Interactive(const DialogTemplate& t, DialogState& state, DialogCommands* commands);
    int Unattended(const DialogTemplate& t, DialogState& state, DialogCommands* commands);
    void Record(const DialogState& state, int result);
    void Transcript(const DialogTemplate& t, const DialogState& state, int result);
    int DefaultButton(const DialogTemplate& t, const DialogState& state) const;
    bool ReadLine(std::string* line);
    void EndBarLine();
    bool AnsweredCancel(int percent);

    std::istream& in_;
    std::ostream& out_;
    const AnswerFile* answers_;
    AnswerFile* record_;
    bool redraw_;
    bool barOnLine_ = false;
    int lastPercent_ = -1;
    bool progressCancelled_ = false;
    std::map<std::string, int> repeats_;
    LoopHandler onLoop_;
};

// The text of a control with its '&' marks taken out ("E&xit" -> "Exit").
std::string PlainText(const char* text);
// The shortcut letter of a text, lower-cased; 0 when it has none.
char Shortcut(const char* text);
