// The shipped programs' own formatter and number reader, held to the C
// library of the platform the test runs on.
#include "format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Result {
    int length;
    std::string text;
};

typedef int (*Formatter)(char*, size_t, const char*, va_list);

Result Format(Formatter formatter, size_t size, const char* format, ...) {
    char out[128] = "untouched";
    va_list args;
    va_start(args, format);
    int length = formatter(size ? out : nullptr, size, format, args);
    va_end(args);
    return {length, size ? out : ""};
}

#define EXPECT_SAME_TEXT(size, ...)                                                                \
    do {                                                                                           \
        Result ours = Format(rt::FormatV, size, __VA_ARGS__);                                      \
        Result theirs = Format(std::vsnprintf, size, __VA_ARGS__);                                 \
        EXPECT_EQ(ours.text, theirs.text) << #__VA_ARGS__ << " into " << size;                     \
        EXPECT_EQ(ours.length, theirs.length) << #__VA_ARGS__ << " into " << size;                 \
    } while (0)

TEST(RuntimeFormat, WritesWhatTheCLibraryWrites) {
    // 0 and 1: nothing or only the terminator fits; 7 cuts most of them.
    for (size_t size : {0, 1, 7, 128}) {
        EXPECT_SAME_TEXT(size, "%.*s%u", 4, "DISK12", 3u); // the sibling disk's folder
        EXPECT_SAME_TEXT(size, "%03x|%03x|%s.%s", 7u, 0xabcdu, "vgasys", "001");
        EXPECT_SAME_TEXT(size, "%d %c|%ld|%ld", 100, '%', -2147483647L - 1, 0L);
        EXPECT_SAME_TEXT(size, "%d|%5d|%-5d|%05d|%+d|% d|%+05d", 42, 42, 42, -42, 7, 7, -3);
        EXPECT_SAME_TEXT(size, "%.0d|%.3d|%8.3d|%-8.3d|%08.3d|%.0x", 0, 5, -5, 5, 5, 0u);
        EXPECT_SAME_TEXT(size, "%u %x %X %#x %#X %o %#o %#o %#x", 4000000000u, 0xbeefu, 0xbeefu,
                         255u, 255u, 8u, 8u, 0u, 0u);
        EXPECT_SAME_TEXT(size, "%lld|%llu|%lli", LLONG_MIN, ULLONG_MAX, LLONG_MAX);
        EXPECT_SAME_TEXT(size, "%hd|%hhu|%hhd|%zu|%lu", 70000, 300, 200, size_t(12), 99UL);
        // Of the pointer's width, 32 bits on the shipped build.
        EXPECT_SAME_TEXT(size, "%zd|%zu|%zx|%td|%tu|%tx", ptrdiff_t(-1), SIZE_MAX, SIZE_MAX,
                         PTRDIFF_MIN, ptrdiff_t(-1), ptrdiff_t(-1));
        EXPECT_SAME_TEXT(size, "[%s][%8s][%-8s][%.2s][%-6.3s]", "ab", "ab", "ab", "abc", "abcd");
        EXPECT_SAME_TEXT(size, "%*d|%-*d|%*d|%.*d|%.*s", 6, 1, 6, 1, -4, 2, -2, 3, -1, "all");
        EXPECT_SAME_TEXT(size, "100%% %c%c", 'o', 'k');
    }
}

TEST(RuntimeFormat, ReadsNumbersAsStrtollDoes) {
    struct Case {
        const char* text;
        int base;
    };
    const Case cases[] = {
        {"0", 10},
        {"123", 10},
        {"  -17xyz", 10},
        {"+9", 10},
        {"", 10},
        {"-", 10},
        {" x1", 10},
        {"0x1F", 16},
        {"0x1F", 0},
        {"017", 0},
        {"z", 36},
        {"\t\n 42", 10},
        {"00000000000000000000001", 10},
        {"9223372036854775807", 10},
        {"9223372036854775808", 10},
        {"-9223372036854775808", 10},
        {"-9223372036854775809", 10},
        {"99999999999999999999999", 10},
    };
    for (const Case& c : cases) {
        char *ourEnd = nullptr, *theirEnd = nullptr;
        long long ours = rt::ParseSigned(c.text, &ourEnd, c.base);
        long long theirs = std::strtoll(c.text, &theirEnd, c.base);
        EXPECT_EQ(ours, theirs) << '"' << c.text << "\" base " << c.base;
        EXPECT_EQ(ourEnd - c.text, theirEnd - c.text) << '"' << c.text << "\" base " << c.base;
    }
    // A 0x without a hex digit after it: the number is the 0, as C has it
    // (msvcrt.dll reads no number at all there).
    for (int base : {0, 16}) {
        char* end = nullptr;
        EXPECT_EQ(rt::ParseSigned("0xg", &end, base), 0);
        EXPECT_STREQ(end, "xg") << "base " << base;
    }
}

} // namespace
