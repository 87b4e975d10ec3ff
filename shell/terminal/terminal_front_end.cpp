#include "terminal_front_end.h"

#include "language.h"
#include "setup_state.h"
#include "text.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <vector>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

bool TakeInterrupt() {
    bool was = g_interrupted != 0;
    g_interrupted = 0;
    return was;
}

const DWORD Visible = 0x10000000, Disabled = 0x08000000;

int Kind(const TemplateControl& c) {
    return int(c.style & 0xF);
}
bool IsButton(const TemplateControl& c) {
    return std::string(c.className) == "BUTTON" && (Kind(c) == 0 || Kind(c) == 1);
}
bool IsCheckBox(const TemplateControl& c) {
    return std::string(c.className) == "BUTTON" && Kind(c) == 3;
}

// A button without a shortcut answers to its first letter.
char ButtonKey(const TemplateControl& c) {
    char key = Shortcut(c.text);
    return key ? key : char(std::tolower(static_cast<unsigned char>(c.text[0])));
}

std::string TextOf(const TemplateControl& c, const DialogState& state) {
    return state.HasText(int(c.id)) ? state.Text(int(c.id)) : c.text;
}

// Texts are code page 1251; the terminal shows UTF-8.
std::string Utf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        unsigned u = c;
        if (c >= 0xC0)
            u = 0x410 + (c - 0xC0);
        else if (c == 0xA8)
            u = 0x401;
        else if (c == 0xB8)
            u = 0x451;
        else if (c >= 0x80)
            u = '?';
        if (u < 0x80) {
            out += char(u);
        } else {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string(" / ") : std::string(1, c);
    return out;
}

// The main text of a dialog: the message or the prompt's first line.
std::string MainText(const DialogTemplate& t, const DialogState& state) {
    for (int id : {IDC_MESSAGE_TEXT, IDC_PROMPT_LINE, IDC_WELCOME_TEXT, IDC_DIRECTORY_TEXT})
        if (const TemplateControl* c = t.Find(unsigned(id)))
            return TextOf(*c, state);
    return "";
}

std::string ButtonName(const DialogTemplate& t, int id) {
    const TemplateControl* c = t.Find(unsigned(id));
    return c ? PlainText(c->text) : std::to_string(id);
}

bool IsPrompt(const DialogTemplate& t) {
    return t.Find(IDC_DIRECTORY_EDIT) != nullptr;
}

void StopRun(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "brivanta-setup: %s\n", message.c_str());
    std::exit(3);
}

} // namespace

std::string PlainText(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '&' && p[1])
            ++p;
        out += *p;
    }
    return out;
}

char Shortcut(const char* text) {
    for (const char* p = text; *p; ++p)
        if (*p == '&' && p[1] && p[1] != '&')
            return char(std::tolower(static_cast<unsigned char>(p[1])));
    return 0;
}

TerminalFrontEnd::TerminalFrontEnd(std::istream& in, std::ostream& out, const AnswerFile* answers,
                                   AnswerFile* record, bool redraw)
    : in_(in), out_(out), answers_(answers), record_(record), redraw_(redraw), onLoop_(StopRun) {}

void TerminalFrontEnd::InstallInterruptHandler() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a read in progress returns, as a Cancel
    sigaction(SIGINT, &action, nullptr);
}

void TerminalFrontEnd::Interrupt() {
    g_interrupted = 1;
}

void TerminalFrontEnd::EndBarLine() {
    if (barOnLine_)
        out_ << "\n";
    barOnLine_ = false;
}

int TerminalFrontEnd::DefaultButton(const DialogTemplate& t, const DialogState& state) const {
    if (state.defaultButton)
        return state.defaultButton;
    for (const TemplateControl& c : t.controls)
        if (IsButton(c) && Kind(c) == 1 && (c.style & Visible))
            return int(c.id);
    return 1;
}

void TerminalFrontEnd::Print(const DialogTemplate& t, const DialogState& state) const {
    out_ << "\n== " << Utf8(t.caption) << " ==\n";
    std::string buttons;
    int preset = DefaultButton(t, state);
    for (const TemplateControl& c : t.controls) {
        if (!(c.style & Visible) || c.ordinal >= 0)
            continue;
        std::string text = Utf8(TextOf(c, state));
        std::string cls = c.className;
        if (cls == "EDIT") {
            out_ << "   [" << text << "]\n";
        } else if (IsCheckBox(c)) {
            int check = state.Check(int(c.id));
            out_ << "   [" << (check == 1 ? 'x' : ' ') << "] " << PlainText(text.c_str());
            if (c.style & Disabled)
                out_ << "  (fixed)";
            else if (char key = Shortcut(c.text))
                out_ << "  (" << key << " or " << c.id << ")";
            out_ << "\n";
        } else if (IsButton(c)) {
            char key = ButtonKey(c);
            buttons += std::string(buttons.empty() ? "" : "  ") + "<" + PlainText(text.c_str()) +
                       ">" + (key ? std::string("(") + key + ")" : "") +
                       (int(c.id) == preset ? "*" : "");
        } else if (cls == "BUTTON" && Kind(c) == 7) {
            if (!text.empty())
                out_ << " " << text << "\n";
        } else if (cls == "STATIC" && !text.empty()) {
            size_t start = 0;
            for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
                out_ << "  " << text.substr(start, nl - start) << "\n";
            out_ << "  " << text.substr(start) << "\n";
        }
    }
    out_ << "  " << buttons << "\n";
}

