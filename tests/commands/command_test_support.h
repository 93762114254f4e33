// Helpers for command tests: texts and byte sets of the runtime heap as
// std::string, and GBK literals.
#pragma once

#include <string>

#include "runtime/commands/commands.h"
#include "runtime/heap.h"

inline std::string str(const rt::cmd::OwnedText& text) { return text ? std::string(text.get()) : std::string(); }
inline std::string str(const rt::cmd::OwnedBytes& bytes) {
    if (!bytes) return {};
    return std::string(reinterpret_cast<const char*>(rt::byteSetData(bytes.get())), rt::byteSetLength(bytes.get()));
}
// A byte set made from the bytes of a string (kept alive by the holder).
struct Bytes {
    explicit Bytes(const std::string& bytes)
        : block(rt::makeByteSet(bytes.data(), bytes.size())) {}
    rt::cmd::OwnedBytes block;
    const uint8_t* get() const { return block.get(); }
};
