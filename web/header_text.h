// The request-header text of the HTTP client: browser defaults, name
// capitals, and the lines handed to the request object.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace web {

// Appends each default header whose probe (any case, anywhere) the text
// doesn't hold yet: Accept, Referer (the URL), Accept-Language, User-Agent,
// and Content-Type for POST. Each appended line begins with CR LF.
std::string withDefaultHeaders(std::string_view headers, std::string_view url, bool isPost);

// Drops lines without ":", capitalises the first letter of each "-" piece of
// the name, joins the lines with CR LF (no trailing one).
std::string normalizeHeaderLines(std::string_view headers);

struct HeaderLine {
    std::string name;
    std::string value;
};
// The (name, value) pairs to set, in order: one pair when the text has no
// CR LF; otherwise the non-empty lines except "Connection: keep-alive".
std::vector<HeaderLine> headerLinesToSend(std::string_view headers);

}  // namespace web
