#include "answer_file.h"

#include "prompts.h"
#include "text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

const AnswerKey kAnswerKeys[] = {
    {"Welcome", "Result", AnswerButton},
    {"Destination", "Directory", AnswerDestination},
    {"Destination", "Result", AnswerButton},
    {"Options", "KeyboardBds", AnswerFlag},
    {"Options", "KeyboardPhonetic", AnswerFlag},
    {"Options", "LanguageDriver", AnswerFlag},
    {"Options", "DosFilter", AnswerFlag},
    {"Options", "SystemFonts", AnswerFlag},
    {"Options", "DunorU", AnswerFlag},
    {"Options", "ArvelU", AnswerFlag},
    {"Options", "Result", AnswerButton},
    {"Source", "Directory", AnswerDirectory},
    {"Source", "Disk #", AnswerDirectory},
    // The floppies put in the drive at the prompts for disk N, one a prompt.
    {"Source", "Insert Disk #", AnswerDisks},
    {"Progress", "CancelAt", AnswerPercent},
    // The questions by the base id of their message.
    {"Questions", "3", AnswerButton},  // abort the installation?
    {"Questions", "13", AnswerButton}, // the source cannot be read: try again?
    {"Questions", "22", AnswerButton}, // create the destination directory?
    {"Questions", "57", AnswerButton}, // restart now?
    {"Questions", "59", AnswerButton}, // switch the layout indicator off?
};
const int kAnswerKeyCount = int(sizeof kAnswerKeys / sizeof kAnswerKeys[0]);

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// [from, to) without the blanks around it, into `out` (LineSize bytes).
void Trimmed(const char* from, const char* to, char* out) {
    while (from < to && IsBlank(*from))
        ++from;
    while (to > from && IsBlank(to[-1]))
        --to;
    CopyBytes(out, AnswerFile::LineSize, from, size_t(to - from));
}

// Whether `key` is the table's `pattern`; a numbered key is written into
// `spelling` as the table spells it ("disk 2" gives "Disk 2").
bool KeyMatches(const char* pattern, const char* key, char* spelling) {
    size_t n = std::strlen(pattern);
    if (n == 0 || pattern[n - 1] != '#') {
        if (CompareNoCase(pattern, key) != 0)
            return false;
        CopyText(spelling, AnswerFile::KeySize, pattern);
        return true;
    }
    --n;
    size_t length = std::strlen(key);
    if (length < n + 1 || length > n + 2 || CompareNoCaseN(pattern, key, n) != 0)
        return false;
    const char* digits = key + n;
    if (digits[0] < '1' || digits[0] > '9' || (digits[1] && (digits[1] < '0' || digits[1] > '9')))
        return false;
    CopyBytes(spelling, AnswerFile::KeySize, pattern, n);
    CopyText(spelling + n, AnswerFile::KeySize - n, digits);
    return true;
}

int FindRow(const char* section, const char* key, char* spelling) {
    for (int row = 0; row < kAnswerKeyCount; ++row)
        if (CompareNoCase(kAnswerKeys[row].section, section) == 0 &&
            KeyMatches(kAnswerKeys[row].key, key, spelling))
            return row;
    return -1;
}

// The table's spelling of a section, or null when there is no such section.
const char* KnownSection(const char* section) {
    for (int row = 0; row < kAnswerKeyCount; ++row)
        if (CompareNoCase(kAnswerKeys[row].section, section) == 0)
            return kAnswerKeys[row].section;
    return nullptr;
}

bool AllDigits(const char* text) {
    if (!*text)
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

// What a value of this kind must be, or null when `value` is one.
const char* WhatItTakes(AnswerValueKind kind, const char* value) {
    switch (kind) {
    case AnswerButton:
        return std::strcmp(value, "1") == 0 || std::strcmp(value, "2") == 0
                   ? nullptr
                   : "takes 1 (the first button) or 2 (the second)";
    case AnswerFlag:
        return std::strcmp(value, "0") == 0 || std::strcmp(value, "1") == 0 ? nullptr
                                                                            : "takes 0 or 1";
    case AnswerPercent: {
        int percent = -1;
        if (AllDigits(value) && std::strlen(value) <= 3)
            for (percent = 0; *value; ++value)
                percent = percent * 10 + (*value - '0');
        return percent >= 0 && percent <= 100 ? nullptr : "takes a whole percentage from 0 to 100";
    }
    case AnswerDirectory:
    case AnswerDestination:
        if (!*value || std::strlen(value) > AnswerFile::MaxDirectory)
            return "takes a directory of 1 to 254 characters";
        for (const char* c = value; *c; ++c)
            if (static_cast<unsigned char>(*c) < 32)
                return "takes a directory without control characters";
        // The prompt would refuse it again and again.
        return kind == AnswerDestination ? DestinationFault(value) : nullptr;
    case AnswerDisks: {
        char disk[8];
        int count = 0;
        while (ListedDisk(value, count, disk))
            ++count;
        int commas = 0;
        for (const char* c = value; *c; ++c)
            commas += *c == ',';
        return count > 0 && count == commas + 1
                   ? nullptr
                   : "takes DISK1, DISK2, DISK3 or KEEP, or a list of them separated by commas";
    }
    }
    return "is not known";
}

} // namespace

bool ListedDisk(const char* list, int index, char* out) {
    for (; index > 0 && list; --index)
        if ((list = std::strchr(list, ',')))
            ++list;
    if (!list)
        return false;
    const char* end = std::strchr(list, ',');
    char item[AnswerFile::LineSize];
    Trimmed(list, end ? end : list + std::strlen(list), item);
    static const char* const kDisks[] = {"DISK1", "DISK2", "DISK3", "KEEP"};
    for (const char* disk : kDisks) {
        if (CompareNoCase(item, disk) == 0) {
            CopyText(out, 8, disk);
            return true;
        }
    }
    return false;
}

