#include "terminal_front_end.h"

#include "language.h"
#include "setup_state.h"
#include "shown_text.h"
#include "text.h"

#include <cctype>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
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

const DWORD ShownStyle = 0x10000000, DisabledStyle = 0x08000000; // WS_VISIBLE, WS_DISABLED

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
    return (c.style & ShownStyle) && !(c.style & DisabledStyle) && (IsButton(c) || IsCheckBox(c));
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
        if (IsButton(c) && Kind(c) == 1 && (c.style & ShownStyle))
            return int(c.id);
    return 1;
}

bool IsEscape(const std::string& line) {
    return (!line.empty() && line[0] == '\x1b') || line == "esc" || line == "ESC";
}

bool IsAbortQuestion(const DialogState& state) {
    return IsQuestion(state) && state.messageId == IDS_ABORT_CONFIRM;
}

// What reading a key gives besides a byte: nothing more comes (the input
// ended, or Ctrl-C interrupted the read), or a key sequence passed over.
enum : int { NoKey = -1, PassedKey = -2 };
const int kEsc = 0x1b;
// The bytes of an arrow key's sequence arrive together; a lone Esc is
// known by nothing following it within this time.
const int kSequenceWaitMs = 40;

// Ctrl-D, or the end of a line that was ended by Ctrl-D before the keys
// were taken one by one (the terminal leaves a zero byte for it).
bool IsEndOfInput(int key) {
    return key == NoKey || key == 0x04 || key == 0;
}

// While a key is awaited at a terminal: each key as it is pressed, echoed
// by this program; Ctrl-C still interrupts.
class KeysAtOnce {
  public:
    explicit KeysAtOnce(int fd) : fd_(fd) {
        if (fd_ < 0 || tcgetattr(fd_, &saved_) != 0) {
            fd_ = -1;
            return;
        }
        termios keys = saved_;
        keys.c_lflag &= ~tcflag_t(ICANON | ECHO);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        tcsetattr(fd_, TCSANOW, &keys);
    }
    ~KeysAtOnce() {
        if (fd_ >= 0)
            tcsetattr(fd_, TCSANOW, &saved_);
    }
    KeysAtOnce(const KeysAtOnce&) = delete;
    KeysAtOnce& operator=(const KeysAtOnce&) = delete;

  private:
    int fd_;
    termios saved_ = {};
};

