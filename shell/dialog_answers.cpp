#include "dialog_answers.h"

#include "language.h"
#include "setup_state.h"
#include "text.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsDestination(const DialogState& state) {
    return IsPrompt(state) && state.messageId == IDS_ENTER_DESTINATION_DIR;
}

// The answer of a key as a button, or `fallback`.
int Button(const char* value, int fallback) {
    return value ? (value[0] == '2' ? 2 : 1) : fallback;
}

// A text on one line: each line break becomes " / ".
void OneLine(const char* text, char* out, size_t size) {
    size_t n = 0;
    for (; *text && n + 4 < size; ++text) {
        if (*text == '\n') {
            std::memcpy(out + n, " / ", 3);
            n += 3;
        } else if (*text != '\r') {
            out[n++] = *text;
        }
    }
    out[n] = 0;
}

unsigned Hash(const char* text) {
    unsigned h = 2166136261u;
    for (; *text; ++text)
        h = (h ^ static_cast<unsigned char>(*text)) * 16777619u;
    return h;
}

} // namespace

bool IsPrompt(const DialogState& state) {
    return state.HasText(IDC_DIRECTORY_EDIT);
}

bool IsQuestion(const DialogState& state) {
    return state.templateId == MapResourceId(DlgQuestion);
}

int PromptedDisk(const DialogState& state) {
    const char* name = state.argument;
    if (!IsPrompt(state) || CompareNoCaseN(name, "Disk ", 5) != 0)
        return 0;
    int number = 0;
    for (const char* c = name + 5; *c; ++c) {
        if (*c < '0' || *c > '9' || number > 9)
            return 0;
        number = number * 10 + (*c - '0');
    }
    return number;
}

const char* DialogName(const DialogState& state) {
    if (state.templateId == IDD_WELCOME)
        return "the welcome dialog";
    if (state.templateId == IDD_OPTIONS)
        return "the options dialog";
    if (IsDestination(state))
        return "the destination prompt";
    if (IsPrompt(state))
        return state.argument[0] ? "the disk prompt" : "the source prompt";
    return IsQuestion(state) ? "a question" : "a message";
}

void InsertedDiskNote(const DialogState& state, char* out, size_t size) {
    if (std::strcmp(state.insertedDisk, "KEEP") == 0)
        CopyText(out, size, " (the disk in the drive kept)");
    else if (state.insertedDisk[0])
        std::snprintf(out, size, " (inserted %s)", state.insertedDisk);
    else
        CopyText(out, size, "");
}

void DescribeOptions(const DialogState& state, char* out, size_t size) {
    size_t n = 0;
    out[0] = 0;
    for (const OptionBox& box : kOptionBoxes)
        if (n < size)
            n += std::snprintf(out + n, size - n, "%s%s=%d", n ? " " : "", box.name,
                               state.Check(box.control) == 1 ? 1 : 0);
}

void DescribeDialog(const DialogState& state, int result, char* out, size_t size) {
    const bool welcome = state.templateId == IDD_WELCOME;
    const char* button = result == 1   ? (welcome ? "Continue" : "OK")
                         : result == 2 ? (welcome ? "Exit Setup" : "Cancel")
                                       : "not shown";
    char text[DialogState::TextSize + 64];
    if (welcome) {
        std::snprintf(out, size, "welcome => %s", button);
    } else if (state.templateId == IDD_OPTIONS) {
        char flags[OptionsTextSize];
        DescribeOptions(state, flags, sizeof flags);
        std::snprintf(out, size, "options %s \"%s\" => %s", flags, state.Text(IDC_DIRECTORY_TEXT),
                      button);
    } else if (IsPrompt(state)) {
        OneLine(state.Text(IDC_PROMPT_LINE), text, sizeof text);
        char disk[32];
        InsertedDiskNote(state, disk, sizeof disk);
        std::snprintf(out, size, "prompt %d \"%s\" \"%s\" => %s%s", state.messageId, text,
                      state.Text(IDC_DIRECTORY_EDIT), button, disk);
    } else {
        OneLine(state.Text(IDC_MESSAGE_TEXT), text, sizeof text);
        std::snprintf(out, size, "%s %d \"%s\" => %s", IsQuestion(state) ? "question" : "message",
                      state.messageId, text, button);
    }
}

DialogAnswers::DialogAnswers(const AnswerFile* answers) : answers_(answers) {}

