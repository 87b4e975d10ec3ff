// The functions of the C library that the shipped programs call, under the
// names the MinGW headers declare. A function the code starts to use and
// this file lacks makes the link fail with "undefined reference"; add it
// here (or, for formatting and numbers, to format.cpp, where the host tests
// compare it with the host's C library).
#include "format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {

void* memcpy(void* dest, const void* source, size_t count) {
    char* d = static_cast<char*>(dest);
    const char* s = static_cast<const char*>(source);
    while (count--)
        *d++ = *s++;
    return dest;
}

void* memmove(void* dest, const void* source, size_t count) {
    char* d = static_cast<char*>(dest);
    const char* s = static_cast<const char*>(source);
    if (d < s || d >= s + count)
        return memcpy(dest, source, count);
    while (count--)
        d[count] = s[count];
    return dest;
}

void* memset(void* dest, int value, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(dest);
    while (count--)
        *d++ = static_cast<unsigned char>(value);
    return dest;
}

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; count; --count, ++x, ++y)
        if (*x != *y)
            return *x < *y ? -1 : 1;
    return 0;
}

void* memchr(const void* data, int value, size_t count) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (; count; --count, ++p)
        if (*p == static_cast<unsigned char>(value))
            return const_cast<unsigned char*>(p);
    return nullptr;
}

size_t strlen(const char* text) {
    const char* p = text;
    while (*p)
        ++p;
    return size_t(p - text);
}

char* strchr(const char* text, int c) {
    for (;; ++text) {
        if (*text == static_cast<char>(c))
            return const_cast<char*>(text);
        if (!*text)
            return nullptr;
    }
}

char* strrchr(const char* text, int c) {
    const char* found = nullptr;
    for (;; ++text) {
        if (*text == static_cast<char>(c))
            found = text;
        if (!*text)
            return const_cast<char*>(found);
    }
}

char* strpbrk(const char* text, const char* set) {
    for (; *text; ++text)
        if (strchr(set, *text))
            return const_cast<char*>(text);
    return nullptr;
}

int strcmp(const char* a, const char* b) {
    while (*a && *a == *b)
        ++a, ++b;
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    return x < y ? -1 : x > y;
}

char* strcpy(char* dest, const char* source) {
    return static_cast<char*>(memcpy(dest, source, strlen(source) + 1));
}

char* strcat(char* dest, const char* source) {
    strcpy(dest + strlen(dest), source);
    return dest;
}

long long strtoll(const char* text, char** end, int base) {
    return rt::ParseSigned(text, end, base);
}

// The MinGW headers define snprintf and vsnprintf inline over this one.
int __mingw_vsnprintf(char* out, size_t size, const char* format, va_list args) {
    return rt::FormatV(out, size, format, args);
}

} // extern "C"
