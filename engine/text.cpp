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
