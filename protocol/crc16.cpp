#include "protocol/crc16.h"

#include <array>

namespace {

struct CrcTables {
    std::array<uint8_t, 256> high{};
    std::array<uint8_t, 256> low{};
};

constexpr CrcTables MakeCrcTables() {
    CrcTables tables;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ 0xA001u : value >> 1;
        }
        tables.high[i] = static_cast<uint8_t>(value >> 8);
        tables.low[i] = static_cast<uint8_t>(value & 0xFFu);
    }
    return tables;
}

constexpr CrcTables kTables = MakeCrcTables();

} // namespace

uint16_t Crc16(const uint8_t* data, size_t length) {
    uint8_t high = 0;
    uint8_t low = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t index = static_cast<uint8_t>(low ^ data[i]);
        low = static_cast<uint8_t>(high ^ kTables.low[index]);
        high = kTables.high[index];
    }
    return static_cast<uint16_t>((high << 8) | low);
}
