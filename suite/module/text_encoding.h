// Conversions between the runtime's text encoding (code page 936), named
// source encodings and the UTF-8 the JSON parser works in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srvkit {

// Code page of the runtime's texts: the program's literals are GBK whatever
// the system's ANSI code page is.
constexpr unsigned kRuntimeCodePage = 936;
constexpr unsigned kUtf16Le = 1200;
constexpr unsigned kUtf16Be = 1201;
constexpr unsigned kUtf8 = 65001;

// "utf-8", "GBK", "unicode", "936", ... ; nothing for an unknown name.
std::optional<unsigned> codePageForName(std::string_view name);

// Bytes in a code page (UTF-16 pages included) to UTF-8; nothing when the
// bytes aren't valid in that page.
std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage);
// UTF-8 to bytes in a code page; characters the page lacks become '?'.
std::string fromUtf8(std::string_view utf8, unsigned codePage);

}  // namespace srvkit
