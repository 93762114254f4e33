// The 32-bit little-endian words of the program's binary records (window
// templates, the carried module's header, digest blocks), read and written
// where they lie, aligned or not. The host is little-endian x86.
#pragma once

#include <cstdint>
#include <cstring>

namespace rt {

// The word at p.
inline uint32_t loadWord(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Writes v as the word at p.
inline void storeWord(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

}  // namespace rt
