#include "format.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace rt {

namespace {

// Where the characters go: kept up to the capacity, counted always.
struct Sink {
    char* out;
    size_t size;
    size_t length = 0;

    void Put(char c) {
        if (length + 1 < size)
            out[length] = c;
        ++length;
    }
    void Repeat(char c, int count) {
        for (int i = 0; i < count; ++i)
            Put(c);
    }
};

// One conversion of a format: its flags, width, precision and length.
struct Conversion {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    int width = 0;
    int precision = -1; // none
    char length = 0;    // 'H' hh, 'h', 'l', 'L' ll, 'z', 'j', 't'
};

const char* ReadFlags(const char* p, Conversion* conv) {
    for (;; ++p) {
        switch (*p) {
        case '-':
            conv->left = true;
            break;
        case '+':
            conv->plus = true;
            break;
        case ' ':
            conv->space = true;
            break;
        case '#':
            conv->alternate = true;
            break;
        case '0':
            conv->zero = true;
            break;
        default:
            return p;
        }
    }
}

int ReadNumber(const char** p) {
    int n = 0;
    while (**p >= '0' && **p <= '9') {
        if (n < INT_MAX / 10)
            n = n * 10 + (**p - '0');
        ++*p;
    }
    return n;
}

const char* ReadLength(const char* p, Conversion* conv) {
    if (p[0] == 'h' || p[0] == 'l') {
        bool twice = p[1] == p[0];
        conv->length = twice ? (p[0] == 'h' ? 'H' : 'L') : p[0];
        return p + (twice ? 2 : 1);
    }
    if (*p == 'z' || *p == 'j' || *p == 't') {
        conv->length = *p;
        return p + 1;
    }
    return p;
}

unsigned long long TakeUnsigned(const Conversion& conv, va_list* args) {
    switch (conv.length) {
    case 'H':
        return static_cast<unsigned char>(va_arg(*args, unsigned));
    case 'h':
        return static_cast<unsigned short>(va_arg(*args, unsigned));
    case 'l':
        return va_arg(*args, unsigned long);
    case 'L':
        return va_arg(*args, unsigned long long);
    case 'z':
        return va_arg(*args, size_t);
    case 'j':
        return va_arg(*args, uintmax_t);
    case 't': // the unsigned type of ptrdiff_t's width, not sign-extended
        return static_cast<std::make_unsigned<ptrdiff_t>::type>(va_arg(*args, ptrdiff_t));
    default:
        return va_arg(*args, unsigned);
    }
}

long long TakeSigned(const Conversion& conv, va_list* args) {
    switch (conv.length) {
    case 'H':
        return static_cast<signed char>(va_arg(*args, int));
    case 'h':
        return static_cast<short>(va_arg(*args, int));
    case 'l':
        return va_arg(*args, long);
    case 'L':
        return va_arg(*args, long long);
    case 'z': // the signed type of size_t's width: -1 is -1 on 32-bit builds too
        return static_cast<std::make_signed<size_t>::type>(va_arg(*args, size_t));
    case 'j':
        return va_arg(*args, intmax_t);
    case 't':
        return va_arg(*args, ptrdiff_t);
    default:
        return va_arg(*args, int);
    }
}

// One integer conversion: sign or prefix, zeros for the precision or the
// zero flag, and the padding of the width.
void PutInteger(Sink* sink, const Conversion& conv, unsigned long long value, bool negative,
                unsigned base, bool upper, const char* prefix) {
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    int count = 0;
    while (value) {
        digits[count++] = digitSet[value % base];
        value /= base;
    }
    // The precision is the least number of digits; a zero with precision 0
    // has none, but the # of octal still shows one.
    int zeros = conv.precision > count ? conv.precision - count : 0;
    if (count == 0 && conv.precision < 0)
        zeros = 1;
    if (base == 8 && conv.alternate && zeros == 0 && (count == 0 || digits[count - 1] != '0'))
        zeros = 1;
    char sign = negative ? '-' : conv.plus ? '+' : conv.space ? ' ' : 0;
    int prefixLength = 0;
    while (prefix && prefix[prefixLength])
        ++prefixLength;
    int body = (sign ? 1 : 0) + prefixLength + zeros + count;
    int pad = conv.width > body ? conv.width - body : 0;
    bool padZeros = conv.zero && !conv.left && conv.precision < 0;
    if (!conv.left && !padZeros)
        sink->Repeat(' ', pad);
    if (sign)
        sink->Put(sign);
    for (int i = 0; i < prefixLength; ++i)
        sink->Put(prefix[i]);
    if (padZeros)
        sink->Repeat('0', pad);
    sink->Repeat('0', zeros);
    while (count)
        sink->Put(digits[--count]);
    if (conv.left)
        sink->Repeat(' ', pad);
}

void PutText(Sink* sink, const Conversion& conv, const char* text, int length) {
    int pad = conv.width > length ? conv.width - length : 0;
    if (!conv.left)
        sink->Repeat(' ', pad);
    for (int i = 0; i < length; ++i)
        sink->Put(text[i]);
    if (conv.left)
        sink->Repeat(' ', pad);
}

void PutString(Sink* sink, const Conversion& conv, const char* text) {
    if (!text)
        text = "(null)";
    int length = 0;
    while (text[length] && (conv.precision < 0 || length < conv.precision))
        ++length;
    PutText(sink, conv, text, length);
}

// One conversion character with its conv; answers false for one it does
// not know.
bool Convert(Sink* sink, Conversion conv, char conversion, va_list* args) {
    switch (conversion) {
    case 'd':
    case 'i': {
        long long value = TakeSigned(conv, args);
        unsigned long long magnitude =
            value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
        PutInteger(sink, conv, magnitude, value < 0, 10, false, nullptr);
        return true;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X': {
        conv.plus = conv.space = false;
        unsigned long long value = TakeUnsigned(conv, args);
        unsigned base = conversion == 'u' ? 10 : conversion == 'o' ? 8 : 16;
        const char* prefix = nullptr;
        if (conv.alternate && value && base == 16)
            prefix = conversion == 'x' ? "0x" : "0X";
        PutInteger(sink, conv, value, false, base, conversion == 'X', prefix);
        return true;
    }
    case 'c': {
        char c = static_cast<char>(va_arg(*args, int));
        PutText(sink, conv, &c, 1);
        return true;
    }
    case 's':
        PutString(sink, conv, va_arg(*args, const char*));
        return true;
    case '%':
        sink->Put('%');
        return true;
    default:
        return false;
    }
}

} // namespace

