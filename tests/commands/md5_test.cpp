// MD5 against the RFC 1321 test suite, through the command and directly
// across block boundaries.
#include <gtest/gtest.h>

#include <string>

#include "runtime/commands/md5.h"
#include "tests/commands/command_test_support.h"

using namespace rt::cmd;

namespace {
std::string digestOf(const std::string& bytes) {
    Bytes data(bytes);
    return str(md5Hex(data.get()));
}
}  // namespace

TEST(Md5Hex, Rfc1321Suite) {
    EXPECT_EQ(digestOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(digestOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(digestOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digestOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(digestOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(digestOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    std::string digits;
    for (int i = 0; i < 8; ++i) digits += "1234567890";
    EXPECT_EQ(digestOf(digits),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Hex, EmptyByteSetIsTheDigestOfZeroBytes) {
    OwnedText digest = md5Hex(nullptr);
    ASSERT_NE(digest, nullptr);
    EXPECT_EQ(str(digest), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5Hex, PaddingBoundariesAndPiecewiseUpdates) {
    // Lengths around the 56-byte padding limit and the 64-byte block, fed
    // whole and in uneven pieces, must agree.
    std::string data;
    for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 7 + 3);
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        std::string whole = rt::md5HexDigest(data.data(), length);
        rt::Md5 md5;
        for (size_t at = 0; at < length; at += 13) md5.update(data.data() + at, std::min<size_t>(13, length - at));
        uint8_t digest[16];
        md5.finish(digest);
        char hex[33];
        for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
        EXPECT_EQ(whole, hex) << length;
        EXPECT_EQ(digestOf(data.substr(0, length)), whole) << length;
    }
    // A known value across a block boundary: 64 "a".
    EXPECT_EQ(digestOf(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}
