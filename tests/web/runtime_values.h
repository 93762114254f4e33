// Test helpers: runtime texts and byte sets to and from std::string, the
// runtime values freed once read.
#pragma once

#include <string>

#include "runtime/heap.h"
#include "tests/support/heap_blocks.h"

namespace test_values {

inline uint8_t* byteSet(const std::string& bytes) { return rt::makeByteSet(bytes.data(), bytes.size()); }
inline char* text(const std::string& bytes) { return rt::makeText(bytes.data(), bytes.size()); }

// Reads and frees a byte set.
inline std::string takeBytes(uint8_t* byteSet) {
    std::string out(reinterpret_cast<const char*>(rt::byteSetData(byteSet)), rt::byteSetLength(byteSet));
    rt::rtFree(byteSet);
    return out;
}
inline std::string takeText(char* value) {
    std::string out = value ? value : "";
    rt::rtFree(value);
    return out;
}

// A runtime text variable that frees what it holds at the end of the test.
struct TextVar {
    char* value = nullptr;
    TextVar() = default;
    explicit TextVar(const std::string& initial) : value(text(initial)) {}
    ~TextVar() { rt::rtFree(value); }
    TextVar(const TextVar&) = delete;
    TextVar& operator=(const TextVar&) = delete;
    std::string str() const { return value ? value : ""; }
    char** operator&() { return &value; }
};

using test_support::liveHeapBlocks;

}  // namespace test_values
