// Splits a fuzz input into the small fields the targets read ahead of the
// bytes they feed on: single bytes and "\n"-ended lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }

    // The bytes up to the next "\n" (not included); the rest when there is none.
    std::string Line() {
        const uint8_t* start = p_;
        while (p_ < end_ && *p_ != '\n')
            ++p_;
        std::string line(reinterpret_cast<const char*>(start), size_t(p_ - start));
        if (p_ < end_)
            ++p_;
        return line;
    }

    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(p_), size_t(end_ - p_));
        p_ = end_;
        return rest;
    }

  private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A broken promise of the code under test: report it the way a sanitizer
// would, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
