#include "shown_text.h"

#include "text.h"

#include <cctype>
#include <sys/ioctl.h>

namespace {

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

bool Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters, not bytes: a UTF-8 character takes one column.
size_t Width(const std::string& text) {
    size_t width = 0;
    for (char c : text)
        width += !Continuation(c);
    return width;
}

// The bytes of the first `count` characters of `text`.
size_t Prefix(const std::string& text, size_t count) {
    size_t i = 0;
    for (; i < text.size() && count > 0; --count)
        for (++i; i < text.size() && Continuation(text[i]);)
            ++i;
    return i;
}

// Whether the word that ends at `end` is a number ("38", "(14671"), not a
// name that ends in a digit ("ArvelU=1").
bool EndsANumber(const std::string& line, size_t end) {
    size_t start = line.rfind(' ', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    while (start < end && !std::isalnum(Byte(line[start])))
        ++start;
    if (start == end)
        return false;
    for (size_t i = start; i < end; ++i)
        if (!std::isdigit(Byte(line[i])))
            return false;
    return true;
}

void WrapLine(std::ostream& out, std::string line, size_t columns, const std::string& indent,
              const std::string& hanging) {
    const std::string* lead = &indent;
    for (;;) {
        size_t room = columns > Width(*lead) + 2 ? columns - 1 - Width(*lead) : 1;
        if (Width(line) <= room)
            break;
        size_t end = Prefix(line, room);
        // At a blank, but not between a number and its unit; in a long path
        // after a backslash or a comma rather than at a blank near the start
        // of the line.
        size_t cut = line.rfind(' ', end);
        while (cut != std::string::npos && cut > 0 && EndsANumber(line, cut) &&
               std::isalpha(Byte(line[cut + 1])))
            cut = line.rfind(' ', cut - 1);
        if (cut == std::string::npos || cut < end / 2) {
            size_t mark = line.find_last_of("\\,", end - 1);
            if (mark != std::string::npos && mark + 1 < end &&
                (cut == std::string::npos || mark + 1 > cut))
                cut = mark + 1;
        }
        if (cut == std::string::npos || cut == 0)
            cut = end;
        out << *lead << line.substr(0, cut) << "\n";
        line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        lead = &hanging;
    }
    out << *lead << line << "\n";
}

} // namespace

std::string Visible(const std::string& text, bool keepLineBreaks) {
    std::string out(4 * text.size() + 1, '\0');
    out.resize(VisibleText(&out[0], out.size(), text.data(), text.size(),
                           ShowUtf8 | (keepLineBreaks ? unsigned(KeepLineBreaks) : 0u)));
    return out;
}

int TerminalColumns(int fd, int fallback) {
    struct winsize size = {};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20)
        return size.ws_col;
    return fallback;
}

void PrintWrapped(std::ostream& out, const std::string& text, int columns,
                  const std::string& indent, const std::string& hanging) {
    size_t start = 0;
    do {
        size_t nl = text.find('\n', start);
        WrapLine(out, text.substr(start, nl == std::string::npos ? nl : nl - start),
                 size_t(columns), indent, hanging);
        start = nl == std::string::npos ? text.size() + 1 : nl + 1;
    } while (start <= text.size());
}
