// Helpers shared by the suite tests.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/heap.h"

namespace suite_testing {

// The built stand-in module, as a path the Windows side can open.
inline std::string moduleFilePath() {
    std::string path = "Z:" SUITE_MODULE_FILE;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Takes a runtime text the caller owns: its bytes, and the block freed.
inline std::string takeText(char* text) {
    std::string bytes = text ? text : "";
    rt::rtFree(text);
    return bytes;
}

}  // namespace suite_testing
