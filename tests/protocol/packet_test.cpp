#include "platform/clock.h"
#include "protocol/crc16.h"
#include "protocol/packet.h"

#include <cstring>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <vector>

namespace {

const uint8_t kIp[4] = {198, 51, 100, 7};
const uint8_t kMac[6] = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f};
const char16_t kGroup[] = u"Rack Row 4";

// Holds the clock on one second for the life of the object.
uint32_t gFixedSecond = 0;
uint32_t FixedSecond() {
    return gFixedSecond;
}
struct FixedClock {
    explicit FixedClock(uint32_t second) {
        gFixedSecond = second;
        previous = platform::SetTimeSource(&FixedSecond);
    }
    ~FixedClock() { platform::SetTimeSource(previous); }
    platform::TimeSource previous;
};

void RestampOuterCrc(std::vector<uint8_t>& packet) {
    const size_t length = static_cast<size_t>((packet[14] << 8) | packet[15]);
    const uint16_t crc = Crc16(packet.data() + 2, length + 14);
    packet[0] = static_cast<uint8_t>(crc & 0xFF);
    packet[1] = static_cast<uint8_t>(crc >> 8);
}

std::vector<uint8_t> Build(uint8_t flags, const std::vector<uint8_t>& body,
                           const char16_t* name = kGroup, uint8_t subCommand = 6) {
    std::vector<uint8_t> out(2100, 0xEE);
    const size_t length = BuildPacket(kIp, kMac, name, out.data(), out.size(), flags, 1, subCommand,
                                      body.empty() ? nullptr : body.data(), body.size());
    out.resize(length);
    return out;
}

size_t Parse(std::vector<uint8_t> packet, uint16_t* length = nullptr, const char16_t* name = kGroup,
             size_t received = SIZE_MAX) {
    uint16_t scratch = 0;
    return ParsePacket(packet.data(), received == SIZE_MAX ? packet.size() : received, kMac, name,
                       nullptr, length ? length : &scratch);
}

// The standard AES-256 of OpenSSL applied to a row-laid-out block.
void ReferenceEncipher(const uint8_t key[32], uint8_t block[16]) {
    uint8_t in[16];
    uint8_t out[16];
    for (int i = 0; i < 16; ++i) {
        in[4 * (i % 4) + i / 4] = block[i];
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int written = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, out, &written, in, 16);
    EVP_CIPHER_CTX_free(ctx);
    for (int i = 0; i < 16; ++i) {
        block[i] = out[4 * (i % 4) + i / 4];
    }
}

TEST(Packet, PlainPacketWithoutBodyIsEighteenLiteralBytes) {
    uint8_t out[18];
    ASSERT_EQ(BuildPacket(kIp, kMac, kGroup, out, sizeof out, kStationFlags | kCipherPlain, 1, 1,
                          nullptr, 0),
              18u);
    const uint8_t expected[18] = {0,       0,       0x2C,   0x10,   198,     51,
                                  100,     7,       out[8], out[9], out[10], out[11],
                                  out[12], out[13], 0x00,   0x02,   0x01,    0x01};
    EXPECT_EQ(std::memcmp(out + 2, expected + 2, 16), 0);
    const uint16_t crc = Crc16(out + 2, 16);
    EXPECT_EQ(out[0], crc & 0xFF);
    EXPECT_EQ(out[1], crc >> 8);
    // Too small by one byte: refused without writing.
    uint8_t small[17];
    std::memset(small, 0xAB, sizeof small);
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, small, sizeof small, 0x2C, 1, 1, nullptr, 0), 0u);
    EXPECT_EQ(small[0], 0xAB);
}

