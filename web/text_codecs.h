// Conversions between the local code page 936, UTF-16, UTF-8, Base64 and
// percent-encoded URLs. Every result is a new runtime-heap value (space
// obtained from rtAlloc; the caller frees it); nullptr is the empty text or
// byte set.
#pragma once

#include <cstdint>

#include "web/optional.h"

namespace web {

constexpr uint32_t kLocalCodePage = 936;
constexpr uint32_t kUtf8CodePage = 65001;

// RFC 4648 Base64, "=" padding, no line breaks.
char* base64Encode(const uint8_t* byteSet);

// Percent-encodes a text for a URL: "-", ".", digits and letters stay (and
// ' ( ) * with keepMarks), a blank becomes "+", other bytes "%XX". With
// utf8 the text is first converted to UTF-8. Zero bytes are dropped.
char* urlEncode(char** text, Opt<int32_t> keepMarks = {}, Opt<int32_t> utf8 = {});

// Multibyte bytes -> UTF-16LE byte set including the terminating zero unit.
uint8_t* toWide(const uint8_t* byteSet, uint32_t codePage);
// UTF-16LE byte set -> multibyte byte set without terminator.
uint8_t* fromWide(const uint8_t* wideByteSet, uint32_t codePage);

char* utf8ToLocalText(const uint8_t* utf8ByteSet);
uint8_t* localTextToUtf8(const char* text);

}  // namespace web
