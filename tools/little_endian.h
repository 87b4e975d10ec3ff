// Byte buffers written little-endian, as the resource formats want them.
#pragma once

#include <cstdint>
#include <vector>

typedef std::vector<uint8_t> Bytes;

inline void Word(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void Dword(Bytes& b, uint32_t v) {
    Word(b, v & 0xffff);
    Word(b, v >> 16);
}
