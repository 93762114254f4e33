// The carried module image: resource layout and LZMA decoding.
#include <gtest/gtest.h>
#include <windows.h>

#include <lzma.h>

#include <fstream>
#include <iterator>

#include "suite/module_image.h"
#include "tests/suite/suite_test_support.h"
#include "tests/support/msgbox_watch.h"

using suite::decodeModuleResource;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(testing_support::widen(path).c_str(), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The layout the packer writes, made here with liblzma's raw encoder.
std::vector<uint8_t> packed(const std::vector<uint8_t>& image) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1u << 24;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    uint8_t properties[5];
    EXPECT_EQ(lzma_properties_encode(filters, properties), LZMA_OK);
    std::vector<uint8_t> stream(image.size() * 2 + 1024);
    lzma_stream encoder = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_raw_encoder(&encoder, filters), LZMA_OK);
    encoder.next_in = image.data();
    encoder.avail_in = image.size();
    encoder.next_out = stream.data();
    encoder.avail_out = stream.size();
    EXPECT_EQ(lzma_code(&encoder, LZMA_FINISH), LZMA_STREAM_END);
    stream.resize(encoder.total_out);
    lzma_end(&encoder);
    std::vector<uint8_t> out;
    putU32(out, 5);
    for (uint8_t property : properties) out.push_back(property);
    putU32(out, static_cast<uint32_t>(image.size()));
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& bytes) { return decodeModuleResource(bytes.data(), bytes.size()); }

}  // namespace

TEST(ModuleImage, TheCarriedResourceDecodesToTheBuiltModule) {
    HMODULE program = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceExA(program, "DLL", "SRVKIT_IDR_DLL", 2052);
    ASSERT_NE(resource, nullptr) << "type DLL, name SRVKIT_IDR_DLL, language 2052";
    auto data = static_cast<const uint8_t*>(LockResource(LoadResource(program, resource)));
    std::vector<uint8_t> bytes(data, data + SizeofResource(program, resource));
    ASSERT_GT(bytes.size(), 13u);
    EXPECT_EQ(bytes[0], 5);
    EXPECT_EQ(bytes[4], 0x5D);
    EXPECT_EQ(bytes[5] | bytes[6] << 8 | bytes[7] << 16 | bytes[8] << 24, 1 << 24);

    std::vector<uint8_t> module = readFile(suite_testing::moduleFilePath());
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(bytes[9] | bytes[10] << 8 | bytes[11] << 16 | bytes[12] << 24, static_cast<int>(module.size()));
    EXPECT_EQ(decode(bytes), module);
    std::optional<std::vector<uint8_t>> image = suite::embeddedModuleImage();
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(*image, module);
}

TEST(ModuleImage, BytesWithoutTheLayoutOrThatDontDecodeAreTheImageAsTheyAre) {
    std::vector<uint8_t> original(5000);
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 7 % 251);
    std::vector<uint8_t> good = packed(original);
    EXPECT_EQ(decode(good), original);

    EXPECT_TRUE(decode({}).empty());
    EXPECT_EQ(decode({1, 2, 3}), (std::vector<uint8_t>{1, 2, 3}));
    std::vector<uint8_t> lengthTooLong = good;
    lengthTooLong[0] = 0xF0;  // the property length runs past the end
    EXPECT_EQ(decode(lengthTooLong), lengthTooLong);
    std::vector<uint8_t> noRoomForSize = {5, 0, 0, 0, 0x5D, 0, 0, 0, 1};
    EXPECT_EQ(decode(noRoomForSize), noRoomForSize);
    std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    EXPECT_EQ(decode(truncated), truncated);
    std::vector<uint8_t> sizeTooLarge = good;
    sizeTooLarge[9] += 1;  // states one byte more than the stream holds
    EXPECT_EQ(decode(sizeTooLarge), sizeTooLarge);
    std::vector<uint8_t> badProperties = good;
    badProperties[4] = 0xFF;
    EXPECT_EQ(decode(badProperties), badProperties);
}
