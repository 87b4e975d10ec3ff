#include "shown_text.h"

#include <cctype>
#include <cstdio>
#include <sys/ioctl.h>

namespace {

// The length of a well-formed UTF-8 character at `i`, or 0.
size_t Utf8Length(const std::string& text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (c >= 0xF5 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

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
        while (cut != std::string::npos && cut > 0 && std::isdigit(Byte(line[cut - 1])) &&
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
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : Utf8Length(text, i);
        bool c1 = c == 0xC2 && length == 2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        bool control = c < 0x20 ? !(keepLineBreaks && c == '\n') : c == 0x7F;
        if (length == 0 || control || c1) {
            for (size_t k = 0; k < (c1 ? 2 : 1); ++k) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(text[i + k]));
                out += hex;
            }
            i += c1 ? 1 : 0;
            continue;
        }
        out.append(text, i, length);
        i += length - 1;
    }
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
