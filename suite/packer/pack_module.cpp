// Host build tool: packs the suite module into the program's resource
// layout: u32 property length (5), the LZMA properties (0x5D, 16 MiB
// dictionary), u32 unpacked size, then the raw LZMA1 stream.
//   pack_module INPUT OUTPUT
#include <lzma.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool pack(const std::vector<uint8_t>& image, std::vector<uint8_t>& out) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) return false;
    options.dict_size = 1u << 24;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    uint8_t* properties = nullptr;
    uint32_t propertySize = 0;
    if (lzma_properties_size(&propertySize, filters) != LZMA_OK || propertySize != 5) return false;
    std::vector<uint8_t> propertyBytes(propertySize);
    properties = propertyBytes.data();
    if (lzma_properties_encode(filters, properties) != LZMA_OK) return false;

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK) return false;
    std::vector<uint8_t> packed(image.size() + image.size() / 2 + 65536);
    stream.next_in = image.data();
    stream.avail_in = image.size();
    stream.next_out = packed.data();
    stream.avail_out = packed.size();
    lzma_ret result;
    do {
        result = lzma_code(&stream, LZMA_FINISH);
    } while (result == LZMA_OK && stream.avail_out > 0);
    size_t packedSize = stream.total_out;
    lzma_end(&stream);
    if (result != LZMA_STREAM_END) return false;

    putU32(out, propertySize);
    out.insert(out.end(), propertyBytes.begin(), propertyBytes.end());
    putU32(out, static_cast<uint32_t>(image.size()));
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pack_module INPUT OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "pack_module: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> out;
    if (!pack(image, out)) {
        std::fprintf(stderr, "pack_module: compression failed\n");
        return 1;
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) {
        std::fprintf(stderr, "pack_module: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("pack_module: %zu bytes packed to %zu\n", image.size(), out.size());
    return 0;
}
