// Text commands. Positions and lengths count bytes of code page 936; the
// searching commands never match from the second byte of a character.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/heap.h"

namespace rt {

using namespace command_support;

namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether `sought` stands at byte `at` of `text` (the caller keeps it inside).
// Ignoring case folds single-byte ASCII letters only: the second byte of a
// double-byte character is compared as it is, else "乤" would match "丄".
bool sameAt(std::string_view text, size_t at, std::string_view sought, bool ignoreCase) {
    if (!ignoreCase) return text.compare(at, sought.size(), sought) == 0;
    for (size_t i = 0; i < sought.size();) {
        if (isLeadByte(static_cast<unsigned char>(text[at + i]))) {
            size_t width = std::min(characterWidth(text, at + i), sought.size() - i);
            if (text.compare(at + i, width, sought.substr(i, width)) != 0) return false;
            i += width;
        } else {
            if (asciiUpper(text[at + i]) != asciiUpper(sought[i])) return false;
            ++i;
        }
    }
    return true;
}

// One routine for both directions: the range, then a double-byte aware scan.
int32_t find(std::string_view text, std::string_view sought, bool forward, const DataCell& position,
             bool ignoreCase) {
    size_t begin = 0, end = text.size();
    if (forward) {
        int64_t start = position.absent() ? 1 : int64Arg(1, &position, 0);
        begin = start < 1 ? 0 : static_cast<size_t>(std::min<int64_t>(start - 1, static_cast<int64_t>(end)));
    } else if (!position.absent()) {
        int64_t last = int64Arg(1, &position, 0);
        end = last <= 1 ? 0 : static_cast<size_t>(std::min<int64_t>(last - 1, static_cast<int64_t>(end)));
    }
    if (begin >= end) return -1;
    if (sought.empty()) return 1;
    int32_t found = -1;
    for (size_t at = begin; at + sought.size() <= end; at += characterWidth(text, at)) {
        if (isLeadByte(static_cast<unsigned char>(text[at])) && at + 1 >= text.size()) break;
        if (sameAt(text, at, sought, ignoreCase)) {
            found = static_cast<int32_t>(at + 1);
            if (forward) break;
        }
    }
    return found;
}

}  // namespace

void textLength(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(static_cast<int32_t>(textView(count, args, 0).size()));
}

void leftText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    int32_t n = intArg(count, args, 1);
    setText(result, n <= 0 ? std::string_view() : text.substr(0, static_cast<size_t>(n)));
}

void rightText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    int32_t n = intArg(count, args, 1);
    if (n <= 0) return setText(result, {});
    size_t take = std::min(text.size(), static_cast<size_t>(n));
    setText(result, text.substr(text.size() - take));
}

void midText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    int32_t start = intArg(count, args, 1), n = intArg(count, args, 2);
    if (start < 1 || static_cast<size_t>(start) > text.size() || n <= 0) return setText(result, {});
    setText(result, text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n)));
}

void charFromCode(DataCell* result, int32_t count, DataCell* args) {
    char byte = static_cast<char>(intArg(count, args, 0) & 0xFF);
    setText(result, byte ? std::string_view(&byte, 1) : std::string_view());
}

void charCode(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    int32_t position = intArg(count, args, 1, 1);
    if (position < 1 || static_cast<size_t>(position) > text.size()) return result->setInt(0);
    result->setInt(static_cast<int8_t>(text[static_cast<size_t>(position - 1)]));
}

void findText(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(find(textView(count, args, 0), textView(count, args, 1), true, argAt(count, args, 2),
                        boolArg(count, args, 3)));
}

void findTextBackward(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(find(textView(count, args, 0), textView(count, args, 1), false, argAt(count, args, 2),
                        boolArg(count, args, 3)));
}

void toUpper(DataCell* result, int32_t count, DataCell* args) {
    std::string text(textView(count, args, 0));
    for (size_t i = 0; i < text.size(); i += characterWidth(text, i)) text[i] = asciiUpper(text[i]);
    setText(result, text);
}

void trimText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    // A forward walk: from the end, a full-width blank can't be told from
    // the second half of another character.
    size_t first = std::string_view::npos, last = 0;
    for (size_t i = 0; i < text.size();) {
        size_t width = std::min(characterWidth(text, i), text.size() - i);
        bool blank = text[i] == ' ' || (width == 2 && text.compare(i, 2, "\xA1\xA1") == 0);
        if (!blank) {
            if (first == std::string_view::npos) first = i;
            last = i + width;
        }
        i += width;
    }
    setText(result, first == std::string_view::npos ? std::string_view() : text.substr(first, last - first));
}

void replaceText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0), sought = textView(count, args, 1);
    std::string_view replacement = textView(count, args, 2);
    int64_t start = int64Arg(count, args, 3, 1);
    int64_t limit = int64Arg(count, args, 4, -1);
    bool ignoreCase = !boolArg(count, args, 5, false);
    if (start < 1) start = 1;
    if (text.empty() || sought.empty() || start > static_cast<int64_t>(text.size()) || limit == 0)
        return setText(result, text);

    std::string out(text.substr(0, static_cast<size_t>(start - 1)));
    size_t at = static_cast<size_t>(start - 1);
    int64_t replaced = 0;
    while (text.size() - at >= sought.size()) {
        if (sameAt(text, at, sought, ignoreCase)) {
            out += replacement;
            at += sought.size();
            if (++replaced == limit) break;
        } else {
            size_t width = std::min(characterWidth(text, at), text.size() - at);
            out += text.substr(at, width);
            at += width;
        }
    }
    out += text.substr(at);
    setText(result, out);
}

void splitText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view text = textView(count, args, 0);
    std::string_view separator = given(count, args, 1) ? textView(count, args, 1) : std::string_view(",");
    int64_t maximum = int64Arg(count, args, 2, -1);

    std::vector<std::string_view> parts;
    if (!text.empty() && maximum != 0) {
        if (separator.empty()) {
            parts.push_back(text);
        } else {
            size_t at = 0, partStart = 0;
            bool full = false;
            while (at + separator.size() <= text.size()) {
                if (text.compare(at, separator.size(), separator) == 0) {
                    parts.push_back(text.substr(partStart, at - partStart));
                    at += separator.size();
                    partStart = at;
                    if (maximum > 0 && static_cast<int64_t>(parts.size()) >= maximum) {
                        full = true;
                        break;
                    }
                } else {
                    at += characterWidth(text, at);
                }
            }
            if (!full && partStart < text.size()) parts.push_back(text.substr(partStart));
        }
    }
    void* array = makeArray(4, static_cast<uint32_t>(parts.size()));
    auto elements = static_cast<char**>(arrayElements(array));
    for (size_t i = 0; i < parts.size(); ++i) elements[i] = makeText(parts[i].data(), parts[i].size());
    result->lo = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(array));
    result->hi = 0;
    result->type = kTypeText;
}

void blankText(DataCell* result, int32_t count, DataCell* args) {
    int32_t n = intArg(count, args, 0);
    if (n < 1) return setText(result, std::string_view());
    // Straight into the runtime heap: a size no block can have is the
    // allocation failure of that size, not a C++ exception.
    auto text = static_cast<char*>(rtAlloc(static_cast<uint32_t>(n) + 1));
    std::memset(text, ' ', static_cast<size_t>(n));
    text[n] = 0;
    result->setText(text);
}

}  // namespace rt
