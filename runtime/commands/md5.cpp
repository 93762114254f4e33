#include "runtime/commands/md5.h"

#include <algorithm>
#include <cstring>

namespace rt {

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t load(const uint8_t* p, int i) {
    uint32_t word;
    std::memcpy(&word, p + 4 * i, 4);  // little-endian host
    return word;
}

// The four round functions in their cheapest equivalent forms.
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_G(b, c, d) ((c) ^ ((d) & ((b) ^ (c))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
    a += (x) + (t) + f(b, c, d);          \
    a = rotl(a, s) + (b)
// G split in two independent terms, so the one without b starts early.
#define MD5_STEP_G(a, b, c, d, x, t, s)                  \
    a += (x) + (t) + (~(d) & (c));                       \
    a += (d) & (b);                                      \
    a = rotl(a, s) + (b)

void transform(uint32_t state[4], const uint8_t* blocks, size_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count; --count, blocks += 64) {
        const uint8_t* p = blocks;
        const uint32_t aa = a, bb = b, cc = c, dd = d;
        MD5_STEP(MD5_F, a, b, c, d, load(p, 0), 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, load(p, 1), 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, load(p, 2), 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, load(p, 3), 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, load(p, 4), 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, load(p, 5), 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, load(p, 6), 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, load(p, 7), 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, load(p, 8), 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, load(p, 9), 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, load(p, 10), 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, load(p, 11), 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, load(p, 12), 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, load(p, 13), 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, load(p, 14), 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, load(p, 15), 0x49b40821, 22);

        MD5_STEP_G(a, b, c, d, load(p, 1), 0xf61e2562, 5);
        MD5_STEP_G(d, a, b, c, load(p, 6), 0xc040b340, 9);
        MD5_STEP_G(c, d, a, b, load(p, 11), 0x265e5a51, 14);
        MD5_STEP_G(b, c, d, a, load(p, 0), 0xe9b6c7aa, 20);
        MD5_STEP_G(a, b, c, d, load(p, 5), 0xd62f105d, 5);
        MD5_STEP_G(d, a, b, c, load(p, 10), 0x02441453, 9);
        MD5_STEP_G(c, d, a, b, load(p, 15), 0xd8a1e681, 14);
        MD5_STEP_G(b, c, d, a, load(p, 4), 0xe7d3fbc8, 20);
        MD5_STEP_G(a, b, c, d, load(p, 9), 0x21e1cde6, 5);
        MD5_STEP_G(d, a, b, c, load(p, 14), 0xc33707d6, 9);
        MD5_STEP_G(c, d, a, b, load(p, 3), 0xf4d50d87, 14);
        MD5_STEP_G(b, c, d, a, load(p, 8), 0x455a14ed, 20);
        MD5_STEP_G(a, b, c, d, load(p, 13), 0xa9e3e905, 5);
        MD5_STEP_G(d, a, b, c, load(p, 2), 0xfcefa3f8, 9);
        MD5_STEP_G(c, d, a, b, load(p, 7), 0x676f02d9, 14);
        MD5_STEP_G(b, c, d, a, load(p, 12), 0x8d2a4c8a, 20);

        MD5_STEP(MD5_H, a, b, c, d, load(p, 5), 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, load(p, 8), 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, load(p, 11), 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, load(p, 14), 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, load(p, 1), 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, load(p, 4), 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, load(p, 7), 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, load(p, 10), 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, load(p, 13), 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, load(p, 0), 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, load(p, 3), 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, load(p, 6), 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, load(p, 9), 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, load(p, 12), 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, load(p, 15), 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, load(p, 2), 0xc4ac5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, load(p, 0), 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, load(p, 7), 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, load(p, 14), 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, load(p, 5), 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, load(p, 12), 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, load(p, 3), 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, load(p, 10), 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, load(p, 1), 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, load(p, 8), 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, load(p, 15), 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, load(p, 6), 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, load(p, 13), 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, load(p, 4), 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, load(p, 11), 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, load(p, 2), 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, load(p, 9), 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::update(const void* data, size_t length) {
    auto bytes = static_cast<const uint8_t*>(data);
    length_ += length;
    if (buffered_) {
        size_t take = std::min(length, 64 - buffered_);
        std::memcpy(buffer_ + buffered_, bytes, take);
        buffered_ += take;
        bytes += take;
        length -= take;
        if (buffered_ < 64) return;
        transform(state_, buffer_, 1);
        buffered_ = 0;
    }
    // Whole blocks straight from the caller's memory.
    transform(state_, bytes, length / 64);
    bytes += length / 64 * 64;
    length %= 64;
    std::memcpy(buffer_, bytes, length);
    buffered_ = length;
}

void Md5::finish(uint8_t digest[16]) {
    uint64_t bits = length_ * 8;
    uint8_t padding[72] = {0x80};
    size_t padLength = (buffered_ < 56 ? 56 : 120) - buffered_;
    update(padding, padLength);
    uint8_t lengthBytes[8];
    std::memcpy(lengthBytes, &bits, 8);
    update(lengthBytes, 8);
    std::memcpy(digest, state_, 16);
}

std::string md5HexDigest(const void* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    Md5 md5;
    md5.update(data, length);
    uint8_t digest[16];
    md5.finish(digest);
    std::string hex(32, '0');
    for (int i = 0; i < 16; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

}  // namespace rt