// The whole enciphered packet reconstructed from the published key constants and an
// independent AES: key material of selector 0x0C is "lSuNsEtS".
TEST(Packet, EncipheredPacketMatchesIndependentConstruction) {
    const std::vector<uint8_t> body(kMac, kMac + 6);
    std::vector<uint8_t> packet = Build(0x2D, body);
    ASSERT_EQ(packet.size(), 38u);
    EXPECT_EQ(packet[2], 0x2D);
    EXPECT_EQ(packet[3], 0x10);
    EXPECT_EQ(packet[14], 0);
    EXPECT_EQ(packet[15], 22);
    EXPECT_EQ(packet[19] & 0x0F, 8); // P = 8

    const char* material = "lSuNsEtS";
    uint8_t key[32];
    for (int i = 0; i < 8; ++i) {
        key[i] = static_cast<uint8_t>(~material[7 - i]);
    }
    const uint8_t first[8] = {0x6e, 0x13, 0xa9, 0x25, 0xd0, 0x7f, 0x84, 0xcb};
    const uint8_t second[12] = {0xb5, 0x2c, 0x68, 0xf1, 0x9d, 0x40,
                                0xe7, 0x1a, 0x53, 0xc8, 0x36, 0x8e};
    std::memcpy(key + 8, first, 8);
    std::memcpy(key + 16, second, 12);
    std::memcpy(key + 28, packet.data() + 16, 4);

    uint8_t plain[16] = {1, 6, 0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f};
    const uint16_t innerCrc = Crc16(plain, 8);
    EXPECT_EQ(packet[20], innerCrc & 0xFF);
    EXPECT_EQ(packet[21], innerCrc >> 8);
    // Padding carries no meaning on the wire; this builder zero-fills it.
    ReferenceEncipher(key, plain);
    EXPECT_EQ(std::memcmp(plain, packet.data() + 22, 16), 0);
    EXPECT_EQ(Crc16(packet.data() + 2, 36), packet[0] | (packet[1] << 8));
}

TEST(Packet, RoundTripsEveryKeySelectorAndPlaintextLength) {
    struct Case {
        size_t body;
        size_t packetLength;
        int nonceBits;
    } cases[] = {
        {0, 38, 2},    // P = 2, one block
        {14, 38, 0},   // P = 16: bits 0000 and still 16 back, not 0
        {15, 54, 1},   // P = 17: two blocks
        {164, 198, 6}, // a discovery reply's size
    };
    for (uint8_t selector : {kKeyFromMac, kKeyFromName, kKeyFixedFirst, kKeyFixedLast}) {
        for (const Case& c : cases) {
            std::vector<uint8_t> body(c.body);
            for (size_t i = 0; i < body.size(); ++i) {
                body[i] = static_cast<uint8_t>(i * 37 + selector);
            }
            const uint8_t flags = static_cast<uint8_t>(kTypeStation | selector | kCipherAes);
            std::vector<uint8_t> packet = Build(flags, body);
            ASSERT_EQ(packet.size(), c.packetLength) << c.body;
            EXPECT_EQ(packet[19] & 0x0F, c.nonceBits) << c.body;
            uint8_t source[4] = {};
            uint16_t length = 0;
            ASSERT_EQ(ParsePacket(packet.data(), packet.size(), kMac, kGroup, source, &length), 22u)
                << "selector " << int(selector) << " body " << c.body;
            EXPECT_EQ(length, c.body + 2);
            EXPECT_EQ(std::memcmp(source, kIp, 4), 0);
            EXPECT_EQ(packet[22], 1);
            EXPECT_EQ(packet[23], 6);
            EXPECT_TRUE(body.empty() || std::memcmp(packet.data() + 24, body.data(), c.body) == 0);
        }
    }
}

TEST(Packet, WrongKeyMaterialIsRefusedByTheInnerCrc) {
    std::vector<uint8_t> body(40, 0x5A);
    std::vector<uint8_t> byName = Build(kTypeStation | kKeyFromName | kCipherAes, body);
    EXPECT_EQ(Parse(byName, nullptr, u"Rack Row 5"), 0u);
    EXPECT_EQ(Parse(byName, nullptr, kGroup), 22u);

    std::vector<uint8_t> byMac = Build(kTypeStation | kKeyFromMac | kCipherAes, body);
    std::vector<uint8_t> copy = byMac;
    uint16_t length = 0;
    const uint8_t otherMac[6] = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x60};
    EXPECT_EQ(ParsePacket(copy.data(), copy.size(), otherMac, kGroup, nullptr, &length), 0u);
}

TEST(Packet, DestinationTypeDecidesWhetherPacketIsExamined) {
    const std::vector<uint8_t> body(6, 1);
    for (uint8_t destination : {uint8_t{0x10}, uint8_t{0x70}, uint8_t{0x20}, uint8_t{0x30}}) {
        std::vector<uint8_t> packet = Build(static_cast<uint8_t>(destination | 0x0C | 1), body);
        const bool accepted = destination == 0x10 || destination == 0x70;
        EXPECT_EQ(Parse(packet) != 0, accepted) << int(destination);
    }
}

