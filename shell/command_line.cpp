#include "command_line.h"

#include "text.h"

#include <cstdio>
#include <cstring>

namespace {

// The next word from *p into `word` (quotes dropped); false at the end.
bool NextWord(const char** p, char* word, size_t size) {
    const char* c = *p;
    while (*c == ' ' || *c == '\t')
        ++c;
    if (!*c)
        return false;
    size_t n = 0;
    bool quoted = false;
    for (; *c && (quoted || (*c != ' ' && *c != '\t')); ++c) {
        if (*c == '"')
            quoted = !quoted;
        else if (n + 1 < size)
            word[n++] = *c;
    }
    word[n] = 0;
    *p = c;
    return true;
}

// The option a word starts, or -1.
int OptionOf(const char* word) {
    static const char* const kNames[] = {"/answers=", "/record=", "/log="};
    for (int i = 0; i < 3; ++i)
        if (CompareNoCaseN(word, kNames[i], std::strlen(kNames[i])) == 0)
            return i;
    return -1;
}

} // namespace

bool ReadCommandLine(const char* line, CommandLineOptions* o) {
    *o = CommandLineOptions{};
    char word[MAX_PATH + 16];
    bool ours = false;
    for (const char* p = line; !ours && NextWord(&p, word, sizeof word);)
        ours = OptionOf(word) >= 0;
    if (!ours)
        return false;
    // Every word is read, so that the log is known and tells the first fault
    // wherever the faulty word stands.
    char* values[] = {o->answers, o->record, o->log};
    char fault[sizeof o->fault];
    for (const char* p = line; NextWord(&p, word, sizeof word);) {
        int option = OptionOf(word);
        fault[0] = 0;
        if (option < 0) {
            std::snprintf(fault, sizeof fault,
                          "unknown option %.200s (/answers=FILE, /record=FILE, /log=FILE)", word);
        } else {
            const char* name = std::strchr(word, '=') + 1;
            char head[16];
            CopyBytes(head, sizeof head, word, size_t(name - word));
            if (values[option][0])
                std::snprintf(fault, sizeof fault, "%s is given twice", head);
            else if (!name[0] || std::strlen(name) >= MAX_PATH)
                std::snprintf(fault, sizeof fault, "%s needs a file name", head);
            else
                CopyText(values[option], MAX_PATH, name);
        }
        if (!o->fault[0])
            CopyText(o->fault, sizeof o->fault, fault);
    }
    return true;
}
