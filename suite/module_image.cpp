#include "suite/module_image.h"

#include <windows.h>

#include <lzma.h>

#include <cstdlib>

#include "runtime/unaligned_word.h"

namespace suite {

namespace {

constexpr WORD kResourceLanguage = 2052;  // Chinese (Simplified, PRC)
constexpr uint32_t kLargestImage = 512u << 20;

bool decodeLzma(const uint8_t* properties, uint32_t propertySize, const uint8_t* stream, size_t streamSize,
                std::vector<uint8_t>& image) {
    lzma_filter filter{LZMA_FILTER_LZMA1EXT, nullptr};
    if (lzma_properties_decode(&filter, nullptr, properties, propertySize) != LZMA_OK) return false;
    auto options = static_cast<lzma_options_lzma*>(filter.options);
    // The size is stated; an end marker after it is allowed.
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options->ext_size_low = static_cast<uint32_t>(image.size());
    options->ext_size_high = 0;
    lzma_filter filters[2] = {filter, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream decoder = LZMA_STREAM_INIT;
    lzma_ret result = lzma_raw_decoder(&decoder, filters);
    free(filter.options);
    if (result != LZMA_OK) return false;
    decoder.next_in = stream;
    decoder.avail_in = streamSize;
    decoder.next_out = image.data();
    decoder.avail_out = image.size();
    do {
        result = lzma_code(&decoder, LZMA_FINISH);
    } while (result == LZMA_OK);
    bool complete = result == LZMA_STREAM_END && decoder.total_out == image.size();
    lzma_end(&decoder);
    return complete;
}

}  // namespace

std::vector<uint8_t> decodeModuleResource(const uint8_t* data, size_t size) {
    std::vector<uint8_t> raw(data, data + size);
    if (size < 4) return raw;
    uint32_t propertySize = rt::loadWord(data);
    if (propertySize > size - 4 || size - 4 - propertySize < 4) return raw;
    uint32_t unpackedSize = rt::loadWord(data + 4 + propertySize);
    size_t streamOffset = 8 + size_t{propertySize};
    if (unpackedSize == 0 || unpackedSize > kLargestImage) return raw;
    try {
        std::vector<uint8_t> image(unpackedSize);
        if (decodeLzma(data + 4, propertySize, data + streamOffset, size - streamOffset, image)) return image;
    } catch (const std::bad_alloc&) {
    }
    return raw;
}

std::optional<std::vector<uint8_t>> embeddedModuleImage() {
    HMODULE program = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceExA(program, "DLL", "SRVKIT_IDR_DLL", kResourceLanguage);
    if (!resource) resource = FindResourceA(program, "SRVKIT_IDR_DLL", "DLL");
    if (!resource) return std::nullopt;
    HGLOBAL loaded = LoadResource(program, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(program, resource);
    if (!data) return std::vector<uint8_t>{};
    return decodeModuleResource(static_cast<const uint8_t*>(data), size);
}

}  // namespace suite