int DialogAnswers::Decide(DialogState& state) const {
    if (stopping_) {
        if (IsQuestion(state))
            return state.messageId == IDS_ABORT_CONFIRM ? 1 : 2;
        return state.templateId == IDD_WELCOME || state.templateId == IDD_OPTIONS || IsPrompt(state)
                   ? 2
                   : 1;
    }
    auto get = [&](const char* section, const char* key) {
        return answers_ ? answers_->Get(section, key) : nullptr;
    };
    int proposed = state.defaultButton ? state.defaultButton : 1;
    if (state.templateId == IDD_WELCOME)
        return Button(get("Welcome", "Result"), proposed);
    if (state.templateId == IDD_OPTIONS) {
        for (const OptionBox& box : kOptionBoxes)
            if (const char* flag = get("Options", box.name))
                state.SetCheck(box.control, flag[0] == '1');
        return Button(get("Options", "Result"), proposed);
    }
    if (IsPrompt(state)) {
        const char* typed = IsDestination(state) ? get("Destination", "Directory")
                            : state.argument[0]  ? get("Source", state.argument)
                                                 : get("Source", "Directory");
        if (typed)
            state.SetText(IDC_DIRECTORY_EDIT, typed);
        // Only the destination prompt may be cancelled from an answer file.
        return IsDestination(state) ? Button(get("Destination", "Result"), 1) : 1;
    }
    if (IsQuestion(state)) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", state.messageId);
        return Button(get("Questions", key), proposed);
    }
    return 1;
}

bool DialogAnswers::Repeats(const char* description) {
    if (++dialogs_ > MaxDialogs)
        return true;
    unsigned h = Hash(description);
    for (int i = 0; i < seenCount_; ++i)
        if (seen_[i].hash == h)
            return ++seen_[i].count >= RepeatLimit;
    if (seenCount_ < int(sizeof seen_ / sizeof seen_[0]))
        seen_[seenCount_++] = Seen{h, 1};
    return false;
}

int DialogAnswers::Answer(DialogState& state) {
    int result = Decide(state);
    if (stopping_)
        return result;
    char description[DescriptionSize];
    DescribeDialog(state, result, description, sizeof description);
    if (!Repeats(description))
        return result;
    looped_ = true;
    CopyText(loopDialog_, sizeof loopDialog_, description);
    Stop();
    return Decide(state);
}

void DialogAnswers::DiskToInsert(const DialogState& state, char* out) {
    int number = PromptedDisk(state);
    if (number <= 0 || number >= int(sizeof diskPrompts_)) {
        CopyText(out, DialogState::DiskNameSize, "KEEP");
        return;
    }
    char key[DialogState::ArgumentSize + 8];
    std::snprintf(key, sizeof key, "Insert %s", state.argument);
    const char* list = answers_ ? answers_->Get("Source", key) : nullptr;
    int prompt = diskPrompts_[number];
    if (prompt < 255)
        ++diskPrompts_[number];
    if (!list || !ListedDisk(list, prompt, out))
        std::snprintf(out, DialogState::DiskNameSize, "DISK%d", number);
}

bool DialogAnswers::CancelProgress(int percent) {
    if (stopping_)
        return true;
    const char* at = answers_ ? answers_->Get("Progress", "CancelAt") : nullptr;
    if (!at || progressCancelled_)
        return false;
    int limit = 0;
    for (const char* c = at; *c; ++c)
        limit = limit * 10 + (*c - '0');
    if (percent < limit)
        return false;
    progressCancelled_ = true;
    return true;
}

void RecordAnswer(AnswerFile* record, const DialogState& state, int result, bool inOptions) {
    if (!record || (result != 1 && result != 2))
        return;
    const char* button = result == 1 ? "1" : "2";
    if (state.templateId == IDD_WELCOME) {
        record->Set("Welcome", "Result", button);
    } else if (state.templateId == IDD_OPTIONS) {
        for (const OptionBox& box : kOptionBoxes)
            record->Set("Options", box.name, state.Check(box.control) == 1 ? "1" : "0");
        record->Set("Options", "Result", button);
    } else if (IsDestination(state)) {
        // "&Change..." may only change the directory; its Cancel keeps the
        // one chosen before.
        if (inOptions && result != 1)
            return;
        record->Set("Destination", "Directory", state.Text(IDC_DIRECTORY_EDIT));
        if (!inOptions)
            record->Set("Destination", "Result", button);
    } else if (IsPrompt(state)) {
        if (result == 1)
            record->Set("Source", state.argument[0] ? state.argument : "Directory",
                        state.Text(IDC_DIRECTORY_EDIT));
        if (state.insertedDisk[0]) {
            // One disk for each prompt, in turn.
            char key[DialogState::ArgumentSize + 8], disks[AnswerFile::ValueSize];
            std::snprintf(key, sizeof key, "Insert %s", state.argument);
            const char* earlier = record->Get("Source", key);
            std::snprintf(disks, sizeof disks, "%s%s%s", earlier ? earlier : "", earlier ? "," : "",
                          state.insertedDisk);
            record->Set("Source", key, disks);
        }
    } else if (IsQuestion(state)) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", state.messageId);
        record->Set("Questions", key, button);
    }
}
