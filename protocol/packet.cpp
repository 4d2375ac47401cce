#include "protocol/packet.h"

#include "platform/clock.h"
#include "platform/random.h"
#include "protocol/aes256.h"
#include "protocol/crc16.h"

#include <cstring>

namespace {

// The two stored constants of the packet key; every unit of the fleet holds the same pair.
constexpr uint8_t kFirstConstant[16] = {0x3a, 0x91, 0x5c, 0xe2, 0x07, 0xbd, 0x48, 0xf6,
                                        0x6e, 0x13, 0xa9, 0x25, 0xd0, 0x7f, 0x84, 0xcb};
constexpr uint8_t kSecondConstant[16] = {0xb5, 0x2c, 0x68, 0xf1, 0x9d, 0x40, 0xe7, 0x1a,
                                         0x53, 0xc8, 0x36, 0x8e, 0x0b, 0x74, 0xaf, 0x92};
constexpr char kFixedKeyText[] = "bRiCkWaLlSuNsEtS";

void ExpandPacketKey(const uint8_t material[8], const uint8_t nonce[4], Aes256Schedule& schedule) {
    uint8_t key[kAes256KeySize];
    for (int i = 0; i < 8; ++i) {
        key[i] = static_cast<uint8_t>(~material[7 - i]);
    }
    std::memcpy(key + 8, kFirstConstant + 8, 8);
    std::memcpy(key + 16, kSecondConstant, 12);
    std::memcpy(key + 28, nonce, 4);
    Aes256ExpandKey(key, schedule);
}

void StoreCrc(uint8_t* at, uint16_t crc) {
    at[0] = static_cast<uint8_t>(crc & 0xFF);
    at[1] = static_cast<uint8_t>(crc >> 8);
}

uint16_t LoadCrc(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

} // namespace

void PacketKeyMaterial(uint8_t selector, const uint8_t* mac, const char16_t* name,
                       uint8_t material[8]) {
    std::memset(material, 0, 8);
    switch (selector & kKeySelectorMask) {
    case kKeyFromMac:
        if (mac) {
            std::memcpy(material, mac, 6);
        }
        break;
    case kKeyFromName: {
        uint8_t text[2 * kKeyNameUnits] = {};
        for (int i = 0; name && i < kKeyNameUnits && name[i] != 0; ++i) {
            text[2 * i] = static_cast<uint8_t>(name[i] & 0xFF);
            text[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
        }
        for (int k = 0; k < 4; ++k) {
            StoreCrc(material + 2 * k, Crc16(text + 16 * k, 16));
        }
        break;
    }
    case kKeyFixedFirst:
        std::memcpy(material, kFixedKeyText, 8);
        break;
    default:
        std::memcpy(material, kFixedKeyText + 8, 8);
        break;
    }
}

uint16_t CipherBlocks(const uint8_t material[8], uint8_t nonce[4], int direction, uint8_t* data,
                      uint16_t length) {
    if (direction != kEncipher && direction != kDecipher) {
        return 0;
    }
    const int blocks = (length + 15) / 16;
    if (blocks == 0) {
        return 0;
    }
    if (direction == kEncipher) {
        platform::SeedRandom(platform::CurrentTimeSeconds());
        const int first = platform::NextRandom();
        const int second = platform::NextRandom();
        nonce[0] = static_cast<uint8_t>(first & 0xFF);
        nonce[1] = static_cast<uint8_t>(first >> 8);
        nonce[2] = static_cast<uint8_t>(second & 0xFF);
        nonce[3] = static_cast<uint8_t>(((second >> 8) & 0xF0) | (length & 0x0F));
    }
    Aes256Schedule schedule;
    ExpandPacketKey(material, nonce, schedule);
    for (int b = 0; b < blocks; ++b) {
        if (direction == kEncipher) {
            Aes256EncryptBlock(schedule, data + 16 * b);
        } else {
            Aes256DecryptBlock(schedule, data + 16 * b);
        }
    }
    if (direction == kEncipher) {
        return static_cast<uint16_t>(16 * blocks);
    }
    const int last = nonce[3] & 0x0F;
    return static_cast<uint16_t>(last != 0 ? 16 * (blocks - 1) + last : 16 * blocks);
}

size_t BuildPacket(const uint8_t* sourceIp, const uint8_t* mac, const char16_t* name, uint8_t* out,
                   size_t capacity, uint8_t flags, uint8_t command, uint8_t subCommand,
                   const uint8_t* body, size_t bodyLength) {
    const uint8_t mode = flags & kCipherModeMask;
    if (mode > kCipherAes || !out || (!body && bodyLength != 0)) {
        return 0;
    }
    const size_t plainLength = bodyLength + 2;
    const size_t payloadLength =
        mode == kCipherAes ? kCipherPrefixSize + 16 * ((plainLength + 15) / 16) : plainLength;
    // A payload the receiver would refuse is not built either.
    if (payloadLength > kMaxPayloadLength || kPacketHeaderSize + payloadLength > capacity) {
        return 0;
    }
    const size_t offset = mode == kCipherAes ? kCipherPayloadOffset : kPlainPayloadOffset;
    if (bodyLength != 0) {
        std::memmove(out + offset + 2, body, bodyLength);
    }
    out[offset] = command;
    out[offset + 1] = subCommand;
    if (mode == kCipherAes) {
        const size_t padded = payloadLength - kCipherPrefixSize;
        // Padding carries no meaning; zeros keep the output free of stale buffer bytes.
        std::memset(out + offset + plainLength, 0, padded - plainLength);
        StoreCrc(out + 20, Crc16(out + offset, plainLength));
        uint8_t material[8];
        PacketKeyMaterial(flags, mac, name, material);
        if (CipherBlocks(material, out + 16, kEncipher, out + offset,
                         static_cast<uint16_t>(plainLength)) != padded) {
            return 0;
        }
    }
    out[2] = flags;
    out[3] = kTypeStation;
    if (sourceIp) {
        std::memcpy(out + 4, sourceIp, 4);
    }
    out[14] = static_cast<uint8_t>(payloadLength >> 8);
    out[15] = static_cast<uint8_t>(payloadLength & 0xFF);
    StoreCrc(out, Crc16(out + 2, payloadLength + 14));
    return kPacketHeaderSize + payloadLength;
}

size_t ParsePacket(uint8_t* packet, size_t received, const uint8_t* mac, const char16_t* name,
                   uint8_t* sourceIp, uint16_t* payloadLength) {
    if (!packet || received < kPacketHeaderSize) {
        return 0;
    }
    const uint8_t flags = packet[2];
    const uint8_t destination = flags & kTypeMask;
    if (destination != kTypeEvery && destination != kTypeStation) {
        return 0;
    }
    if (sourceIp) {
        std::memcpy(sourceIp, packet + 4, 4);
    }
    const size_t length = static_cast<size_t>((packet[14] << 8) | packet[15]);
    if (length == 0 || length > kMaxPayloadLength || received < kPacketHeaderSize + length) {
        return 0;
    }
    if (Crc16(packet + 2, length + 14) != LoadCrc(packet)) {
        return 0;
    }
    switch (flags & kCipherModeMask) {
    case kCipherPlain:
        if (payloadLength) {
            *payloadLength = static_cast<uint16_t>(length);
        }
        return kPlainPayloadOffset;
    case kCipherAes: {
        // Only whole blocks can be deciphered inside the received bytes.
        if (length <= kCipherPrefixSize || (length - kCipherPrefixSize) % 16 != 0) {
            return 0;
        }
        uint8_t material[8];
        PacketKeyMaterial(flags, mac, name, material);
        const uint16_t plain =
            CipherBlocks(material, packet + 16, kDecipher, packet + kCipherPayloadOffset,
                         static_cast<uint16_t>(length - kCipherPrefixSize));
        if (plain == 0 || Crc16(packet + kCipherPayloadOffset, plain) != LoadCrc(packet + 20)) {
            return 0;
        }
        if (payloadLength) {
            *payloadLength = plain;
        }
        return kCipherPayloadOffset;
    }
    default:
        return 0;
    }
}
