#include "web/cookies.h"

#include <vector>

#include "web/text_util.h"

namespace web {

namespace {

// A cookie text's items: an empty piece after the final separator is none.
std::vector<std::string> cookieItems(std::string_view text) {
    if (text.empty()) return {};
    std::vector<std::string> items = splitAll(text, "; ");
    if (items.back().empty()) items.pop_back();
    return items;
}

std::string normalised(std::string_view text) {
    std::string out = trimBlanks(text);
    if (!out.empty() && out.back() == ';') out += ' ';
    return out;
}

bool isDeleted(std::string_view item) {
    return item.size() >= 8 && item.substr(item.size() - 8) == "=deleted";
}

}  // namespace

std::string cookieName(std::string_view item) {
    size_t equals = item.find('=');
    return trimBlanks(equals == std::string_view::npos ? item : item.substr(0, equals));
}

void prepareCookieHeader(char** sendCookies) {
    if (!sendCookies || !*sendCookies || !**sendCookies) return;
    std::string text = *sendCookies;
    if (findNoCase(text, "Cookie:") == std::string::npos) return;
    storeText(sendCookies, removeAllNoCase(text, "Cookie:"));
}

std::string collectSetCookies(std::string_view responseHeaders) {
    std::string received;
    for (const std::string& line : splitAll(responseHeaders, "\r\n")) {
        size_t colon = line.find(": ");
        if (colon == std::string::npos || line.compare(0, colon, "Set-Cookie") != 0 || colon != 10) continue;
        std::string item;
        size_t semicolon = line.find(';');
        if (semicolon == std::string::npos) {
            item = trimBlanks(removeAllNoCase(line, "Set-Cookie:"));
        } else {
            size_t start = line.find("Set-Cookie:") + 11;  // present: the name is exactly Set-Cookie
            size_t end = line.find(';', start);
            item = trimBlanks(std::string_view(line).substr(start, end == std::string::npos ? std::string::npos
                                                                                             : end - start));
        }
        received += item;
        received += "; ";
    }
    if (received.size() >= 2 && received.compare(received.size() - 2, 2, "; ") == 0) received.resize(received.size() - 2);
    return received;
}

void collectSetCookies(const char* responseHeaders, char** receivedCookies) {
    storeText(receivedCookies, collectSetCookies(textOf(responseHeaders)));
}

std::string mergeCookieTexts(std::string_view older, std::string_view newer) {
    std::vector<std::string> newItems = cookieItems(normalised(newer));
    for (const std::string& item : cookieItems(normalised(older))) {
        std::string name = cookieName(item);
        bool known = false;
        for (const std::string& present : newItems) known = known || cookieName(present) == name;
        if (!known) newItems.push_back(item);
    }
    std::string joined;
    for (const std::string& item : newItems) {
        if (isDeleted(item)) continue;
        joined += item;
        joined += "; ";
    }
    joined.resize(joined.size() >= 2 ? joined.size() - 2 : 0);

    std::vector<std::string> kept;
    for (const std::string& item : splitAll(joined, "; ")) {
        bool seen = false;
        for (const std::string& k : kept) seen = seen || k == item;
        if (!seen) kept.push_back(item);
    }
    std::string merged;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) merged += "; ";
        merged += kept[i];
    }
    return merged;
}

void mergeCookieTexts(char** sendCookies, char** receivedCookies) {
    std::string merged = mergeCookieTexts(textOf(sendCookies ? *sendCookies : nullptr),
                                          textOf(receivedCookies ? *receivedCookies : nullptr));
    storeText(sendCookies, merged);
    storeText(receivedCookies, merged);
}

}  // namespace web
