#include "runtime/commands/md5.h"

#include <algorithm>
#include <cstring>

#include "runtime/unaligned_word.h"

namespace rt {

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

constexpr int kRounds = 4;
constexpr int kStepsPerRound = 16;
constexpr int kWordsPerBlock = 16;

// The additive constant of each of the 64 steps (RFC 1321's table T).
constexpr uint32_t kStepConstant[kRounds * kStepsPerRound] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
// Each round rotates by its four amounts in turn.
constexpr int kRotation[kRounds][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
// Step i of round r reads message word (kFirstWord[r] + kWordStride[r] * i) mod 16.
constexpr int kFirstWord[kRounds] = {0, 1, 5, 0};
constexpr int kWordStride[kRounds] = {1, 5, 3, 7};

// The four round functions in their cheapest equivalent forms, each added
// to `sum` (a, the message word and the step's constant).
inline uint32_t mixF(uint32_t sum, uint32_t b, uint32_t c, uint32_t d) { return sum + (d ^ (b & (c ^ d))); }
// G as two independent terms, so the one without b starts early.
inline uint32_t mixG(uint32_t sum, uint32_t b, uint32_t c, uint32_t d) { return sum + (~d & c) + (d & b); }
inline uint32_t mixH(uint32_t sum, uint32_t b, uint32_t c, uint32_t d) { return sum + (b ^ c ^ d); }
inline uint32_t mixI(uint32_t sum, uint32_t b, uint32_t c, uint32_t d) { return sum + (c ^ (b | ~d)); }

// Step `Step` of round `Round` on the block's words `p`: a takes in its
// word and constant, mixed with b, c and d, rotated and added to b.
template <int Round, auto Mix, int Step>
inline void step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, const uint8_t* p) {
    constexpr int word = (kFirstWord[Round] + kWordStride[Round] * Step) % kWordsPerBlock;
    constexpr uint32_t constant = kStepConstant[Round * kStepsPerRound + Step];
    uint32_t x = loadWord(p + sizeof(uint32_t) * word);
    a = rotl(Mix(a + x + constant, b, c, d), kRotation[Round][Step % 4]) + b;
}

// Four steps from `First` on: the roles of a, b, c and d turn by one each
// step, so after four they are back in place.
template <int Round, auto Mix, int First>
inline void fourSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint8_t* p) {
    step<Round, Mix, First>(a, b, c, d, p);
    step<Round, Mix, First + 1>(d, a, b, c, p);
    step<Round, Mix, First + 2>(c, d, a, b, p);
    step<Round, Mix, First + 3>(b, c, d, a, p);
}

// The 16 steps of one round, unrolled at compile time so that every word
// index, constant and rotation is an immediate.
template <int Round, auto Mix>
inline void round(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint8_t* p) {
    fourSteps<Round, Mix, 0>(a, b, c, d, p);
    fourSteps<Round, Mix, 4>(a, b, c, d, p);
    fourSteps<Round, Mix, 8>(a, b, c, d, p);
    fourSteps<Round, Mix, 12>(a, b, c, d, p);
}

// Runs `count` consecutive 64-byte blocks through the compression function.
// Out of line: inlined into both calls of update it would double the code
// for no gain in speed.
[[gnu::noinline]] void transform(uint32_t state[4], const uint8_t* blocks, size_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count; --count, blocks += 64) {
        const uint32_t aa = a, bb = b, cc = c, dd = d;
        round<0, mixF>(a, b, c, d, blocks);
        round<1, mixG>(a, b, c, d, blocks);
        round<2, mixH>(a, b, c, d, blocks);
        round<3, mixI>(a, b, c, d, blocks);
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
