// Which button answers a dialog when nobody sits at the screen: the answer
// file's, else the proposed one (the default button, the text the prompt
// opened with, the check boxes as they stand). The terminal's unattended
// mode and the silent front end share it; they differ only in what they
// show. Also what an answered dialog leaves in a record, and a dialog told
// in one line, for the run log.
#pragma once

#include "answer_file.h"
#include "dialog_front_end.h"

#include <cstddef>

class DialogAnswers {
  public:
    // The same dialog answered the same way this many times, or this many
    // dialogs in all, means the answers go round without end.
    enum { RepeatLimit = 5, MaxDialogs = 200, DescriptionSize = 700 };

    // `answers` may be null: every dialog takes its proposed answer.
    explicit DialogAnswers(const AnswerFile* answers = nullptr);

    // Sets the dialog's texts and check boxes as the answers say and
    // answers its button, 1 or 2. When the answers go round, the run is
    // stopped (below) from this dialog on.
    int Answer(DialogState& state);
    // Whether to press Cancel in the progress window at `percent`: once,
    // when the bar first reaches [Progress] CancelAt; always while stopping.
    bool CancelProgress(int percent);

    // At a disk prompt over a floppy drive: the disk to put in the drive
    // (into `out`, 8 bytes), the next of the answers' [Source] Insert Disk N
    // list for this prompt, else the disk the prompt names; "KEEP" leaves
    // the one there.
    void DiskToInsert(const DialogState& state, char* out);

    // From now on every dialog is cancelled and every abort question
    // confirmed, so the run ends as soon as it can with nothing more done.
    void Stop() { stopping_ = true; }
    bool Stopping() const { return stopping_; }
    // The dialog at which the answers were found to go round, told as
    // DescribeDialog tells it; null when they did not.
    const char* LoopDialog() const { return looped_ ? loopDialog_ : nullptr; }

  private:
    int Decide(DialogState& state) const;
    bool Repeats(const char* description);

    const AnswerFile* answers_;
    bool stopping_ = false;
    bool looped_ = false;
    bool progressCancelled_ = false;
    char loopDialog_[DescriptionSize] = "";
    struct Seen {
        unsigned hash;
        int count;
    };
    Seen seen_[64];
    int seenCount_ = 0;
    int dialogs_ = 0;
    unsigned char diskPrompts_[100] = {}; // the prompts for disk N answered so far
};

// One dialog and its answer in a line, such as
//   welcome => Continue
//   question 57 "You must restart ... / Do you want to restart ...?" => OK
//   prompt 6 "Enter Brivanta destination directory." "C:\VELMOR" => OK
//   prompt 30 "Put the Disk 2 in the drive (or type new directory)." "A:\" => OK (inserted DISK2)
//   options KeyboardBds=1 ... DunorU=0 ArvelU=1 "C:\VELMOR\" => OK
void DescribeDialog(const DialogState& state, int result, char* out, size_t size);
// The options dialog's boxes by the names an answer file gives them:
// "KeyboardBds=1 KeyboardPhonetic=1 ... ArvelU=0".
enum { OptionsTextSize = 7 * 24 };
void DescribeOptions(const DialogState& state, char* out, size_t size);
// " (inserted DISK2)", " (the disk in the drive kept)" or "": what the
// front end did with the floppy at a disk prompt.
void InsertedDiskNote(const DialogState& state, char* out, size_t size);
// "the welcome dialog", "the options dialog", "the destination prompt", ...
const char* DialogName(const DialogState& state);
bool IsQuestion(const DialogState& state);
bool IsPrompt(const DialogState& state);
// The number of the disk a disk prompt asks for ("Disk 2": 2); 0 for any
// other dialog. The disk's folder and floppy image are named DISKn.
int PromptedDisk(const DialogState& state);

// Writes the answer a dialog was given into `record`, so that the record
// answers the dialog the same way when it is replayed. `inOptions`: the
// destination prompt that the options dialog's "&Change..." opened.
void RecordAnswer(AnswerFile* record, const DialogState& state, int result, bool inOptions);
