// The one path for conditions the program can't continue from: a message
// box "运行时出错!", then the end with exit code -1, exit handlers dropped.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

// The full message text as shown (also used by tests).
std::string formatRuntimeError(const char* message, int32_t number, int32_t location1, int32_t location2);

[[noreturn]] void reportRuntimeError(const char* message, int32_t number, int32_t location1, int32_t location2);

// Runtime-service entry 0: the compiled code's own checks, numbers 1 to 11.
[[noreturn]] void reportErrorNumber(int32_t number, int32_t location1, int32_t location2);
const char* errorNumberMessage(int32_t number);

}  // namespace rt
