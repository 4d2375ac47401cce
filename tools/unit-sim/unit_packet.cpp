#include "tools/unit-sim/unit_packet.h"

#include "protocol/crc16.h"
#include "protocol/packet.h"

#include <cstring>

namespace unitsim {
namespace {

void StoreOuterCrc(uint8_t* packet, size_t length) {
    uint16_t crc = Crc16(packet + 2, length - 2);
    packet[0] = static_cast<uint8_t>(crc);
    packet[1] = static_cast<uint8_t>(crc >> 8);
}

} // namespace

size_t OpenUnitPacket(uint8_t* packet, size_t received, uint8_t unitType, const UnitKeys& keys,
                      uint8_t sourceIp[4], uint16_t* payloadLength) {
    if (received < kPacketHeaderSize) {
        return 0;
    }
    uint8_t flags = packet[2];
    uint8_t destination = flags & kTypeMask;
    if (destination != (unitType & kTypeMask) && destination != kTypeEvery) {
        return 0;
    }
    std::memcpy(sourceIp, packet + 4, 4);
    size_t length = static_cast<size_t>(packet[14] << 8 | packet[15]);
    if (length == 0 || length > kMaxPayloadLength || received < kPacketHeaderSize + length) {
        return 0;
    }
    uint16_t outer = static_cast<uint16_t>(packet[0] | packet[1] << 8);
    if (Crc16(packet + 2, length + 14) != outer) {
        return 0;
    }
    switch (flags & kCipherModeMask) {
    case kCipherPlain:
        *payloadLength = static_cast<uint16_t>(length);
        return kPlainPayloadOffset;
    case kCipherAes: {
        if (length <= kCipherPrefixSize || (length - kCipherPrefixSize) % 16 != 0) {
            return 0;
        }
        uint8_t material[8];
        PacketKeyMaterial(flags & kKeySelectorMask, keys.mac, keys.name, material);
        uint16_t plain = CipherBlocks(material, packet + 16, kDecipher, packet + 22,
                                      static_cast<uint16_t>(length - kCipherPrefixSize));
        if (plain == 0) {
            return 0;
        }
        uint16_t inner = static_cast<uint16_t>(packet[20] | packet[21] << 8);
        if (Crc16(packet + 22, plain) != inner) {
            return 0;
        }
        *payloadLength = plain;
        return kCipherPayloadOffset;
    }
    default:
        return 0;
    }
}

size_t SealUnitPacket(uint8_t* out, size_t capacity, uint8_t flags, uint8_t sourceType,
                      const uint8_t sourceIp[4], const UnitKeys& keys, uint8_t command,
                      uint8_t subCommand, const uint8_t* body, size_t bodyLength, bool breakCrc) {
    if (capacity < kPacketHeaderSize) {
        return 0;
    }
    // Header bytes 8-13 carry nothing; keep them from holding stale buffer bytes.
    std::memset(out, 0, kPacketHeaderSize);
    size_t length = BuildPacket(sourceIp, keys.mac, keys.name, out, capacity, flags, command,
                                subCommand, body, bodyLength);
    if (length == 0) {
        return 0;
    }
    // The codec writes the station's type; a unit announces its own.
    out[3] = sourceType;
    StoreOuterCrc(out, length);
    if (breakCrc) {
        out[0] ^= 0x5A;
    }
    return length;
}

} // namespace unitsim
