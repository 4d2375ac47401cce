#include "protocol/crc16.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

uint16_t CrcOf(const char* text) {
    return Crc16(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

// A bit-at-a-time CRC-16/ARC as an independent reference for the table version.
uint16_t BitwiseArc(const uint8_t* data, size_t length) {
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        }
    }
    return crc;
}

TEST(Crc16, KnownValues) {
    EXPECT_EQ(CrcOf("123456789"), 0xBB3D);
    EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
    EXPECT_EQ(CrcOf("A"), 0x30C0);
}

TEST(Crc16, MatchesBitwiseReferenceOnEveryByteValue) {
    uint8_t data[512];
    for (size_t i = 0; i < sizeof data; ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
    for (size_t length : {1u, 2u, 15u, 16u, 255u, 256u, 512u}) {
        EXPECT_EQ(Crc16(data, length), BitwiseArc(data, length)) << "length " << length;
    }
}

} // namespace
