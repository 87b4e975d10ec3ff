#include "script_text.h"

#include "text.h"

#include <cstring>

ScriptText::ScriptText(LPCSTR type, LPCSTR name) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, type);
    if (!found) {
        status_ = 1;
        return;
    }
    length_ = SizeofResource(self, found);
    resource_ = LoadResource(self, found);
    if (!resource_ || length_ == 0) {
        status_ = 2;
        return;
    }
    text_ = static_cast<const char*>(LockResource(resource_));
    if (!text_)
        status_ = 1;
}

ScriptText::ScriptText(const char* text, unsigned length) : text_(text), length_(length) {
    if (!text_)
        status_ = 1;
    else if (length_ == 0)
        status_ = 2;
}

ResultCode ScriptText::FindLine(const char* section, unsigned n, const char** line,
                                unsigned* lineLength) const {
    const char* p = text_;
    const char* end = text_ ? text_ + length_ : nullptr;
    char current[MaxNameLength + 1] = "";
    size_t currentLength = 0;
    unsigned count = 0;
    const size_t wantedLength = std::strlen(section);
    *line = text_;
    *lineLength = 0;
    while (p && p < end) {
        if (*p != ':') {
            // A header: its name runs to the first colon within 128 bytes.
            size_t i = 0;
            while (i <= MaxNameLength && p + i < end && p[i] != ':')
                ++i;
            if (i > MaxNameLength || p + i >= end)
                return MalformedScript;
            std::memcpy(current, p, i);
            currentLength = i;
            p += i;
        }
        const char* lineText = p + 1;
        bool same = currentLength == wantedLength &&
                    CompareNoCaseN(current, section, currentLength) == 0 &&
                    std::memchr(current, 0, currentLength) == nullptr;
        const char* cr =
            static_cast<const char*>(std::memchr(lineText, '\r', size_t(end - lineText)));
        if (same) {
            if (count == n) {
                *line = lineText;
                *lineLength = unsigned((cr ? cr : end) - lineText);
                return Ok;
            }
            ++count;
        } else if (count != 0) {
            return NoSuchLine;
        }
        if (!cr)
            break;
        p = (end - cr >= 2) ? cr + 2 : end; // over the CR and the byte after it
    }
    *line = text_;
    *lineLength = 0;
    return NoSuchLine;
}

const char* ScriptText::ReferenceLimit(const char* source, unsigned sourceLength) const {
    // A reference that is not closed in its own text runs on through the
    // rest of the script; text from elsewhere ends at its own end.
    if (text_ && source >= text_ && source + sourceLength <= text_ + length_)
        return text_ + length_;
    return source + sourceLength;
}

ResultCode ScriptText::Expand(const char* source, unsigned sourceLength, char* dest,
                              unsigned* capacity) {
    if (*capacity == 0)
        return Ok;
    const unsigned room = *capacity - 1;
    const char* p = source;
    const char* end = source + sourceLength;
    const char* limit = ReferenceLimit(source, sourceLength);
    unsigned written = 0;
    ResultCode result = Ok;
    while (p < end && *p == ' ')
        ++p;
    while (p < end && written < room && result == Ok) {
        if (*p != '#') {
            dest[written++] = *p++;
            continue;
        }
        if (p + 1 < end && p[1] == '#') {
            dest[written++] = '#';
            p += 2;
            continue;
        }
        const char* name = p + 1;
        const char* close = static_cast<const char*>(std::memchr(name, '#', size_t(limit - name)));
        if (!close)
            break; // unfinished at the end of the script: dropped
        p = close + 1;
        size_t nameLength = size_t(close - name);
        if (nameLength > MaxNameLength) {
            result = NotApplicable; // no variable or alias has such a name
            break;
        }
        char nameText[MaxNameLength + 1];
        std::memcpy(nameText, name, nameLength);
        nameText[nameLength] = 0;
        unsigned left = room - written;
        if (nameText[0] == '@') {
            char alias[MaxAliasLength + 1];
            unsigned aliasLength = MaxAliasLength;
            if (GetAliasText(nameText, alias, &aliasLength, 0) == Ok) {
                unsigned take = aliasLength < left ? aliasLength : left;
                std::memcpy(dest + written, alias, take);
                written += take;
            }
            continue;
        }
        unsigned got = left;
        result = ResolveVariable(nameText, dest + written, &got);
        written += got < left ? got : left;
    }
    dest[written] = 0;
    *capacity = written;
    return result;
}

ResultCode ScriptText::GetEntry(const char* section, char* key, unsigned* keyCapacity, char* value,
                                unsigned* valueCapacity, unsigned n) {
    if (*keyCapacity)
        key[0] = 0;
    if (value && valueCapacity && *valueCapacity)
        value[0] = 0;
    const char* line;
    unsigned lineLength;
    ResultCode found = FindLine(section, n, &line, &lineLength);
    if (found != Ok) {
        *keyCapacity = 0;
        if (valueCapacity)
            *valueCapacity = 0;
        return found;
    }
    const char* lineEnd = line + lineLength;
    const char* equals = static_cast<const char*>(std::memchr(line, '=', lineLength));
    const char* keyEnd = equals ? equals : lineEnd;
    while (line < keyEnd && *line == ' ')
        ++line;
    unsigned keyLength = *keyCapacity;
    if (Expand(line, unsigned(keyEnd - line), key, &keyLength) != Ok)
        return KeyNotApplicable;
    *keyCapacity = keyLength;
    if (!value || !valueCapacity)
        return Ok;
    if (!equals) {
        *valueCapacity = 0;
        return Ok;
    }
    unsigned valueLength = *valueCapacity;
    if (Expand(equals + 1, unsigned(lineEnd - equals - 1), value, &valueLength) != Ok)
        return ValueNotApplicable;
    *valueCapacity = valueLength;
    return Ok;
}

ResultCode ScriptText::GetAliasText(const char* section, char* dest, unsigned* maxLength,
                                    unsigned n) const {
    const char* line;
    unsigned lineLength;
    ResultCode found = FindLine(section, n, &line, &lineLength);
    if (found != Ok)
        return found;
    if (lineLength > *maxLength)
        lineLength = *maxLength;
    unsigned start = 0;
    while (start < lineLength && line[start] == ' ')
        ++start;
    unsigned copied = lineLength - start;
    std::memcpy(dest, line + start, copied);
    dest[copied] = 0;
    *maxLength = copied;
    return Ok;
}

ResultCode ScriptText::ResolveVariable(const char*, char*, unsigned* room) {
    *room = 0;
    return NotApplicable;
}