std::string KeyName(char key) {
    return key == '\t' ? "Tab" : key == '\n' ? "Enter" : key == kEsc ? "Esc" : std::string(1, key);
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

std::vector<char> DialogKeys(const DialogTemplate& t, bool prompt) {
    std::vector<char> keys(t.controls.size(), 0);
    if (prompt) {
        for (size_t i = 0; i < keys.size(); ++i) {
            unsigned id = t.controls[i].id;
            if (Pressable(t.controls[i]))
                keys[i] = id == IDC_BROWSE_BUTTON ? '\t'
                          : id == 1               ? '\n'       // OK
                          : id == 2               ? char(kEsc) // Cancel
                                                  : char(0);
        }
        return keys;
    }
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
    return columns_ > 0 ? columns_ : TerminalColumns(STDOUT_FILENO);
}

void TerminalFrontEnd::EndBarLine() {
    if (barOnLine_)
        out_ << "\n";
    barOnLine_ = false;
}

// Words wrapped to the terminal, each line after `indent`; line breaks kept.
void TerminalFrontEnd::PrintWrapped(const std::string& text, const char* indent) const {
    ::PrintWrapped(out_, text, Columns(), indent, indent);
}

// The question wrapped as the dialog is, the answer on its last line.
void TerminalFrontEnd::Ask(const std::string& question) const {
    std::ostringstream lines;
    ::PrintWrapped(lines, question, Columns() - 8, "  ", "  "); // room for the answer
    std::string text = lines.str();
    text.back() = ' ';
    out_ << text;
}

void TerminalFrontEnd::Print(const DialogTemplate& t, const DialogState& state,
                             const std::vector<char>& keys) const {
    out_ << "\n== " << Visible(Utf8(t.caption)) << " ==\n";
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
        if (!(c.style & ShownStyle) || c.ordinal >= 0)
            continue;
        std::string text = Visible(Utf8(TextOf(c, state)), true);
        std::string cls = c.className;
        std::string item;
        if (cls == "EDIT") {
            item = "[" + text + "]";
        } else if (IsCheckBox(c)) {
            int check = state.Check(int(c.id));
            item = std::string("[") + (check == 1 ? 'x' : ' ') + "] " + PlainText(text.c_str());
            if (c.style & DisabledStyle)
                item += " (fixed)";
            else if (keys[i])
                item += " (" + KeyName(keys[i]) + ")";
        } else if (IsButton(c)) {
            buttons += std::string(buttons.empty() ? "" : "  ") + "<" + PlainText(text.c_str()) +
                       ">" + (keys[i] ? "(" + KeyName(keys[i]) + ")" : "") +
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

void TerminalFrontEnd::UseTerminalKeys(int fd) {
    termios keys;
    if (tcgetattr(fd, &keys) == 0)
        keysFd_ = fd;
}

// The next byte of input, or NoKey; at a terminal waiting at most `waitMs`
// when that is not negative.
int TerminalFrontEnd::ReadByte(int waitMs) {
    if (!typedAhead_.empty()) {
        int key = static_cast<unsigned char>(typedAhead_[0]);
        typedAhead_.erase(0, 1);
        return key;
    }
    if (keysFd_ < 0) {
        int key = in_.get();
        if (key != std::char_traits<char>::eof())
            return key;
        in_.clear(); // after Ctrl-C the input goes on
        return NoKey;
    }
    pollfd waiting = {keysFd_, POLLIN, 0};
    if (waitMs >= 0 && poll(&waiting, 1, waitMs) != 1)
        return NoKey;
    unsigned char key;
    return read(keysFd_, &key, 1) == 1 ? int(key) : int(NoKey);
}

// A key at the terminal: a byte, Esc alone, or PassedKey for an arrow or
// function key (Esc followed at once by "[" or "O" and the rest of the
// sequence), which is passed over.
int TerminalFrontEnd::ReadKey() {
    int key = ReadByte();
    if (key != kEsc)
        return key;
    int next = ReadByte(kSequenceWaitMs);
    if (next == '[' || next == 'O') {
        int c = ReadByte(kSequenceWaitMs);
        while (next == '[' && c >= 0x20 && c < 0x40) // parameters up to the final byte
            c = ReadByte(kSequenceWaitMs);
        return PassedKey;
    }
    if (next >= 0)
        typedAhead_.insert(0, 1, char(next));
    return kEsc;
}

// A line typed at the terminal, echoed and edited here. Esc and Tab end it
// at once and are what it holds.
bool TerminalFrontEnd::EditLine(std::string* line) {
    KeysAtOnce keys(keysFd_);
    for (;;) {
        int key = ReadKey();
        if (IsEndOfInput(key) && (key == NoKey || line->empty()))
            return false;
        if (key == '\n' || key == '\r') {
            out_ << "\n";
            return true;
        }
        if (key == kEsc || key == '\t') {
            *line = std::string(1, char(key));
            out_ << KeyName(char(key)) << "\n";
            return true;
        }
        bool eraseAll = key == 0x15; // Ctrl-U
        while ((key == 0x7f || key == '\b' || eraseAll) && !line->empty()) {
            while (line->size() > 1 && (static_cast<unsigned char>(line->back()) & 0xC0) == 0x80)
                line->pop_back(); // the rest of a UTF-8 character
            line->pop_back();
            out_ << "\b \b";
            key = eraseAll ? key : 0;
        }
        if (key >= 0x20 && key != 0x7f) {
            line->push_back(char(key));
            out_ << char(key);
        }
        out_.flush();
    }
}

// A line: from a pipe up to its end, at a terminal edited there.
bool TerminalFrontEnd::ReadLine(std::string* line) {
    out_.flush();
    line->clear();
    if (keysFd_ >= 0)
        return EditLine(line);
    for (int key; (key = ReadByte()) != '\n';) {
        if (key == NoKey)
            return !line->empty();
        line->push_back(char(key));
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

// The answer to a key prompt: at a terminal the key pressed, at once (Enter
// gives "", Esc "\x1b"); from a pipe a line.
bool TerminalFrontEnd::ReadChoice(std::string* choice) {
    if (keysFd_ < 0)
        return ReadLine(choice);
    out_.flush();
    KeysAtOnce keys(keysFd_);
    for (;;) {
        int key = ReadKey();
        if (IsEndOfInput(key))
            return false;
        bool enter = key == '\n' || key == '\r';
        if (!enter && key != kEsc && (key < 0x20 || key >= 0x7f))
            continue; // passed over, as are the bytes of other characters
        *choice = enter ? "" : std::string(1, char(key));
        out_ << (enter ? "" : KeyName(char(key))) << "\n";
        return true;
    }
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
        out_ << "  (" << disk << " cannot be inserted: " << Visible(error) << ")\n";
        return false;
    }
    CopyText(state.insertedDisk, sizeof state.insertedDisk, disk);
    return true;
}

// Enter puts the disk the prompt names in the drive, a number that disk,
// "k" keeps the one there; each answers the prompt OK (1). "d" keeps the
// disk and goes on to the prompt, to type a directory (0); Esc cancels it.
int TerminalFrontEnd::OfferDisk(DialogState& state) {
    for (;;) {
        Ask("Floppy (Enter: DISK" + std::to_string(PromptedDisk(state)) + ", 1-" +
            std::to_string(drive_->DiskCount()) + ": DISKn, k: keep " + drive_->Current() +
            ", d: a directory, Esc: Cancel):");
        std::string line;
        if (!ReadChoice(&line))
            return Unanswered(state);
        char key = line.size() == 1 ? char(std::tolower(static_cast<unsigned char>(line[0]))) : 0;
        if (key == 'd' || IsEscape(line)) {
            CopyText(state.insertedDisk, sizeof state.insertedDisk, "KEEP");
            return key == 'd' ? 0 : 2;
        }
        int number = line.empty()                                    ? PromptedDisk(state)
                     : std::isdigit(static_cast<unsigned char>(key)) ? int(key - '0')
                                                                     : 0;
        char disk[DialogState::DiskNameSize];
        std::snprintf(disk, sizeof disk, "DISK%d", number);
        if (key == 'k' && InsertDisk("KEEP", state))
            return 1;
        if (number < 1 || number > drive_->DiskCount())
            out_ << "  (no such choice)\n";
        else if (InsertDisk(disk, state))
            return 1;
    }
}

int TerminalFrontEnd::Interactive(const DialogTemplate& t, DialogState& state,
                                  DialogCommands* commands) {
    bool prompt = IsPrompt(state);
    std::vector<char> keys = DialogKeys(t, prompt);
    Print(t, state, keys);
    if (drive_ && PromptedDisk(state)) {
        int offered = OfferDisk(state);
        if (offered != 0)
            return offered;
    }
    for (;;) {
        // A prompt asks for the directory; Enter then presses its default
        // button, Esc and Tab their buttons. Other dialogs ask for a key.
        std::string line;
        Ask(prompt ? "Directory (Enter alone keeps it):" : "Key (Enter: *, Esc: Cancel):");
        if (!(prompt ? ReadLine(&line) : ReadChoice(&line)))
            return Unanswered(state);
        if (prompt && line != "\t" && !IsEscape(line)) {
            if (!line.empty())
                state.SetText(IDC_DIRECTORY_EDIT, line.c_str());
            line.clear();
        }
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
        line += " \"" + Utf8(state.Text(IDC_DIRECTORY_EDIT)) + "\"";
    char disk[32];
    InsertedDiskNote(state, disk, sizeof disk);
    line += disk;
    if (state.templateId == IDD_OPTIONS) {
        char options[OptionsTextSize];
        DescribeOptions(state, options, sizeof options);
        line += std::string(" (") + options + ")";
    }
    // At a terminal wrapped as the dialogs are; elsewhere one line each.
    if (redraw_)
        ::PrintWrapped(out_, Visible(line), Columns(), "", "    ");
    else
        out_ << Visible(line) << "\n";
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
    if (!ReadLine(&line) || line.empty() || IsEscape(line))
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
    out_ << "\n== " << Visible(Utf8(t.caption)) << " ==" << (redraw_ ? "  (Ctrl-C: Cancel)" : "")
         << "\n";
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
