#include "config/xxtea.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A published ciphertext of an 11-word block under the key "0123456789ABCDEF" (the key's
// bytes taken as four little-endian words).
TEST(Xxtea, DeciphersAPublishedVector) {
    const uint32_t cipherWords[11] = {0x9d204ce7, 0xc03677f6, 0x320f0555, 0x499c703c,
                                      0x8b8af399, 0x061b6314, 0x7d410085, 0xe65b712c,
                                      0xb7d23609, 0x0270cd59, 0xa23dc8d1};
    uint8_t block[44];
    for (int i = 0; i < 11; ++i) {
        for (int b = 0; b < 4; ++b) {
            block[4 * i + b] = static_cast<uint8_t>(cipherWords[i] >> (8 * b));
        }
    }
    const uint8_t keyText[] = "0123456789ABCDEF";
    uint32_t key[4];
    for (int i = 0; i < 4; ++i) {
        key[i] = static_cast<uint32_t>(keyText[4 * i] | keyText[4 * i + 1] << 8 |
                                       keyText[4 * i + 2] << 16 | keyText[4 * i + 3] << 24);
    }
    uint8_t copy[44];
    std::memcpy(copy, block, sizeof copy);
    ASSERT_TRUE(XxteaDecipher(block, 11, key));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 44),
              std::string("All work and no play makes Jack a dull boy.\0", 44));
    ASSERT_TRUE(XxteaEncipher(block, 11, key));
    EXPECT_EQ(std::memcmp(block, copy, sizeof copy), 0);
}

TEST(Xxtea, RoundTripsAndRefusesFewerThanTwoWords) {
    const uint32_t key[4] = {1, 2, 3, 4};
    for (size_t words : {2u, 4u, 13u, 16384u}) {
        std::vector<uint8_t> data(words * 4);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i * 13);
        }
        const auto plain = data;
        ASSERT_TRUE(XxteaEncipher(data.data(), words, key));
        EXPECT_NE(data, plain);
        ASSERT_TRUE(XxteaDecipher(data.data(), words, key));
        EXPECT_EQ(data, plain);
    }
    uint8_t one[4] = {1, 2, 3, 4};
    EXPECT_FALSE(XxteaEncipher(one, 1, key));
    EXPECT_FALSE(XxteaDecipher(one, 1, key));
    EXPECT_FALSE(XxteaDecipher(one, 0, key));
    EXPECT_EQ(one[0], 1);
}

} // namespace
