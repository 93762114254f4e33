// A pointer as the 32-bit word that crosses the runtime's call boundaries
// (request results, data cells, property values). The program is 32-bit, so
// no bits are lost.
#pragma once

#include <cstdint>

namespace rt {

// The address's bits as an unsigned word: widened to 64 bits it stays the
// address (property values are 64-bit).
inline uint32_t wordOf(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// The same bits as the signed word of service results and integer cells.
inline int32_t signedWordOf(const void* p) { return static_cast<int32_t>(wordOf(p)); }

}  // namespace rt