namespace {

// Counts the faults of one file and hands each on as "FILE:LINE: text".
struct FaultReport {
    const char* name;
    AnswerFaults* faults;
    int count;

    void operator()(int line, const char* format, ...) {
        ++count;
        if (!faults)
            return;
        char what[AnswerFile::LineSize + 128];
        va_list args;
        va_start(args, format);
        std::vsnprintf(what, sizeof what, format, args);
        va_end(args);
        char text[sizeof what + 300];
        std::snprintf(text, sizeof text, "%s:%d: %s", name, line, what);
        faults->Fault(text);
    }
};

} // namespace

AnswerFile::Entry* AnswerFile::Find(int row, const char* key) {
    for (int i = 0; i < count_; ++i)
        if (entries_[i].row == row && CompareNoCase(entries_[i].key, key) == 0)
            return &entries_[i];
    return nullptr;
}

const AnswerFile::Entry* AnswerFile::Find(int row, const char* key) const {
    return const_cast<AnswerFile*>(this)->Find(row, key);
}

int AnswerFile::Parse(const char* name, const char* text, size_t size, AnswerFaults* faults) {
    count_ = 0;
    FaultReport report = {name, faults, 0};
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t at = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    const char* section = nullptr; // the table's spelling; null: none yet
    bool skipping = false;         // inside a section already reported
    for (int number = 1; at < size; ++number) {
        size_t end = at;
        while (end < size && text[end] != '\n')
            ++end;
        const char* from = text + at;
        const char* to = text + end;
        at = end + 1;
        if (std::memchr(from, 0, size_t(to - from))) {
            report(number, "holds a NUL byte: not a text file");
            continue;
        }
        if (to - from >= LineSize) {
            report(number, "is longer than %d characters", LineSize - 1);
            continue;
        }
        char line[LineSize];
        Trimmed(from, to, line);
        if (!line[0] || line[0] == ';')
            continue;
        size_t length = std::strlen(line);
        if (line[0] == '[') {
            char header[LineSize];
            skipping = true;
            if (line[length - 1] != ']') {
                report(number, "a section header without its closing ']': %s", line);
                continue;
            }
            Trimmed(line + 1, line + length - 1, header);
            if (!(section = KnownSection(header))) {
                report(number, "unknown section [%s]", header);
                continue;
            }
            skipping = false;
            continue;
        }
        const char* eq = std::strchr(line, '=');
        if (!eq) {
            report(number, "neither a [section], a key=value line nor a ';' comment: %s", line);
            continue;
        }
        char key[LineSize], value[LineSize], spelling[KeySize];
        Trimmed(line, eq, key);
        Trimmed(eq + 1, line + length, value);
        if (!key[0]) {
            report(number, "a value without a key: %s", line);
            continue;
        }
        if (skipping)
            continue;
        if (!section) {
            report(number, "%s is outside any [section]", key);
            continue;
        }
        int row = FindRow(section, key, spelling);
        if (row < 0) {
            report(number, "unknown key %s in [%s]", key, section);
            continue;
        }
        if (const char* takes = WhatItTakes(kAnswerKeys[row].kind, value)) {
            report(number, "[%s] %s %s, not \"%s\"", section, spelling, takes, value);
            continue;
        }
        if (const Entry* earlier = Find(row, spelling)) {
            report(number, "[%s] %s is given twice (first on line %d)", section, spelling,
                   earlier->line);
            continue;
        }
        if (count_ == MaxEntries) {
            report(number, "more answers than the %d a file may hold", int(MaxEntries));
            continue;
        }
        Entry& entry = entries_[count_++];
        entry.row = row;
        entry.line = number;
        CopyText(entry.key, sizeof entry.key, spelling);
        CopyText(entry.value, sizeof entry.value, value);
    }
    if (report.count)
        count_ = 0;
    return report.count;
}

const char* AnswerFile::Get(const char* section, const char* key) const {
    char spelling[KeySize];
    int row = FindRow(section, key, spelling);
    const Entry* entry = row < 0 ? nullptr : Find(row, spelling);
    return entry ? entry->value : nullptr;
}

bool AnswerFile::Set(const char* section, const char* key, const char* value) {
    char spelling[KeySize];
    int row = FindRow(section, key, spelling);
    if (row < 0 || WhatItTakes(kAnswerKeys[row].kind, value))
        return false;
    Entry* entry = Find(row, spelling);
    if (!entry) {
        if (count_ == MaxEntries)
            return false;
        entry = &entries_[count_++];
        entry->row = row;
        entry->line = 0;
        CopyText(entry->key, sizeof entry->key, spelling);
    }
    CopyText(entry->value, sizeof entry->value, value);
    return true;
}

size_t AnswerFile::Format(char* out, size_t size, const char* lineEnd) const {
    size_t length = 0;
    auto put = [&](const char* text) {
        for (; *text; ++text, ++length)
            if (length + 1 < size)
                out[length] = *text;
    };
    const char* section = nullptr;
    for (int row = 0; row < kAnswerKeyCount; ++row) {
        for (int i = 0; i < count_; ++i) {
            const Entry& entry = entries_[i];
            if (entry.row != row)
                continue;
            if (section != kAnswerKeys[row].section) {
                if (section)
                    put(lineEnd);
                section = kAnswerKeys[row].section;
                put("[");
                put(section);
                put("]");
                put(lineEnd);
            }
            put(entry.key);
            put("=");
            put(entry.value);
            put(lineEnd);
        }
    }
    if (size > 0)
        out[length < size ? length : size - 1] = 0;
    return length;
}
