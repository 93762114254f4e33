#include "web/header_text.h"

#include "web/text_util.h"

namespace web {

namespace {

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string capitalised(std::string piece) {
    if (!piece.empty()) piece[0] = upperAscii(piece[0]);
    return piece;
}

HeaderLine splitLine(std::string_view line) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    return {trimBlanks(line.substr(0, colon)), trimBlanks(line.substr(colon + 1))};
}

}  // namespace

std::string withDefaultHeaders(std::string_view headers, std::string_view url, bool isPost) {
    std::string out(headers);
    auto addUnlessPresent = [&out](std::string_view probe, std::string_view line) {
        if (findNoCase(out, probe) == std::string::npos) out.append(line);
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
    for (const std::string& line : splitAll(headers, "\r\n")) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon), renamed;
        if (name.find('-') == std::string::npos) {
            renamed = capitalised(name);
        } else {
            std::vector<std::string> pieces = splitAll(name, "-");
            for (size_t i = 0; i < pieces.size(); ++i) {
                if (i) renamed += '-';
                renamed += capitalised(pieces[i]);
            }
        }
        if (!first) out += "\r\n";
        out += renamed + line.substr(colon);
        first = false;
    }
    return out;
}

std::vector<HeaderLine> headerLinesToSend(std::string_view headers) {
    if (headers.find("\r\n") == std::string_view::npos) return {splitLine(headers)};
    std::vector<HeaderLine> lines;
    for (const std::string& line : splitAll(headers, "\r\n")) {
        if (line.empty()) continue;
        HeaderLine pair = splitLine(line);
        if (pair.name == "Connection" && pair.value == "keep-alive") continue;
        lines.push_back(std::move(pair));
    }
    return lines;
}

}  // namespace web
