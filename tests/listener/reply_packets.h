// Builds broadcast reply datagrams the way a unit sends them, for the listener tests.
#pragma once

#include "protocol/crc16.h"
#include "protocol/packet.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_replies {

// Units answer addressed to the station with the fixed key, enciphered.
inline constexpr uint8_t kUnitReplyFlags = 0x1D;

inline void PutText(std::vector<uint8_t>& body, size_t offset, const std::u16string& text) {
    for (size_t i = 0; i < text.size() && i < 32; ++i) {
        body[offset + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        body[offset + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

// A whole packet: command 1, the reply kind, `body` (payload bytes 2 onwards), sent from
// `sourceIp` by a unit of `sourceType`.
inline std::vector<uint8_t> ReplyPacket(uint8_t kind, const std::vector<uint8_t>& body,
                                        uint8_t sourceType = 0x20, uint8_t flags = kUnitReplyFlags,
                                        const uint8_t* mac = nullptr,
                                        const char16_t* name = nullptr) {
    const uint8_t sourceIp[4] = {127, 0, 0, 1};
    std::vector<uint8_t> packet(2200);
    const size_t length = BuildPacket(sourceIp, mac, name, packet.data(), packet.size(), flags, 1,
                                      kind, body.data(), body.size());
    packet.resize(length);
    if (length == 0) {
        return packet;
    }
    packet[3] = sourceType;
    const uint16_t crc = Crc16(packet.data() + 2, length - 2);
    packet[0] = static_cast<uint8_t>(crc & 0xFF);
    packet[1] = static_cast<uint8_t>(crc >> 8);
    return packet;
}

// The body of a full discovery reply (164 bytes after the two command bytes).
inline std::vector<uint8_t> DiscoveryBody(int unit, const std::u16string& name = u"pdu") {
    std::vector<uint8_t> body(164, 0);
    const uint8_t mac[6] = {
        0x00, 0x1A, 0x2B, 0x00, static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit)};
    std::memcpy(body.data(), mac, 6);
    PutText(body, 6, name);
    PutText(body, 70, u"lab");
    const uint8_t model[8] = {0x12, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};
    std::memcpy(body.data() + 134, model, 8);
    body[142] = 1; // software 1.2.3
    body[143] = 2;
    body[144] = 3;
    body[146] = 7;   // hardware revision
    body[159] = 200; // secondaries
    return body;
}

} // namespace testing_replies
