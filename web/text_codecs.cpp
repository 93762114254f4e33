#include "web/text_codecs.h"

#include <cstring>
#include <vector>

#include "runtime/address_word.h"
#include "runtime/commands/commands.h"
#include "runtime/dll_commands.h"
#include "runtime/heap.h"

namespace web {

using rt::callDll;
using rt::Cdecl;
using rt::Stdcall;
using rt::wordOf;
using rt::cmd::OwnedBytes;

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool passesThrough(uint8_t byte, bool keepMarks) {
    if (byte == '-' || byte == '.') return true;
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) return true;
    return keepMarks && byte >= 0x27 && byte <= 0x2A;
}

}  // namespace

char* base64Encode(const uint8_t* byteSet) {
    uint32_t length = rt::byteSetLength(byteSet);
    if (length == 0) return nullptr;
    const uint8_t* data = rt::byteSetData(byteSet);
    std::vector<uint8_t> padded(data, data + length);
    padded.resize((length + 2) / 3 * 3, 0);
    std::vector<char> out;
    out.reserve(padded.size() / 3 * 4);
    for (size_t i = 0; i < padded.size(); i += 3) {
        uint32_t group = (uint32_t(padded[i]) << 16) | (uint32_t(padded[i + 1]) << 8) | padded[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kBase64Alphabet[(group >> shift) & 0x3F]);
    }
    if (length % 3 == 2) out.back() = '=';
    if (length % 3 == 1) out[out.size() - 1] = out[out.size() - 2] = '=';
    return rt::makeText(out.data(), out.size());
}

char* urlEncode(char** text, Opt<int32_t> keepMarks, Opt<int32_t> utf8) {
    const char* source = text ? *text : nullptr;
    OwnedBytes utf8Bytes;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source);
    size_t length = rt::textLength(source);
    if (utf8.value) {
        utf8Bytes.reset(localTextToUtf8(source));
        bytes = rt::byteSetData(utf8Bytes.get());
        length = rt::byteSetLength(utf8Bytes.get());
    }
    std::vector<char> out(3 * length + 1, 0);
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        uint8_t byte = bytes[i];
        if (byte == 0) continue;
        if (passesThrough(byte, keepMarks.value != 0)) {
            out[at++] = static_cast<char>(byte);
        } else if (byte == ' ') {
            out[at++] = '+';
        } else {
            static const char kFormat[] = "%%%02X";
            callDll<int, Cdecl>(rt::kDllSprintf, wordOf(&out[at]), wordOf(kFormat), uint32_t(byte));
            at += 3;
        }
    }
    return rt::makeText(out.data());
}

uint8_t* toWide(const uint8_t* byteSet, uint32_t codePage) {
    uint32_t length = rt::byteSetLength(byteSet);
    std::vector<char> data(length + 1, 0);
    if (length) std::memcpy(data.data(), rt::byteSetData(byteSet), length);
    if (callDll<uint32_t, Cdecl>(rt::kDllStrlen, wordOf(data.data())) == 0) return nullptr;
    int units = callDll<int, Stdcall>(rt::kDllMultiByteToWideChar, codePage, 0u, wordOf(data.data()), -1, 0u, 0);
    if (units <= 0) return nullptr;
    std::vector<uint8_t> wide(2 * static_cast<size_t>(units), 0);
    callDll<int, Stdcall>(rt::kDllMultiByteToWideChar, codePage, 0u, wordOf(data.data()), -1,
                          wordOf(wide.data()), units);
    return rt::makeByteSet(wide.data(), wide.size());
}

uint8_t* fromWide(const uint8_t* wideByteSet, uint32_t codePage) {
    uint32_t length = rt::byteSetLength(wideByteSet);
    // Two zero bytes more, and even alignment for the code units.
    std::vector<uint16_t> data(length / 2 + 2, 0);
    if (length) std::memcpy(data.data(), rt::byteSetData(wideByteSet), length);
    if (callDll<int, Stdcall>(rt::kDllLstrlenW, wordOf(data.data())) == 0) return nullptr;
    int bytes = callDll<int, Stdcall>(rt::kDllWideCharToMultiByte, codePage, 0u, wordOf(data.data()), -1, 0u, 0,
                                      0u, 0u);
    if (bytes <= 0) return nullptr;
    std::vector<char> out(static_cast<size_t>(bytes), 0);
    callDll<int, Stdcall>(rt::kDllWideCharToMultiByte, codePage, 0u, wordOf(data.data()), -1,
                          wordOf(out.data()), bytes, 0u, 0u);
    out.push_back(0);  // the measure below must stop inside the buffer
    uint32_t used = callDll<uint32_t, Cdecl>(rt::kDllStrlen, wordOf(out.data()));
    return rt::makeByteSet(out.data(), used);
}

char* utf8ToLocalText(const uint8_t* utf8ByteSet) {
    const OwnedBytes wide(toWide(utf8ByteSet, kUtf8CodePage));
    const OwnedBytes local(fromWide(wide.get(), kLocalCodePage));
    const uint32_t length = rt::byteSetLength(local.get());
    if (length == 0) return nullptr;
    const char* bytes = reinterpret_cast<const char*>(rt::byteSetData(local.get()));
    return rt::makeText(bytes, strnlen(bytes, length));
}

uint8_t* localTextToUtf8(const char* text) {
    const OwnedBytes bytes(rt::makeByteSet(text, rt::textLength(text)));
    const OwnedBytes wide(toWide(bytes.get(), kLocalCodePage));
    return fromWide(wide.get(), kUtf8CodePage);
}

}  // namespace web
