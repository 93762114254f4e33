#include "web/header_text.h"

#include "web/runtime_text.h"

namespace web {

namespace {

constexpr char kLineBreak[] = "\r\n";

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The name split at every "-", each piece's first character upper-cased and
// the pieces joined again, done in place: the first byte and the byte after
// each "-" (the search never finds one inside a character, so that byte
// starts one). A name ending in "-" keeps it, as the split-and-join does.
std::string capitalisedName(std::string name) {
    if (name.empty()) return name;
    name[0] = upperAscii(name[0]);
    for (int32_t dash = text::find(name, "-"); dash > 0; dash = text::find(name, "-", dash + 1))
        if (static_cast<size_t>(dash) < name.size()) name[dash] = upperAscii(name[dash]);
    return name;
}

// Name and value, both trimmed; both empty without a ":".
HeaderLine splitLine(const std::string& line) {
    const int32_t colon = text::find(line, ":");
    if (colon < 0) return {};
    const size_t at = static_cast<size_t>(colon - 1);
    return {text::trim(line.substr(0, at)), text::trim(line.substr(at + 1))};
}

}  // namespace

std::string withDefaultHeaders(std::string_view headers, std::string_view url, bool isPost) {
    std::string out(headers);
    auto addUnlessPresent = [&out](const char* probe, std::string_view line) {
        if (text::findNoCase(out, probe) < 0) out.append(line);
    };
    addUnlessPresent("Accept:", "\r\nAccept: */*");
    addUnlessPresent("Referer:", "\r\nReferer: " + std::string(url));
    addUnlessPresent("Accept-Language:", "\r\nAccept-Language: zh-cn");
    addUnlessPresent("User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    if (isPost) addUnlessPresent("Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded");
    return out;
}

std::string normalizeHeaderLines(std::string_view headers) {
    std::string out;
    bool first = true;
    for (const std::string& line : text::split(std::string(headers), kLineBreak)) {
        const int32_t colon = text::find(line, ":");
        if (colon < 0) continue;
        const size_t at = static_cast<size_t>(colon - 1);
        if (!first) out += kLineBreak;
        out += capitalisedName(line.substr(0, at)) + line.substr(at);
        first = false;
    }
    return out;
}

std::vector<HeaderLine> headerLinesToSend(std::string_view headers) {
    const std::string all(headers);
    if (text::find(all, kLineBreak) < 0) return {splitLine(all)};
    std::vector<HeaderLine> lines;
    for (const std::string& line : text::split(all, kLineBreak)) {
        if (line.empty()) continue;
        HeaderLine pair = splitLine(line);
        if (pair.name == "Connection" && pair.value == "keep-alive") continue;
        lines.push_back(std::move(pair));
    }
    return lines;
}

}  // namespace web