bool TerminalFrontEnd::ReadLine(std::string* line) {
    out_.flush();
    if (std::getline(in_, *line)) {
        if (!line->empty() && line->back() == '\r')
            line->pop_back();
        return true;
    }
    in_.clear();
    return false;
}

int TerminalFrontEnd::Interactive(const DialogTemplate& t, DialogState& state,
                                  DialogCommands* commands) {
    Print(t, state);
    for (;;) {
        std::string line;
        if (IsPrompt(t)) {
            out_ << "  Directory (Enter keeps it): ";
            if (!ReadLine(&line)) {
                if (TakeInterrupt())
                    return 2;
                return -2; // input ended: the rest is answered unattended
            }
            if (!line.empty())
                state.SetText(IDC_DIRECTORY_EDIT, line.c_str());
        }
        out_ << "  Choose (letter; Enter: default; esc: Cancel): ";
        if (!ReadLine(&line)) {
            if (TakeInterrupt())
                return 2;
            return -2;
        }
        int chosen = 0;
        if (line.empty())
            chosen = DefaultButton(t, state);
        else if (line == "esc" || line == "ESC")
            chosen = 2;
        // A letter picks the first control with that shortcut (buttons
        // without one answer to their first letter); a number picks a
        // control by id, for shortcuts that two controls share.
        int byId = std::isdigit(static_cast<unsigned char>(line.empty() ? 'x' : line[0]))
                       ? std::atoi(line.c_str())
                       : 0;
        char letter =
            line.size() == 1 ? char(std::tolower(static_cast<unsigned char>(line[0]))) : 0;
        for (const TemplateControl& c : t.controls) {
            if (chosen || !(c.style & Visible) || (c.style & Disabled))
                continue;
            char key = IsButton(c) ? ButtonKey(c) : Shortcut(c.text);
            if (byId ? int(c.id) != byId : (!letter || key != letter))
                continue;
            if (IsCheckBox(c)) {
                state.SetCheck(int(c.id), state.Check(int(c.id)) != 1);
                chosen = -1;
            } else if (IsButton(c)) {
                chosen = int(c.id);
            }
        }
        if (chosen == 0) {
            out_ << "  (no such choice)\n";
            continue;
        }
        if (chosen > 0 && (!commands || chosen == 1 || chosen == 2))
            return chosen;
        if (chosen > 0)
            commands->OnCommand(chosen, state, nullptr);
        Print(t, state);
    }
}

int TerminalFrontEnd::Unattended(const DialogTemplate& t, DialogState& state, DialogCommands*) {
    std::string value;
    auto answer = [&](const char* section, const std::string& key) {
        return answers_ && answers_->Get(section, key, &value);
    };
    int result = DefaultButton(t, state);
    int id = state.templateId;
    if (id == IDD_WELCOME) {
        if (answer("Welcome", "Result"))
            result = std::atoi(value.c_str());
    } else if (id == IDD_OPTIONS) {
        for (const OptionBox& box : kOptionBoxes)
            if (answer("Options", box.name))
                state.SetCheck(box.control, value == "1");
        if (answer("Options", "Result"))
            result = std::atoi(value.c_str());
    } else if (IsPrompt(t)) {
        bool typed = state.messageId == IDS_ENTER_DESTINATION_DIR
                         ? answer("Destination", "Directory")
                     : state.argument[0] ? answer("Source", state.argument)
                                         : answer("Source", "Directory");
        if (typed)
            state.SetText(IDC_DIRECTORY_EDIT, value.c_str());
        // Only the destination prompt may be cancelled from an answer file.
        result = state.messageId == IDS_ENTER_DESTINATION_DIR && answer("Destination", "Result")
                     ? std::atoi(value.c_str())
                     : 1;
    } else if (t.Find(2) && state.messageId != 0) { // a question
        if (answer("Questions", std::to_string(state.messageId)))
            result = std::atoi(value.c_str());
    } else {
        result = 1;
    }
    return result == 2 ? 2 : 1;
}

