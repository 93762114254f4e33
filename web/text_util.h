// Small text helpers of the web modules (code page 936 byte strings).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace web {

// Removes ASCII blanks and the full-width blank (A1 A1) at both ends.
std::string trimBlanks(std::string_view text);
// ASCII letters compared without regard to case; npos when absent.
size_t findNoCase(std::string_view text, std::string_view sought, size_t from = 0);
std::string removeAllNoCase(std::string_view text, std::string_view sought);
// The pieces between separators, in order, including empty ones.
std::vector<std::string> splitAll(std::string_view text, std::string_view separator);
// The runtime text as a string; nullptr reads as empty.
inline std::string textOf(const char* text) { return text ? std::string(text) : std::string(); }
// Replaces the caller's text variable with a new runtime text.
void storeText(char** variable, std::string_view text);

}  // namespace web
