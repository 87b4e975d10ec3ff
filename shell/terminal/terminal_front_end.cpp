#include "terminal_front_end.h"

#include "language.h"
#include "setup_state.h"
#include "text.h"

#include <cctype>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

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
bool Pressable(const TemplateControl& c) {
    return (c.style & Visible) && !(c.style & Disabled) && (IsButton(c) || IsCheckBox(c));
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

int DefaultButton(const DialogTemplate& t, const DialogState& state) {
    if (state.defaultButton)
        return state.defaultButton;
    for (const TemplateControl& c : t.controls)
        if (IsButton(c) && Kind(c) == 1 && (c.style & Visible))
            return int(c.id);
    return 1;
}

bool IsEscape(const std::string& line) {
    return (!line.empty() && line[0] == '\x1b') || line == "esc" || line == "ESC";
}

bool IsAbortQuestion(const DialogState& state) {
    return IsQuestion(state) && state.messageId == IDS_ABORT_CONFIRM;
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

std::vector<char> DialogKeys(const DialogTemplate& t) {
    std::vector<char> keys(t.controls.size(), 0);
    std::string taken;
    auto free = [&](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) && taken.find(c) == std::string::npos;
    };
    for (size_t i = 0; i < keys.size(); ++i) {
        char own = Shortcut(t.controls[i].text);
        if (Pressable(t.controls[i]) && own && free(own)) {
            keys[i] = own;
            taken += own;
        }
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] || !Pressable(t.controls[i]))
            continue;
        const char* text = t.controls[i].text;
        const char* amp = std::strchr(text, '&');
        std::string candidates = std::string(amp ? amp + 1 : "") + text + "123456789";
        for (char c : candidates) {
            c = char(std::tolower(static_cast<unsigned char>(c)));
            if (free(c)) {
                keys[i] = c;
                taken += c;
                break;
            }
        }
    }
    return keys;
}

TerminalFrontEnd::TerminalFrontEnd(std::istream& in, std::ostream& out, const AnswerFile* answers,
                                   bool redraw, int columns)
    : in_(in), out_(out), answers_(answers), interactive_(answers == nullptr), redraw_(redraw),
      columns_(columns) {}

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

int TerminalFrontEnd::Columns() const {
    if (columns_ > 0)
        return columns_;
    struct winsize size = {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20)
        return size.ws_col;
    return 80;
}

void TerminalFrontEnd::EndBarLine() {
    if (barOnLine_)
        out_ << "\n";
    barOnLine_ = false;
}

