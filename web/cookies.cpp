#include "web/cookies.h"

#include <vector>

#include "runtime/heap.h"
#include "web/runtime_text.h"

namespace web {

namespace {

constexpr char kSeparator[] = "; ";
constexpr size_t kSeparatorLength = sizeof kSeparator - 1;
constexpr char kSetCookiePrefix[] = "Set-Cookie:";
constexpr size_t kSetCookiePrefixLength = sizeof kSetCookiePrefix - 1;
constexpr std::string_view kDeletedSuffix = "=deleted";

// A cookie text's items (the runtime's split: an empty piece after the final
// separator is none).
std::vector<std::string> cookieItems(const std::string& text) { return text::split(text, kSeparator); }

// Trimmed; a final ";" gets its blank, so that it reads as a separator.
std::string normalised(std::string_view cookies) {
    std::string out = text::trim(std::string(cookies));
    if (!out.empty() && out.back() == ';') out += ' ';
    return out;
}

bool isDeleted(std::string_view item) { return item.ends_with(kDeletedSuffix); }

// The items joined with the separator, none after the last.
std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += kSeparator;
        out += items[i];
    }
    return out;
}

// Replaces the caller's text variable (when there is one) with a new
// runtime text of `value`.
void storeText(char** variable, const std::string& value) {
    if (variable) text::store(variable, rt::cmd::OwnedText(rt::makeText(value.data(), value.size())));
}

// The item of a line that begins with "Set-Cookie: ": without attributes the
// line with every "Set-Cookie:" (any case) removed, else the text after the
// prefix up to the first ";"; trimmed.
std::string setCookieItem(const std::string& line) {
    if (text::find(line, ";") < 0) return text::trim(text::removeAllNoCase(line, kSetCookiePrefix));
    // Both found: the line begins with the prefix and has a ";" past it.
    const size_t begin = static_cast<size_t>(text::find(line, kSetCookiePrefix) - 1) + kSetCookiePrefixLength;
    const size_t end = static_cast<size_t>(text::find(line, ";", static_cast<int32_t>(begin) + 1) - 1);
    return text::trim(line.substr(begin, end - begin));
}

}  // namespace

std::string cookieName(std::string_view item) {
    const std::string whole(item);
    const int32_t equals = text::find(whole, "=");
    return text::trim(equals < 0 ? whole : whole.substr(0, static_cast<size_t>(equals - 1)));
}

void prepareCookieHeader(char** sendCookies) {
    if (!sendCookies || !*sendCookies || !**sendCookies) return;
    const std::string cookies = *sendCookies;
    if (text::findNoCase(cookies, "Cookie:") < 0) return;
    storeText(sendCookies, text::removeAllNoCase(cookies, "Cookie:"));
}

std::string collectSetCookies(std::string_view responseHeaders) {
    std::string received;
    for (const std::string& line : text::split(std::string(responseHeaders), "\r\n")) {
        const int32_t nameEnd = text::find(line, ": ");
        if (nameEnd < 0 || line.substr(0, static_cast<size_t>(nameEnd - 1)) != "Set-Cookie") continue;
        received += setCookieItem(line);
        received += kSeparator;
    }
    if (received.ends_with(kSeparator)) received.resize(received.size() - kSeparatorLength);
    return received;
}

void collectSetCookies(const char* responseHeaders, char** receivedCookies) {
    storeText(receivedCookies, collectSetCookies(text::of(responseHeaders)));
}

std::string mergeCookieTexts(std::string_view older, std::string_view newer) {
    std::vector<std::string> newItems = cookieItems(normalised(newer));
    for (const std::string& item : cookieItems(normalised(older))) {
        const std::string name = cookieName(item);
        bool known = false;
        for (const std::string& present : newItems) known = known || cookieName(present) == name;
        if (!known) newItems.push_back(item);
    }
    std::string live;
    for (const std::string& item : newItems) {
        if (isDeleted(item)) continue;
        live += item;
        live += kSeparator;
    }
    live.resize(live.size() >= kSeparatorLength ? live.size() - kSeparatorLength : 0);

    // Repeated items go. Split again, an empty last item left by the step
    // above ("a=1; ; ") is no item either.
    std::vector<std::string> kept;
    for (const std::string& item : cookieItems(live)) {
        bool seen = false;
        for (const std::string& k : kept) seen = seen || k == item;
        if (!seen) kept.push_back(item);
    }
    return joined(kept);
}

void mergeCookieTexts(char** sendCookies, char** receivedCookies) {
    std::string merged = mergeCookieTexts(text::of(sendCookies ? *sendCookies : nullptr),
                                          text::of(receivedCookies ? *receivedCookies : nullptr));
    storeText(sendCookies, merged);
    storeText(receivedCookies, merged);
}

}  // namespace web
