#include "config/xxtea.h"

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;

uint32_t LoadLe(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t Mx(uint32_t sum, uint32_t y, uint32_t z, size_t p, uint32_t e, const uint32_t (&key)[4]) {
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}

} // namespace

bool XxteaEncipher(uint8_t* data, size_t wordCount, const uint32_t (&key)[4]) {
    if (wordCount < 2) {
        return false;
    }
    const size_t n = wordCount;
    uint32_t rounds = static_cast<uint32_t>(6 + 52 / n);
    uint32_t sum = 0;
    uint32_t z = LoadLe(data + 4 * (n - 1));
    do {
        sum += kDelta;
        const uint32_t e = (sum >> 2) & 3;
        size_t p = 0;
        for (; p < n - 1; ++p) {
            const uint32_t y = LoadLe(data + 4 * (p + 1));
            z = LoadLe(data + 4 * p) + Mx(sum, y, z, p, e, key);
            StoreLe(data + 4 * p, z);
        }
        const uint32_t y = LoadLe(data);
        z = LoadLe(data + 4 * (n - 1)) + Mx(sum, y, z, p, e, key);
        StoreLe(data + 4 * (n - 1), z);
    } while (--rounds);
    return true;
}

bool XxteaDecipher(uint8_t* data, size_t wordCount, const uint32_t (&key)[4]) {
    if (wordCount < 2) {
        return false;
    }
    const size_t n = wordCount;
    uint32_t rounds = static_cast<uint32_t>(6 + 52 / n);
    uint32_t sum = rounds * kDelta;
    uint32_t y = LoadLe(data);
    do {
        const uint32_t e = (sum >> 2) & 3;
        size_t p = n - 1;
        for (; p > 0; --p) {
            const uint32_t z = LoadLe(data + 4 * (p - 1));
            y = LoadLe(data + 4 * p) - Mx(sum, y, z, p, e, key);
            StoreLe(data + 4 * p, y);
        }
        const uint32_t z = LoadLe(data + 4 * (n - 1));
        y = LoadLe(data) - Mx(sum, y, z, p, e, key);
        StoreLe(data, y);
        sum -= kDelta;
    } while (--rounds);
    return true;
}