int FormatV(char* out, size_t size, const char* format, va_list args) {
    Sink sink{out, size};
    va_list rest;
    va_copy(rest, args);
    for (const char* p = format; *p;) {
        if (*p != '%') {
            sink.Put(*p++);
            continue;
        }
        const char* start = p++;
        Conversion conv;
        p = ReadFlags(p, &conv);
        if (*p == '*') {
            conv.width = va_arg(rest, int);
            if (conv.width < 0) {
                conv.left = true;
                conv.width = conv.width == INT_MIN ? INT_MAX : -conv.width;
            }
            ++p;
        } else {
            conv.width = ReadNumber(&p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                conv.precision = va_arg(rest, int);
                if (conv.precision < 0)
                    conv.precision = -1;
                ++p;
            } else {
                conv.precision = ReadNumber(&p);
            }
        }
        p = ReadLength(p, &conv);
        if (*p && Convert(&sink, conv, *p, &rest)) {
            ++p;
            continue;
        }
        // Not a conversion this runtime knows: the text stands as written.
        while (start < p)
            sink.Put(*start++);
    }
    va_end(rest);
    if (size)
        out[sink.length < size ? sink.length : size - 1] = 0;
    return sink.length > INT_MAX ? -1 : int(sink.length);
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// The digits after white space, sign and prefix; *overflow when the value
// does not fit 64 bits. Answers the end of the number, or `text` when
// there was none.
const char* ReadDigits(const char* text, int base, bool* negative, unsigned long long* value,
                       bool* overflow) {
    const char* p = text;
    while (IsSpace(*p))
        ++p;
    *negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16;
    if ((base == 0 || base == 16) && hexPrefix) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = *p == '0' ? 8 : 10;
    }
    *value = 0;
    *overflow = false;
    if (base < 2 || base > 36 || DigitValue(*p) >= base)
        return text;
    for (int digit; (digit = DigitValue(*p)) < base; ++p) {
        if (*value > (ULLONG_MAX - unsigned(digit)) / unsigned(base))
            *overflow = true;
        else
            *value = *value * unsigned(base) + unsigned(digit);
    }
    return p;
}

} // namespace

long long ParseSigned(const char* text, char** end, int base) {
    bool negative, overflow;
    unsigned long long value;
    const char* stop = ReadDigits(text, base, &negative, &value, &overflow);
    if (end)
        *end = const_cast<char*>(stop);
    unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(LLONG_MIN)
                                        : static_cast<unsigned long long>(LLONG_MAX);
    if (overflow || value > limit)
        return negative ? LLONG_MIN : LLONG_MAX;
    return negative ? static_cast<long long>(0ULL - value) : static_cast<long long>(value);
}

unsigned long long ParseUnsigned(const char* text, char** end, int base) {
    bool negative, overflow;
    unsigned long long value;
    const char* stop = ReadDigits(text, base, &negative, &value, &overflow);
    if (end)
        *end = const_cast<char*>(stop);
    if (overflow)
        return ULLONG_MAX;
    return negative ? 0ULL - value : value;
}

} // namespace rt
