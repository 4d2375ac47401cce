// Byte layouts of the broadcast request bodies and of the three reply payloads that the
// station reads, with the fill values a short reply leaves in its missing fields.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kBroadcastCommand = 1;

// Request sub-commands.
inline constexpr uint8_t kSubDiscover = 1;
inline constexpr uint8_t kSubGetNetInfo = 3;
inline constexpr uint8_t kSubSetNetInfo = 4;
inline constexpr uint8_t kSubSetGroupInfo = 5;
inline constexpr uint8_t kSubGetGroupInfo = 6;

// Reply kinds (payload byte 1).
inline constexpr uint8_t kReplyDiscovery = 2;
inline constexpr uint8_t kReplyNetInfo = 3;
inline constexpr uint8_t kReplyGroupInfo = 6;

inline constexpr size_t kNetworkBodySize = 40;
inline constexpr size_t kGroupBodySize = 198;
inline constexpr size_t kTextFieldSize = 64;
inline constexpr int kTextFieldUnits = 32;
inline constexpr size_t kDiscoveryReplySize = 166;
inline constexpr size_t kNetInfoReplySize = 42;
inline constexpr size_t kGroupInfoReplySize = 208;

// What a missing text field of a reply is filled with, per unit.
inline constexpr char16_t kMissingDeviceName = 0x6464;
inline constexpr char16_t kMissingGroupName = 0x6767;
inline constexpr char16_t kMissingPassword = 0x7070;

// The network settings of a SetNetInfo body and of a net-info reply (after the MAC).
struct NetworkSettings {
    uint16_t unitPort;
    uint16_t stationPort;
    uint16_t options; // passed through, never interpreted
    uint8_t unitIp[4];
    uint8_t mask[4];
    uint8_t gateway[4];
    uint8_t dns1[4];
    uint8_t dns2[4];
    uint8_t dns3[4];
    uint8_t stationIp[4];
};

void EncodeNetworkBody(const uint8_t mac[6], const NetworkSettings& settings,
                       uint8_t body[kNetworkBodySize]);

// The 198-byte group body: MAC, then device name, group name and password, each a zeroed
// 64-byte field holding the first 63 bytes of the 32-unit text (read up to its zero unit
// or its 32nd unit), so byte 63 of every field is 0.
void EncodeGroupBody(const uint8_t mac[6], const char16_t* deviceName, const char16_t* groupName,
                     const char16_t* groupPassword, uint8_t body[kGroupBodySize]);

struct DiscoveryReply {
    uint8_t mac[6];
    char16_t deviceName[kTextFieldUnits]; // unit 31 always 0
    char16_t groupName[kTextFieldUnits];
    uint8_t modelCode[8];
    uint8_t swVersion[3]; // major, minor, build
    uint8_t hwRevision;
    uint8_t kernelVersion[3];
    uint8_t filesysVersion[3];
    uint8_t patchVersion[3];
    uint8_t secondaryCount;
    uint32_t bootloaderRevision;
};

struct NetInfoReply {
    uint8_t mac[6];
    NetworkSettings settings;
};

struct GroupInfoReply {
    uint8_t mac[6];
    char16_t deviceName[kTextFieldUnits];
    char16_t groupName[kTextFieldUnits];
    char16_t groupPassword[kTextFieldUnits];
    uint8_t modelCode[8];
};

// The reply kind of an opened payload (byte 1), or -1 when it is shorter than two bytes
// or byte 0 is not the broadcast command.
int BroadcastReplyKind(const uint8_t* payload, size_t length);

// Each decoder takes the fields as far as the payload reaches and fills the rest; false
// when the payload is not a reply of its kind. Model-code bytes 6-7, the versions,
// secondary count and bootloader revision of a discovery reply are read only from a unit
// of source type 0x20.
bool DecodeDiscoveryReply(const uint8_t* payload, size_t length, uint8_t sourceType,
                          DiscoveryReply& reply);
// A net-info reply carries the whole network body or is refused.
bool DecodeNetInfoReply(const uint8_t* payload, size_t length, NetInfoReply& reply);
bool DecodeGroupInfoReply(const uint8_t* payload, size_t length, GroupInfoReply& reply);