TEST(Packet, CipherModesTwoAndThreeAreRefusedBothWays) {
    uint8_t out[64];
    for (uint8_t mode : {uint8_t{2}, uint8_t{3}}) {
        EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out, sizeof out, 0x1C | mode, 1, 1, nullptr, 0),
                  0u);
        std::vector<uint8_t> packet = Build(0x1C, {1, 2, 3});
        packet[2] = static_cast<uint8_t>(0x1C | mode);
        RestampOuterCrc(packet);
        EXPECT_EQ(Parse(packet), 0u);
    }
}

TEST(Packet, LengthFieldOutOfRangeOrBeyondTheDatagramIsRefused) {
    std::vector<uint8_t> plain = Build(0x1C, {9, 9, 9});
    ASSERT_EQ(Parse(plain), 16u);
    EXPECT_EQ(Parse(plain, nullptr, kGroup, plain.size() - 1), 0u);

    std::vector<uint8_t> zero = plain;
    zero[14] = 0;
    zero[15] = 0;
    RestampOuterCrc(zero);
    EXPECT_EQ(Parse(zero), 0u);

    std::vector<uint8_t> big(16 + 2048, 0);
    big[2] = 0x1C;
    big[14] = 0x08;
    big[15] = 0x00;
    RestampOuterCrc(big);
    EXPECT_EQ(Parse(big), 0u);
    big[15] = 0x00;
    big[14] = 0x07;
    big[15] = 0xFF; // 2047 is the largest accepted
    big.resize(16 + 2047);
    RestampOuterCrc(big);
    EXPECT_EQ(Parse(big), 16u);

    EXPECT_EQ(Parse(std::vector<uint8_t>(10, 0)), 0u);
}

TEST(Packet, AnyFlippedByteFromOffsetTwoIsRefused) {
    std::vector<uint8_t> body(30);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i);
    }
    for (uint8_t flags : {uint8_t{0x1C}, uint8_t{0x1D}}) {
        const std::vector<uint8_t> good = Build(flags, body);
        for (size_t at = 2; at < good.size(); ++at) {
            for (uint8_t mask : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
                std::vector<uint8_t> bad = good;
                bad[at] ^= mask;
                EXPECT_EQ(Parse(bad), 0u) << "offset " << at << " mask " << int(mask);
            }
        }
    }
}

TEST(Packet, InnerCrcMismatchUnderGoodOuterCrcIsRefused) {
    std::vector<uint8_t> packet = Build(0x1D, {1, 2, 3, 4});
    packet[20] ^= 0x01;
    RestampOuterCrc(packet);
    EXPECT_EQ(Parse(packet), 0u);
}

// The cipher text of an enciphered packet must be whole blocks; anything else is refused
// without touching bytes beyond the datagram (the vector holds exactly 16 + L bytes, so
// the address sanitizer sees any overrun).
TEST(Packet, EncipheredLengthThatIsNotWholeBlocksIsRefused) {
    for (size_t length : {1u, 5u, 6u, 7u, 21u, 23u, 37u, 2047u}) {
        std::vector<uint8_t> packet(16 + length, 0x11);
        packet[2] = 0x1D;
        packet[14] = static_cast<uint8_t>(length >> 8);
        packet[15] = static_cast<uint8_t>(length & 0xFF);
        RestampOuterCrc(packet);
        EXPECT_EQ(Parse(packet), 0u) << length;
    }
}