void TerminalFrontEnd::Record(const DialogState& state, int result) {
    if (!record_ || result < 1)
        return;
    std::string r = std::to_string(result);
    if (state.templateId == IDD_WELCOME) {
        record_->Set("Welcome", "Result", r);
    } else if (state.templateId == IDD_OPTIONS) {
        for (const OptionBox& box : kOptionBoxes)
            record_->Set("Options", box.name, state.Check(box.control) == 1 ? "1" : "0");
        record_->Set("Options", "Result", r);
    } else if (state.HasText(IDC_DIRECTORY_EDIT)) {
        if (state.messageId == IDS_ENTER_DESTINATION_DIR) {
            record_->Set("Destination", "Directory", state.Text(IDC_DIRECTORY_EDIT));
            if (result == 2)
                record_->Set("Destination", "Result", r);
        } else
            record_->Set("Source", state.argument[0] ? state.argument : "Directory",
                         state.Text(IDC_DIRECTORY_EDIT));
    } else if (state.messageId != 0 && state.defaultButton != 0) {
        record_->Set("Questions", std::to_string(state.messageId), r);
    }
}

void TerminalFrontEnd::Transcript(const DialogTemplate& t, const DialogState& state, int result) {
    std::string line = "[" + Utf8(t.caption) + "] " + Utf8(OneLine(MainText(t, state))) + " => " +
                       ButtonName(t, result);
    if (state.HasText(IDC_DIRECTORY_EDIT))
        line += std::string(" \"") + state.Text(IDC_DIRECTORY_EDIT) + "\"";
    if (state.templateId == IDD_OPTIONS) {
        line += " (";
        for (const OptionBox& box : kOptionBoxes)
            line += state.Check(box.control) == 1 ? "1" : "0";
        line += ")";
    }
    out_ << line << "\n";
    // The same dialog answered the same way again and again never ends.
    if (++repeats_[line] >= RepeatLimit)
        onLoop_("the answers repeat this dialog without end: " + line);
}

int TerminalFrontEnd::RunDialog(HWND, DialogState& state, DialogCommands* commands) {
    DialogTemplate t;
    if (!t.Load(ModuleInstance(), state.templateId))
        return -1;
    EndBarLine();
    int result = -2;
    if (!answers_)
        result = Interactive(t, state, commands);
    if (result == -2) { // unattended, or the input ended
        static const AnswerFile kNone;
        if (!answers_)
            answers_ = &kNone;
        result = Unattended(t, state, commands);
        Transcript(t, state, result);
        return result;
    }
    Record(state, result);
    return result;
}

int TerminalFrontEnd::BrowseForDirectory(HWND, char* buffer) {
    if (answers_)
        return 0;
    out_ << "  Browse to directory: ";
    std::string line;
    if (!ReadLine(&line) || line.empty())
        return 0;
    WIN32_FIND_DATAA data;
    std::string path = line;
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    HANDLE found = FindFirstFileA(path.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (found != INVALID_HANDLE_VALUE)
            FindClose(found);
        out_ << "  (no such directory)\n";
        return 0;
    }
    FindClose(found);
    CopyText(buffer, MAX_PATH, path.c_str());
    AppendBackslash(buffer, MAX_PATH);
    return 1;
}

HWND TerminalFrontEnd::OpenProgress(HWND, int templateId) {
    DialogTemplate t;
    if (!t.Load(ModuleInstance(), templateId))
        return nullptr;
    lastPercent_ = -1;
    out_ << "\n== " << Utf8(t.caption) << " ==" << (redraw_ ? "  (Ctrl-C: Cancel)" : "") << "\n";
    TakeInterrupt();
    static char window;
    return reinterpret_cast<HWND>(&window);
}

bool TerminalFrontEnd::UpdateProgress(HWND, int percent) {
    if (redraw_) {
        const int width = 40;
        std::string bar(size_t(width * percent / 100), '#');
        bar.resize(width, '.');
        char text[16];
        std::snprintf(text, sizeof text, "%3d %c", percent, '%');
        out_ << "\r[" << bar << "] " << text << std::flush;
        barOnLine_ = true;
    }
    lastPercent_ = percent;
    if (!TakeInterrupt() && !AnsweredCancel(percent))
        return false;
    EndBarLine();
    return true;
}

// [Progress] CancelAt=N: Cancel once, when the bar first reaches N %.
bool TerminalFrontEnd::AnsweredCancel(int percent) {
    std::string value;
    if (!answers_ || progressCancelled_ || !answers_->Get("Progress", "CancelAt", &value) ||
        percent < std::atoi(value.c_str()))
        return false;
    progressCancelled_ = true;
    out_ << "[Progress] Cancel at " << percent << " %\n";
    return true;
}

void TerminalFrontEnd::CloseProgress(HWND) {
    EndBarLine();
    out_ << "[Progress] closed at " << (lastPercent_ < 0 ? 0 : lastPercent_) << " %\n";
}

void TerminalFrontEnd::ShowProgress(HWND, bool visible) {
    if (!visible)
        EndBarLine();
}
