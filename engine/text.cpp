#include "text.h"

#include "platform/win32.h"

#include <cstring>

bool AppendBackslash(char* text, size_t capacity) {
    size_t n = std::strlen(text);
    if (n == 0 || text[n - 1] == '\\')
        return true;
    if (n + 2 > capacity)
        return false;
    text[n] = '\\';
    text[n + 1] = 0;
    return true;
}

const char* FileExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot ? dot + 1 : name + std::strlen(name);
}

size_t CopyBytes(char* dest, size_t capacity, const char* source, size_t count) {
    if (capacity == 0)
        return 0;
    if (count > capacity - 1)
        count = capacity - 1;
    std::memcpy(dest, source, count);
    dest[count] = 0;
    return count;
}

size_t CopyText(char* dest, size_t capacity, const char* source) {
    return CopyBytes(dest, capacity, source, std::strlen(source));
}

bool JoinPath(char* dest, size_t capacity, const char* directory, const char* name) {
    size_t a = std::strlen(directory), b = std::strlen(name);
    if (capacity == 0 || a + b + 1 > capacity) {
        if (capacity)
            dest[0] = 0;
        return false;
    }
    std::memcpy(dest, directory, a);
    std::memcpy(dest + a, name, b + 1);
    return true;
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

void UpperCase(char* text) {
    for (char* p = text; *p; ++p)
        *p = UpperAscii(*p);
}

int CompareNoCaseN(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char x = UpperAscii(a[i]), y = UpperAscii(b[i]);
        if (x != y)
            return (unsigned char)x < (unsigned char)y ? -1 : 1;
        if (!x)
            return 0;
    }
    return 0;
}

int CompareNoCase(const char* a, const char* b) {
    return CompareNoCaseN(a, b, size_t(-1));
}

bool PathExists(const char* path) {
    WIN32_FIND_DATAA data;
    HANDLE found = FindFirstFileA(path, &data);
    if (found == INVALID_HANDLE_VALUE)
        return false;
    FindClose(found);
    return true;
}

namespace {

// The length of a well-formed UTF-8 character at text[i], or 0.
size_t Utf8Length(const unsigned char* text, size_t i, size_t length) {
    unsigned char c = text[i];
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (c >= 0xF5 || i + n > length)
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((text[i + k] & 0xC0) != 0x80)
            return 0;
    return n;
}

} // namespace

size_t VisibleText(char* out, size_t capacity, const char* text, size_t length, unsigned flags) {
    static const char kHex[] = "0123456789abcdef";
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    const bool utf8 = (flags & ShowUtf8) != 0;
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        unsigned char c = in[i];
        size_t size = c < 0x80 || !utf8 ? 1 : Utf8Length(in, i, length);
        bool c1 = utf8 && size == 2 && c == 0xC2 && in[i + 1] < 0xA0;
        bool control = c < 0x20 ? !((flags & KeepLineBreaks) && c == '\n') : c == 0x7F;
        bool shown = size == 0 || control || c1;
        size_t bytes = size == 0 ? 1 : size;
        if (n + (shown ? 4 * bytes : bytes) + 1 > capacity)
            break;
        for (size_t k = 0; k < bytes; ++k, ++i) {
            if (shown) {
                out[n++] = '\\';
                out[n++] = 'x';
                out[n++] = kHex[in[i] >> 4];
                out[n++] = kHex[in[i] & 15];
            } else {
                out[n++] = char(in[i]);
            }
        }
    }
    if (capacity)
        out[n] = 0;
    return n;
}
