#include "package/md5.h"

#include <cstring>

namespace {

constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(abs(sin(i + 1)) * 2^32), the table T of RFC 1321.
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t value, uint32_t count) {
    return (value << count) | (value >> (32 - count));
}

} // namespace

cMD5::~cMD5() {
    delete[] owned_;
}

void cMD5::Init() {
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    bitCount_[0] = 0;
    bitCount_[1] = 0;
    std::memset(buffer_, 0, sizeof buffer_);
}

void cMD5::Transform(const uint8_t block[64]) {
    uint32_t words[16];
    for (int i = 0; i < 16; ++i) {
        words[i] = static_cast<uint32_t>(block[i * 4]) |
                   (static_cast<uint32_t>(block[i * 4 + 1]) << 8) |
                   (static_cast<uint32_t>(block[i * 4 + 2]) << 16) |
                   (static_cast<uint32_t>(block[i * 4 + 3]) << 24);
    }
    uint32_t a = state_[0];
    uint32_t b = state_[1];
    uint32_t c = state_[2];
    uint32_t d = state_[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t f;
        uint32_t g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = d;
        d = c;
        c = b;
        b = b + RotateLeft(a + f + kSines[i] + words[g], kShifts[i]);
        a = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void cMD5::Update(const uint8_t* bytes, size_t count) {
    size_t used = (bitCount_[0] >> 3) & 0x3F;
    const uint64_t bits = (static_cast<uint64_t>(bitCount_[1]) << 32 | bitCount_[0]) +
                          static_cast<uint64_t>(count) * 8;
    bitCount_[0] = static_cast<uint32_t>(bits);
    bitCount_[1] = static_cast<uint32_t>(bits >> 32);
    while (count > 0) {
        const size_t take = count < 64 - used ? count : 64 - used;
        std::memcpy(buffer_ + used, bytes, take);
        used += take;
        bytes += take;
        count -= take;
        if (used == 64) {
            Transform(buffer_);
            used = 0;
        }
    }
}

void cMD5::Final(uint8_t digest[16]) {
    size_t used = (bitCount_[0] >> 3) & 0x3F;
    const uint32_t low = bitCount_[0];
    const uint32_t high = bitCount_[1];
    buffer_[used++] = 0x80;
    if (used > 56) {
        std::memset(buffer_ + used, 0, 64 - used);
        Transform(buffer_);
        used = 0;
    }
    std::memset(buffer_ + used, 0, 56 - used);
    for (int i = 0; i < 4; ++i) {
        buffer_[56 + i] = static_cast<uint8_t>(low >> (8 * i));
        buffer_[60 + i] = static_cast<uint8_t>(high >> (8 * i));
    }
    Transform(buffer_);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[i * 4 + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
        }
    }
    std::memset(state_, 0, sizeof state_);
    std::memset(bitCount_, 0, sizeof bitCount_);
    std::memset(buffer_, 0, sizeof buffer_);
}

const char* cMD5::DigestString(const char* text) {
    if (!text) {
        return nullptr;
    }
    static const char* const hex = "0123456789abcdef";
    Init();
    Update(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    uint8_t digest[16];
    Final(digest);
    for (int i = 0; i < 16; ++i) {
        result_[i * 2] = hex[digest[i] >> 4];
        result_[i * 2 + 1] = hex[digest[i] & 0x0F];
    }
    result_[32] = '\0';
    return result_;
}