// Words wrapped to the terminal, each line after `indent`; line breaks kept.
void TerminalFrontEnd::PrintWrapped(const std::string& text, const char* indent) const {
    const size_t width = size_t(Columns() - 1) - std::strlen(indent);
    size_t start = 0;
    do {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
        start = nl == std::string::npos ? text.size() + 1 : nl + 1;
        while (line.size() > width) {
            size_t cut = line.rfind(' ', width);
            if (cut == std::string::npos || cut == 0)
                cut = width;
            out_ << indent << line.substr(0, cut) << "\n";
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        out_ << indent << line << "\n";
    } while (start <= text.size());
}

void TerminalFrontEnd::Print(const DialogTemplate& t, const DialogState& state,
                             const std::vector<char>& keys) const {
    out_ << "\n== " << Utf8(t.caption) << " ==\n";
    std::string buttons, row;
    int rowY = -1;
    int preset = DefaultButton(t, state);
    auto endRow = [&]() {
        if (!row.empty())
            PrintWrapped(row, "  ");
        row.clear();
    };
    for (size_t i = 0; i < t.controls.size(); ++i) {
        const TemplateControl& c = t.controls[i];
        if (!(c.style & Visible) || c.ordinal >= 0)
            continue;
        std::string text = Utf8(TextOf(c, state));
        std::string cls = c.className;
        std::string item;
        if (cls == "EDIT") {
            item = "[" + text + "]";
        } else if (IsCheckBox(c)) {
            int check = state.Check(int(c.id));
            item = std::string("[") + (check == 1 ? 'x' : ' ') + "] " + PlainText(text.c_str());
            if (c.style & Disabled)
                item += " (fixed)";
            else if (keys[i])
                item += std::string(" (") + keys[i] + ")";
        } else if (IsButton(c)) {
            buttons += std::string(buttons.empty() ? "" : "  ") + "<" + PlainText(text.c_str()) +
                       ">" + (keys[i] ? std::string("(") + keys[i] + ")" : "") +
                       (int(c.id) == preset ? "*" : "");
            continue;
        } else if ((cls == "BUTTON" && Kind(c) == 7) || cls == "STATIC") {
            item = text; // group boxes and texts
        }
        if (item.empty())
            continue;
        // What stands on one row of the dialog goes on one line.
        if (c.y > rowY + 4 || c.y < rowY - 4 || item.find('\n') != std::string::npos)
            endRow();
        rowY = c.y;
        row += (row.empty() ? "" : "  ") + item;
    }
    endRow();
    PrintWrapped(buttons, "  ");
}

TerminalFrontEnd::~TerminalFrontEnd() {
    if (keysFd_ >= 0)
        tcsetattr(keysFd_, TCSANOW, &savedKeys_);
}

void TerminalFrontEnd::UseTerminalKeys(int fd) {
    termios keys;
    if (tcgetattr(fd, &keys) != 0)
        return;
    savedKeys_ = keys;
    keys.c_cc[VEOL] = '\x1b'; // a line ends at Esc as at Enter
    if (tcsetattr(fd, TCSANOW, &keys) == 0)
        keysFd_ = fd;
}

// An arrow or function key sends Esc with "[" or "O" and more at once, so
// those bytes are already waiting behind the Esc: take them without waiting
// and pass over such a sequence. Anything else is kept for the next line.
bool TerminalFrontEnd::KeySequenceFollows() {
    termios now = {};
    if (tcgetattr(keysFd_, &now) != 0)
        return false;
    termios raw = now;
    raw.c_lflag &= ~tcflag_t(ICANON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    char waiting[64];
    ssize_t n = tcsetattr(keysFd_, TCSANOW, &raw) == 0 ? read(keysFd_, waiting, sizeof waiting) : 0;
    tcsetattr(keysFd_, TCSANOW, &now);
    typedAhead_.append(waiting, n > 0 ? size_t(n) : 0);
    const std::string& t = typedAhead_;
    size_t end = 0;
    if (t.size() >= 2 && t[0] == 'O') {
        end = 2;
    } else if (!t.empty() && t[0] == '[') {
        end = 1;
        while (end < t.size() && !(t[end] >= 0x40 && t[end] <= 0x7e))
            ++end;
        end = end < t.size() ? end + 1 : end; // with its final byte
    }
    typedAhead_.erase(0, end);
    return end > 0;
}

int TerminalFrontEnd::NextKey() {
    if (typedAhead_.empty())
        return in_.get();
    int key = static_cast<unsigned char>(typedAhead_[0]);
    typedAhead_.erase(0, 1);
    return key;
}

bool TerminalFrontEnd::ReadLine(std::string* line) {
    out_.flush();
    line->clear();
    for (;;) {
        int key = NextKey();
        if (key == std::char_traits<char>::eof()) {
            in_.clear();
            return !line->empty();
        }
        if (key == '\n')
            break;
        if (key == '\x1b' && keysFd_ >= 0 && KeySequenceFollows())
            continue;
        line->push_back(char(key));
        if (key == '\x1b' && keysFd_ >= 0) {
            out_ << "\n"; // the terminal echoed the Esc, not a line end
            break;
        }
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

// The input ended, or Ctrl-C came instead of a line.
int TerminalFrontEnd::Unanswered(const DialogState& state) {
    out_ << "\n"; // the prompt's line ends here
    if (!TakeInterrupt() || IsAbortQuestion(state)) {
        // No more answers will come: the run ends as after a confirmed cancel.
        answers_.Stop();
        return AnswerByPolicy;
    }
    return 2;
}

bool TerminalFrontEnd::InsertDisk(const char* disk, DialogState& state) {
    CopyText(state.insertedDisk, sizeof state.insertedDisk, "KEEP");
    if (std::strcmp(disk, "KEEP") == 0)
        return true;
    std::string error;
    if (!drive_->Insert(disk, &error)) {
        out_ << "  (" << disk << " cannot be inserted: " << error << ")\n";
        return false;
    }
    CopyText(state.insertedDisk, sizeof state.insertedDisk, disk);
    return true;
}

// Enter puts the disk the prompt names in the drive, a number that disk;
// either answers the prompt OK (1). "k" keeps the disk in the drive and
// goes on to the prompt (0); Esc cancels the prompt.
int TerminalFrontEnd::OfferDisk(DialogState& state) {
    for (;;) {
        out_ << "  Floppy (Enter: DISK" << PromptedDisk(state) << ", 1-" << drive_->DiskCount()
             << ": DISKn, k: keep " << drive_->Current() << ", Esc: Cancel): ";
        std::string line;
        if (!ReadLine(&line))
            return Unanswered(state);
        bool keep = line == "k" || line == "K";
        if (keep || IsEscape(line)) {
            CopyText(state.insertedDisk, sizeof state.insertedDisk, "KEEP");
            return keep ? 0 : 2;
        }
        int number = line.empty() ? PromptedDisk(state)
                     : line.size() == 1 && std::isdigit(static_cast<unsigned char>(line[0]))
                         ? line[0] - '0'
                         : 0;
        char disk[DialogState::DiskNameSize];
        std::snprintf(disk, sizeof disk, "DISK%d", number);
        if (number < 1 || number > drive_->DiskCount())
            out_ << "  (no such choice)\n";
        else if (InsertDisk(disk, state))
            return 1;
    }
}

int TerminalFrontEnd::Interactive(const DialogTemplate& t, DialogState& state,
                                  DialogCommands* commands) {
    std::vector<char> keys = DialogKeys(t);
    Print(t, state, keys);
    if (drive_ && PromptedDisk(state)) {
        int offered = OfferDisk(state);
        if (offered != 0)
            return offered;
    }
    for (;;) {
        std::string line;
        if (IsPrompt(state)) {
            out_ << "  Directory (Enter keeps it): ";
            if (!ReadLine(&line))
                return Unanswered(state);
            if (IsEscape(line))
                return 2;
            if (!line.empty())
                state.SetText(IDC_DIRECTORY_EDIT, line.c_str());
        }
        out_ << "  Key (Enter: *, Esc: Cancel): ";
        if (!ReadLine(&line))
            return Unanswered(state);
        int chosen = 0;
        if (line.empty())
            chosen = DefaultButton(t, state);
        else if (IsEscape(line))
            chosen = 2;
        // A letter picks the control with that key; a number picks one by id.
        int byId = std::isdigit(static_cast<unsigned char>(line.empty() ? 'x' : line[0]))
                       ? std::atoi(line.c_str())
                       : 0;
        char letter =
            line.size() == 1 ? char(std::tolower(static_cast<unsigned char>(line[0]))) : 0;
        for (size_t i = 0; i < t.controls.size() && !chosen; ++i) {
            const TemplateControl& c = t.controls[i];
            if (!Pressable(c) || (byId ? int(c.id) != byId : (!letter || keys[i] != letter)))
                continue;
            if (IsCheckBox(c)) {
                state.SetCheck(int(c.id), state.Check(int(c.id)) != 1);
                chosen = -1;
            } else {
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
        Print(t, state, keys);
    }
}

void TerminalFrontEnd::Transcript(const DialogTemplate& t, const DialogState& state, int result) {
    std::string line = "[" + Utf8(t.caption) + "] " + Utf8(OneLine(MainText(t, state))) + " => " +
                       ButtonName(t, result);
    if (state.HasText(IDC_DIRECTORY_EDIT))
        line += std::string(" \"") + state.Text(IDC_DIRECTORY_EDIT) + "\"";
    char disk[32];
    InsertedDiskNote(state, disk, sizeof disk);
    line += disk;
    if (state.templateId == IDD_OPTIONS) {
        line += " (";
        for (const OptionBox& box : kOptionBoxes)
            line += state.Check(box.control) == 1 ? "1" : "0";
        line += ")";
    }
    out_ << line << "\n";
}

int TerminalFrontEnd::RunDialog(HWND, DialogState& state, DialogCommands* commands) {
    DialogTemplate t;
    if (!t.Load(ModuleInstance(), state.templateId))
        return -1;
    EndBarLine();
    int result = AnswerByPolicy;
    if (interactive_ && !answers_.Stopping())
        result = Interactive(t, state, commands);
    if (result != AnswerByPolicy)
        return result;
    if (drive_ && PromptedDisk(state) && !answers_.Stopping()) {
        char disk[DialogState::DiskNameSize];
        answers_.DiskToInsert(state, disk);
        InsertDisk(disk, state);
    }
    bool looped = answers_.LoopDialog() != nullptr;
    result = answers_.Answer(state);
    Transcript(t, state, result);
    if (!looped && answers_.LoopDialog())
        out_ << "(the answers repeat this dialog without end: the run stops)\n";
    return result;
}

int TerminalFrontEnd::BrowseForDirectory(HWND, char* buffer) {
    if (!interactive_ || answers_.Stopping())
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
        // "\r[" bar "] 100 %" stays within the line, so it redraws in place.
        int width = Columns() - 10;
        width = width > 40 ? 40 : width < 1 ? 1 : width;
        std::string bar(size_t(width * percent / 100), '#');
        bar.resize(size_t(width), '.');
        char text[16];
        std::snprintf(text, sizeof text, "%3d %c", percent, '%');
        out_ << "\r[" << bar << "] " << text << std::flush;
        barOnLine_ = true;
    }
    lastPercent_ = percent;
    bool cancel = TakeInterrupt() || answers_.CancelProgress(percent);
    if (!cancel)
        return false;
    EndBarLine();
    if (!interactive_)
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
