// The runtime's text commands on the web modules' std::string texts, so that
// headers and cookies are searched, split and trimmed as the application's
// own texts are: double-byte aware, never matching inside a character.
// Also the one way a new runtime text is handed to a caller's variable.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/commands/commands.h"

namespace web::text {

// A runtime text as a string; nullptr reads as empty.
inline std::string of(const char* text) { return text ? std::string(text) : std::string(); }
inline std::string of(const rt::cmd::OwnedText& text) { return of(text.get()); }

// Hands `fresh` (space obtained from rtAlloc, or nullptr for the empty
// text) to the caller's text variable, whose owner frees it from now on; the
// text the variable held is freed.
inline void store(char** variable, rt::cmd::OwnedText fresh) {
    const rt::cmd::OwnedText previous(std::exchange(*variable, fresh.release()));
}

// 1-based byte position of `sought` at or after `start`; -1 when absent.
inline int32_t find(const std::string& text, const char* sought, int32_t start = 1) {
    return rt::cmd::findText(text.c_str(), sought, start);
}
// As find, ASCII letters compared without regard to case.
inline int32_t findNoCase(const std::string& text, const char* sought) {
    return rt::cmd::findText(text.c_str(), sought, rt::cmd::Arg(), true);
}
// Every occurrence of `sought` removed, ASCII letters in any case.
inline std::string removeAllNoCase(const std::string& text, const char* sought) {
    return of(rt::cmd::replaceText(text.c_str(), sought));
}
// Blanks (0x20 and the full-width blank) removed at both ends.
inline std::string trim(const std::string& text) { return of(rt::cmd::trimText(text.c_str())); }
// The pieces between separators: empty ones between two separators are
// pieces, an empty one after the last separator is not, the empty text has
// none.
inline std::vector<std::string> split(const std::string& text, const char* separator) {
    rt::cmd::TextArray pieces = rt::cmd::splitText(text.c_str(), separator);
    std::vector<std::string> out;
    out.reserve(pieces.size());
    for (uint32_t i = 0; i < pieces.size(); ++i) out.push_back(of(pieces[i]));
    return out;
}

}  // namespace web::text
