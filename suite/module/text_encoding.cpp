#include "suite/module/text_encoding.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>

namespace srvkit {

namespace {

std::wstring toWide(std::string_view bytes, unsigned codePage, bool& ok) {
    ok = true;
    if (bytes.empty()) return {};
    if (codePage == kUtf16Le || codePage == kUtf16Be) {
        if (bytes.size() % 2) { ok = false; return {}; }
        std::wstring wide(bytes.size() / 2, L'\0');
        for (size_t i = 0; i < wide.size(); ++i) {
            auto lo = static_cast<uint8_t>(bytes[2 * i]), hi = static_cast<uint8_t>(bytes[2 * i + 1]);
            if (codePage == kUtf16Be) std::swap(lo, hi);
            wide[i] = static_cast<wchar_t>(lo | (hi << 8));
        }
        return wide;
    }
    DWORD flags = codePage == kUtf8 ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) { ok = false; return {}; }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return wide;
}

std::string fromWide(const std::wstring& wide, unsigned codePage) {
    if (wide.empty()) return {};
    if (codePage == kUtf16Le || codePage == kUtf16Be) {
        std::string out;
        for (wchar_t c : wide) {
            char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
            if (codePage == kUtf16Be) std::swap(lo, hi);
            out += lo;
            out += hi;
        }
        return out;
    }
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::optional<unsigned> codePageForName(std::string_view name) {
    std::string key;
    for (char c : name)
        if (c != '-' && c != '_' && c != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key.empty()) return std::nullopt;
    if (key.find_first_not_of("0123456789") == std::string::npos) {
        unsigned long page = std::strtoul(key.c_str(), nullptr, 10);
        if (page == kUtf8 || page == kUtf16Le || page == kUtf16Be || IsValidCodePage(page)) return page;
        return std::nullopt;
    }
    struct Alias { const char* name; unsigned page; };
    static const Alias kAliases[] = {
        {"utf8", kUtf8},        {"gbk", 936},       {"gb2312", 936},    {"cp936", 936},
        {"gb18030", 54936},     {"big5", 950},      {"unicode", kUtf16Le}, {"utf16", kUtf16Le},
        {"utf16le", kUtf16Le},  {"ucs2", kUtf16Le}, {"utf16be", kUtf16Be}, {"unicodebigendian", kUtf16Be},
        {"ascii", 20127},       {"usascii", 20127}, {"latin1", 28591},  {"iso88591", 28591},
        {"ansi", CP_ACP},
    };
    for (const Alias& alias : kAliases)
        if (key == alias.name) return alias.page;
    return std::nullopt;
}

std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage) {
    if (codePage == kUtf8) {
        bool ok;
        toWide(bytes, kUtf8, ok);  // validation only
        if (!ok) return std::nullopt;
        return std::string(bytes);
    }
    bool ok;
    std::wstring wide = toWide(bytes, codePage, ok);
    if (!ok) return std::nullopt;
    return fromWide(wide, kUtf8);
}

std::string fromUtf8(std::string_view utf8, unsigned codePage) {
    if (codePage == kUtf8) return std::string(utf8);
    bool ok;
    std::wstring wide = toWide(utf8, kUtf8, ok);
    return fromWide(wide, codePage);
}

}  // namespace srvkit