TEST(Packet, NameKeyMaterialUsesAtMostThirtyTwoUnits) {
    uint8_t material[8];
    PacketKeyMaterial(kKeyFromName, kMac, u"", material);
    const uint8_t zeros[8] = {};
    EXPECT_EQ(std::memcmp(material, zeros, 8), 0);
    PacketKeyMaterial(kKeyFromName, kMac, nullptr, material);
    EXPECT_EQ(std::memcmp(material, zeros, 8), 0);

    char16_t forty[41] = {};
    for (int i = 0; i < 40; ++i) {
        forty[i] = static_cast<char16_t>(u'A' + i % 26);
    }
    char16_t thirtyTwo[33] = {};
    std::memcpy(thirtyTwo, forty, 32 * sizeof(char16_t));
    uint8_t cut[8];
    PacketKeyMaterial(kKeyFromName, kMac, forty, material);
    PacketKeyMaterial(kKeyFromName, kMac, thirtyTwo, cut);
    EXPECT_EQ(std::memcmp(material, cut, 8), 0);

    // Quarter k of the 64 little-endian bytes gives material bytes 2k, 2k+1.
    uint8_t bytes[64] = {};
    for (int i = 0; i < 32; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(forty[i]);
    }
    for (int k = 0; k < 4; ++k) {
        const uint16_t crc = Crc16(bytes + 16 * k, 16);
        EXPECT_EQ(material[2 * k], crc & 0xFF);
        EXPECT_EQ(material[2 * k + 1], crc >> 8);
    }

    // An empty name keys like a zero MAC: both give eight zero bytes of material.
    std::vector<uint8_t> packet = Build(kTypeStation | kKeyFromName | 1, {7}, u"");
    const uint8_t zeroMac[6] = {};
    uint16_t length = 0;
    std::vector<uint8_t> copy = packet;
    copy[2] = kTypeStation | kKeyFromMac | 1;
    RestampOuterCrc(copy);
    EXPECT_EQ(ParsePacket(copy.data(), copy.size(), zeroMac, nullptr, nullptr, &length), 22u);
    // The fixed selectors take the two halves of the fixed text.
    PacketKeyMaterial(kKeyFixedFirst, nullptr, nullptr, material);
    EXPECT_EQ(std::memcmp(material, "bRiCkWaL", 8), 0);
}

TEST(Packet, PacketsOfOneSecondShareTheirNonceButItsLengthBits) {
    FixedClock clock(1765400000);
    const std::vector<uint8_t> a = Build(0x2D, {1, 2, 3});
    const std::vector<uint8_t> b = Build(0x2D, std::vector<uint8_t>(9, 4));
    EXPECT_EQ(std::memcmp(a.data() + 16, b.data() + 16, 3), 0);
    EXPECT_EQ(a[19] & 0xF0, b[19] & 0xF0);
    EXPECT_EQ(a[19] & 0x0F, 5);
    EXPECT_EQ(b[19] & 0x0F, 11);
    gFixedSecond += 1;
    const std::vector<uint8_t> c = Build(0x2D, {1, 2, 3});
    EXPECT_NE(std::memcmp(a.data() + 16, c.data() + 16, 4), 0);
}

TEST(Packet, CapacityAndPayloadLimitsRefuseBuilding) {
    std::vector<uint8_t> body(2000, 3);
    std::vector<uint8_t> out(4096);
    // 2002 bytes of plaintext make 126 blocks: L = 2022, 2038 bytes in all.
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out.data(), 2038, 0x2D, 1, 9, body.data(), 2000),
              2038u);
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out.data(), 2037, 0x2D, 1, 9, body.data(), 2000), 0u);
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out.data(), 260, 0x2D, 1, 9, body.data(), 300), 0u);
    // A payload above 2047 bytes could never be opened.
    body.resize(2046);
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out.data(), out.size(), 0x2C, 1, 9, body.data(), 2045),
              2063u);
    EXPECT_EQ(BuildPacket(kIp, kMac, kGroup, out.data(), out.size(), 0x2C, 1, 9, body.data(), 2046),
              0u);
}

TEST(Packet, CipherBlocksRefusesUnknownDirection) {
    uint8_t material[8] = {};
    uint8_t nonce[4] = {};
    uint8_t data[16] = {};
    EXPECT_EQ(CipherBlocks(material, nonce, 2, data, 16), 0);
    // No blocks: nothing to transform, whatever the nonce announces.
    nonce[3] = 0x05;
    EXPECT_EQ(CipherBlocks(material, nonce, kDecipher, data, 0), 0);
    EXPECT_EQ(CipherBlocks(material, nonce, kEncipher, data, 16), 16);
    EXPECT_EQ(nonce[3] & 0x0F, 0);
    EXPECT_EQ(CipherBlocks(material, nonce, kDecipher, data, 16), 16);
}

} // namespace
