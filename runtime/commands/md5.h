// MD5 message digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rt {

class Md5 {
public:
    Md5();
    void update(const void* data, size_t length);
    // The 16 digest bytes; the object is spent afterwards.
    void finish(uint8_t digest[16]);

private:
    uint32_t state_[4];
    uint64_t length_ = 0;
    uint8_t buffer_[64];
    size_t buffered_ = 0;
};

// 32 lowercase hexadecimal digits.
std::string md5HexDigest(const void* data, size_t length);

}  // namespace rt
