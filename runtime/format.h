// The formatting and number reading of the shipped programs' own runtime,
// written without the C library so that it can be tested on the host
// beside the host's printf and strtoll.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace rt {

// vsnprintf as C99 has it: writes at most size - 1 characters and a
// terminator (nothing when size is 0) and answers the length the whole
// text would have. Conversions: d i u o x X c s %, with the flags
// - + space # 0, a width and a precision (digits or *), and the length
// modifiers hh h l ll z j t. Anything else is copied as it stands.
int FormatV(char* out, size_t size, const char* format, va_list args);

// strtoll/strtoull without errno: leading white space, a sign, a 0x/0X
// prefix (base 16 or 0) or 0 (base 0: octal); out of range clamps.
long long ParseSigned(const char* text, char** end, int base);
unsigned long long ParseUnsigned(const char* text, char** end, int base);

} // namespace rt
