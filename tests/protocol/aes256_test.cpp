#include "protocol/aes256.h"

#include <cstring>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>

namespace {

// Our blocks are laid out row by row; the standard's are column by column.
void Transpose(const uint8_t in[16], uint8_t out[16]) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out[4 * i + j] = in[4 * j + i];
        }
    }
}

void OpenSslEncrypt(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    ASSERT_NE(ctx, nullptr);
    int written = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, out, &written, in, 16), 1);
    ASSERT_EQ(written, 16);
    EVP_CIPHER_CTX_free(ctx);
}

TEST(Aes256, Fips197ExampleThroughTheRowLayout) {
    uint8_t key[32];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<uint8_t>(i);
    }
    const uint8_t plain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                               0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    const uint8_t cipher[16] = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                                0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
    Aes256Schedule schedule;
    Aes256ExpandKey(key, schedule);
    // Last round key of the standard's expansion of this key (w[56..59]).
    const uint8_t lastRoundKey[16] = {0x24, 0xfc, 0x79, 0xcc, 0xbf, 0x09, 0x79, 0xe9,
                                      0x37, 0x1a, 0xc2, 0x3c, 0x6d, 0x68, 0xde, 0x36};
    EXPECT_EQ(std::memcmp(schedule.roundKeys + 14 * 16, lastRoundKey, 16), 0);

    uint8_t block[16];
    Transpose(plain, block);
    Aes256EncryptBlock(schedule, block);
    uint8_t expected[16];
    Transpose(cipher, expected);
    EXPECT_EQ(std::memcmp(block, expected, 16), 0);

    Aes256DecryptBlock(schedule, block);
    uint8_t back[16];
    Transpose(plain, back);
    EXPECT_EQ(std::memcmp(block, back, 16), 0);
}

TEST(Aes256, AgreesWithOpenSslOnRandomKeysAndBlocks) {
    std::mt19937 random(20261211);
    for (int trial = 0; trial < 2000; ++trial) {
        uint8_t key[32];
        uint8_t standard[16];
        for (uint8_t& b : key) {
            b = static_cast<uint8_t>(random());
        }
        for (uint8_t& b : standard) {
            b = static_cast<uint8_t>(random());
        }
        uint8_t reference[16];
        OpenSslEncrypt(key, standard, reference);

        Aes256Schedule schedule;
        Aes256ExpandKey(key, schedule);
        uint8_t block[16];
        Transpose(standard, block);
        Aes256EncryptBlock(schedule, block);
        uint8_t ours[16];
        Transpose(block, ours);
        ASSERT_EQ(std::memcmp(ours, reference, 16), 0) << "trial " << trial;

        Aes256DecryptBlock(schedule, block);
        Transpose(block, ours);
        ASSERT_EQ(std::memcmp(ours, standard, 16), 0) << "trial " << trial;
    }
}

} // namespace
