#include "protocol/broadcast_bodies.h"

#include "protocol/packet.h"

#include <cstring>

namespace {

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value & 0xFF);
}

uint16_t Get16(const uint8_t* at) {
    return static_cast<uint16_t>((at[0] << 8) | at[1]);
}

uint32_t Get32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// The first 63 bytes of the text's 32-unit buffer, little-endian, into a zeroed field.
void PutTextField(uint8_t* field, const char16_t* text) {
    uint8_t units[kTextFieldSize] = {};
    for (int i = 0; text && i < kTextFieldUnits && text[i] != 0; ++i) {
        units[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        units[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    std::memset(field, 0, kTextFieldSize);
    std::memcpy(field, units, kTextFieldSize - 1);
}

// A 64-byte text field at `offset`, or the fill unit when the payload stops short of its end.
void TakeTextField(const uint8_t* payload, size_t length, size_t offset, char16_t fill,
                   char16_t* text) {
    for (int i = 0; i < kTextFieldUnits; ++i) {
        text[i] = length >= offset + kTextFieldSize
                      ? static_cast<char16_t>(payload[offset + 2 * i] |
                                              (payload[offset + 2 * i + 1] << 8))
                      : fill;
    }
    text[kTextFieldUnits - 1] = 0;
}

void TakeMac(const uint8_t* payload, size_t length, uint8_t mac[6]) {
    if (length >= 8) {
        std::memcpy(mac, payload + 2, 6);
    } else {
        std::memset(mac, 0, 6);
    }
}

void TakeModelCode(const uint8_t* payload, size_t length, size_t offset, bool takeLast,
                   uint8_t code[8]) {
    if (length >= offset + 6) {
        std::memcpy(code, payload + offset, 6);
    } else {
        std::memset(code, 0xFF, 6);
    }
    if (takeLast && length >= offset + 8) {
        code[6] = payload[offset + 6];
        code[7] = payload[offset + 7];
    } else {
        code[6] = 0;
        code[7] = 0;
    }
}

bool IsKind(const uint8_t* payload, size_t length, uint8_t kind) {
    return BroadcastReplyKind(payload, length) == kind;
}

} // namespace

void EncodeNetworkBody(const uint8_t mac[6], const NetworkSettings& s,
                       uint8_t body[kNetworkBodySize]) {
    std::memcpy(body, mac, 6);
    Put16(body + 6, s.unitPort);
    Put16(body + 8, s.stationPort);
    Put16(body + 10, s.options);
    std::memcpy(body + 12, s.unitIp, 4);
    std::memcpy(body + 16, s.mask, 4);
    std::memcpy(body + 20, s.gateway, 4);
    std::memcpy(body + 24, s.dns1, 4);
    std::memcpy(body + 28, s.dns2, 4);
    std::memcpy(body + 32, s.dns3, 4);
    std::memcpy(body + 36, s.stationIp, 4);
}

void EncodeGroupBody(const uint8_t mac[6], const char16_t* deviceName, const char16_t* groupName,
                     const char16_t* groupPassword, uint8_t body[kGroupBodySize]) {
    std::memcpy(body, mac, 6);
    PutTextField(body + 6, deviceName);
    PutTextField(body + 70, groupName);
    PutTextField(body + 134, groupPassword);
}

int BroadcastReplyKind(const uint8_t* payload, size_t length) {
    if (!payload || length < 2 || payload[0] != kBroadcastCommand) {
        return -1;
    }
    return payload[1];
}

bool DecodeDiscoveryReply(const uint8_t* payload, size_t length, uint8_t sourceType,
                          DiscoveryReply& reply) {
    if (!IsKind(payload, length, kReplyDiscovery)) {
        return false;
    }
    std::memset(&reply, 0, sizeof reply);
    const bool unit = (sourceType & kTypeMask) == kTypeUnit;
    TakeMac(payload, length, reply.mac);
    TakeTextField(payload, length, 8, kMissingDeviceName, reply.deviceName);
    TakeTextField(payload, length, 72, kMissingGroupName, reply.groupName);
    TakeModelCode(payload, length, 136, unit, reply.modelCode);
    if (!unit) {
        return true;
    }
    // The version block is all or nothing.
    if (length >= 161) {
        std::memcpy(reply.swVersion, payload + 144, 3);
        reply.hwRevision = payload[148];
        std::memcpy(reply.kernelVersion, payload + 149, 3);
        std::memcpy(reply.filesysVersion, payload + 154, 3);
        std::memcpy(reply.patchVersion, payload + 158, 3);
    }
    if (length >= 162) {
        reply.secondaryCount = payload[161];
    }
    if (length >= 166) {
        reply.bootloaderRevision = Get32(payload + 162);
    }
    return true;
}

bool DecodeNetInfoReply(const uint8_t* payload, size_t length, NetInfoReply& reply) {
    if (!IsKind(payload, length, kReplyNetInfo) || length < kNetInfoReplySize) {
        return false;
    }
    const uint8_t* body = payload + 2;
    std::memcpy(reply.mac, body, 6);
    NetworkSettings& s = reply.settings;
    s.unitPort = Get16(body + 6);
    s.stationPort = Get16(body + 8);
    s.options = Get16(body + 10);
    std::memcpy(s.unitIp, body + 12, 4);
    std::memcpy(s.mask, body + 16, 4);
    std::memcpy(s.gateway, body + 20, 4);
    std::memcpy(s.dns1, body + 24, 4);
    std::memcpy(s.dns2, body + 28, 4);
    std::memcpy(s.dns3, body + 32, 4);
    std::memcpy(s.stationIp, body + 36, 4);
    return true;
}

bool DecodeGroupInfoReply(const uint8_t* payload, size_t length, GroupInfoReply& reply) {
    if (!IsKind(payload, length, kReplyGroupInfo)) {
        return false;
    }
    std::memset(&reply, 0, sizeof reply);
    TakeMac(payload, length, reply.mac);
    TakeTextField(payload, length, 8, kMissingDeviceName, reply.deviceName);
    TakeTextField(payload, length, 72, kMissingGroupName, reply.groupName);
    TakeTextField(payload, length, 136, kMissingPassword, reply.groupPassword);
    TakeModelCode(payload, length, 200, true, reply.modelCode);
    return true;
}
