#include "robot.h"

#include <cctype>
#include <cstring>

namespace {

const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// A quoted text with its escapes resolved; null when it is not closed or an
// escape is unknown (a lone backslash in a path would be a likely mistake).
const char* ReadQuoted(const char* p, char* out, size_t size) {
    size_t n = 0;
    for (++p; *p && *p != '"'; ++p) {
        char c = *p;
        if (c == '\\') {
            ++p;
            if (*p == 'n')
                c = '\n';
            else if (*p == '\\' || *p == '"')
                c = *p;
            else
                return nullptr;
        }
        if (n + 1 >= size)
            return nullptr;
        out[n++] = c;
    }
    if (*p != '"')
        return nullptr;
    out[n] = 0;
    return p + 1;
}

const char* ReadWord(const char* p, char* out, size_t size) {
    size_t n = 0;
    while (*p && !std::isspace(static_cast<unsigned char>(*p))) {
        if (n + 1 >= size)
            return nullptr;
        out[n++] = *p++;
    }
    out[n] = 0;
    return p;
}

} // namespace

bool ParseStep(const char* line, Step* step) {
    *step = Step();
    const char* p = SkipBlanks(line);
    if (*p == '#' || *p == '\n' || *p == '\r' || *p == 0)
        return true;
    p = ReadWord(p, step->verb, sizeof step->verb);
    while (p) {
        p = SkipBlanks(p);
        if (*p == '\n' || *p == '\r' || *p == 0)
            return true;
        if (step->count == Step::MaxArgs)
            return false;
        int i = step->count++;
        step->quoted[i] = *p == '"';
        p = step->quoted[i] ? ReadQuoted(p, step->args[i], Step::ArgSize)
                            : ReadWord(p, step->args[i], Step::ArgSize);
    }
    return false;
}

EscapedText Escaped(const char* text) {
    EscapedText out;
    size_t n = 0;
    for (const char* p = text; *p && n + 3 < sizeof out.text; ++p) {
        if (*p == '\n' || *p == '\\' || *p == '"') {
            out.text[n++] = '\\';
            out.text[n++] = *p == '\n' ? 'n' : *p;
        } else if (*p != '\r') {
            out.text[n++] = *p;
        }
    }
    out.text[n] = 0;
    return out;
}
