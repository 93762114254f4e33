#include "web/text_util.h"

#include "runtime/heap.h"

namespace web {

namespace {
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string trimBlanks(std::string_view text) {
    size_t begin = 0, end = text.size();
    for (;;) {
        if (begin < end && text[begin] == ' ') ++begin;
        else if (end - begin >= 2 && text.substr(begin, 2) == "\xA1\xA1") begin += 2;
        else break;
    }
    for (;;) {
        if (end > begin && text[end - 1] == ' ') --end;
        else if (end - begin >= 2 && text.substr(end - 2, 2) == "\xA1\xA1") end -= 2;
        else break;
    }
    return std::string(text.substr(begin, end - begin));
}

size_t findNoCase(std::string_view text, std::string_view sought, size_t from) {
    if (sought.empty()) return from <= text.size() ? from : std::string::npos;
    for (size_t i = from; i + sought.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < sought.size() && lowerAscii(text[i + k]) == lowerAscii(sought[k])) ++k;
        if (k == sought.size()) return i;
    }
    return std::string::npos;
}

std::string removeAllNoCase(std::string_view text, std::string_view sought) {
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = findNoCase(text, sought, at)) != std::string::npos; at = hit + sought.size())
        out.append(text.substr(at, hit - at));
    out.append(text.substr(at));
    return out;
}

std::vector<std::string> splitAll(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    size_t at = 0;
    for (size_t hit; (hit = text.find(separator, at)) != std::string::npos; at = hit + separator.size())
        pieces.emplace_back(text.substr(at, hit - at));
    pieces.emplace_back(text.substr(at));
    return pieces;
}

void storeText(char** variable, std::string_view text) {
    if (!variable) return;
    char* fresh = rt::makeText(text.data(), text.size());
    rt::rtFree(*variable);
    *variable = fresh;
}

}  // namespace web
