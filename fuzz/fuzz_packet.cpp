// Feeds arbitrary bytes to the packet codec and the broadcast reply decoders.
//
// Byte 0 picks the target (its value mod 4) and, for some targets, key selector and
// cipher mode. The rest is the input:
//   0: a received datagram, opened as it is, with the station's MAC and group name;
//   1: a datagram whose outer CRC and destination type are repaired first, so the
//      deciphering and inner-CRC paths of every key selector are reached;
//   2: flags and a body for BuildPacket; what it builds must open to the same payload;
//   3: a reply payload for the three decoders, byte 1 of the input the source type.
#include "protocol/broadcast_bodies.h"
#include "protocol/crc16.h"
#include "protocol/packet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const uint8_t kMac[6] = {0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f};
const char16_t kGroup[] = u"Fuzz Group";

void OpenAsReceived(const uint8_t* data, size_t size) {
    // An exact-size copy, so any read past the datagram is caught.
    std::vector<uint8_t> packet(data, data + size);
    uint8_t source[4];
    uint16_t length = 0;
    const size_t offset = ParsePacket(packet.data(), packet.size(), kMac, kGroup, source, &length);
    if (offset != 0 && offset + length > packet.size()) {
        std::abort();
    }
}

void OpenRepaired(uint8_t selector, bool enciphered, const uint8_t* data, size_t size) {
    std::vector<uint8_t> packet(data, data + size);
    if (packet.size() >= 16) {
        packet[2] = static_cast<uint8_t>(kTypeStation | selector | (enciphered ? 1 : 0));
        const size_t length = static_cast<size_t>((packet[14] << 8) | packet[15]);
        if (length + 16 <= packet.size()) {
            const uint16_t crc = Crc16(packet.data() + 2, length + 14);
            packet[0] = static_cast<uint8_t>(crc & 0xFF);
            packet[1] = static_cast<uint8_t>(crc >> 8);
        }
    }
    OpenAsReceived(packet.data(), packet.size());
}

void RoundTrip(const uint8_t* data, size_t size) {
    if (size < 1) {
        return;
    }
    // Addressed to the station, so that ParsePacket examines it.
    const uint8_t flags = static_cast<uint8_t>((data[0] & 0x8F) | kTypeStation);
    const uint8_t* body = data + 1;
    const size_t bodyLength = size - 1;
    std::vector<uint8_t> out(2 + bodyLength + 64);
    const uint8_t source[4] = {198, 51, 100, 3};
    const size_t built = BuildPacket(source, kMac, kGroup, out.data(), out.size(), flags, 1, 2,
                                     bodyLength ? body : nullptr, bodyLength);
    if (built == 0) {
        return;
    }
    out.resize(built);
    uint16_t length = 0;
    const size_t offset = ParsePacket(out.data(), out.size(), kMac, kGroup, nullptr, &length);
    if (offset == 0 || length != bodyLength + 2 || out[offset] != 1 || out[offset + 1] != 2 ||
        (bodyLength && std::memcmp(out.data() + offset + 2, body, bodyLength) != 0)) {
        std::abort();
    }
}

void Decode(const uint8_t* data, size_t size) {
    if (size < 1) {
        return;
    }
    const uint8_t sourceType = data[0];
    std::vector<uint8_t> payload(data + 1, data + size);
    DiscoveryReply discovery;
    NetInfoReply netInfo;
    GroupInfoReply groupInfo;
    if (DecodeDiscoveryReply(payload.data(), payload.size(), sourceType, discovery) &&
        (discovery.deviceName[31] != 0 || discovery.groupName[31] != 0)) {
        std::abort();
    }
    DecodeNetInfoReply(payload.data(), payload.size(), netInfo);
    if (DecodeGroupInfoReply(payload.data(), payload.size(), groupInfo) &&
        groupInfo.groupPassword[31] != 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t control = data[0];
    switch (control & 3) {
    case 0:
        OpenAsReceived(data + 1, size - 1);
        break;
    case 1:
        OpenRepaired(static_cast<uint8_t>(control & 0x0C), (control & 0x10) != 0, data + 1,
                     size - 1);
        break;
    case 2:
        RoundTrip(data + 1, size - 1);
        break;
    default:
        Decode(data + 1, size - 1);
        break;
    }
    return 0;
}
