// Unit-side message layouts: the broadcast reply payloads a unit sends, the request bodies
// it reads, and its answers to session requests. Payloads here include the two command
// bytes (byte 0 command, byte 1 sub-command), as the station sees them once opened. The
// sub-commands, reply kinds and sizes are the station's own (protocol/broadcast_bodies.h);
// the encoders here are the mirror image of its decoders.
#pragma once

#include "protocol/broadcast_bodies.h"
#include "tools/unit-sim/fleet.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace unitsim {

using Bytes = std::vector<uint8_t>;

// Session commands.
inline constexpr uint8_t kGreetingCommand = 2;
inline constexpr uint8_t kLogoutCommand = 3;
inline constexpr uint8_t kLoginCommand = 4;
inline constexpr uint8_t kStateQuery = 8;
inline constexpr uint8_t kConfigQuery = 10;
inline constexpr uint8_t kUnitCommand = 0x21;
inline constexpr uint8_t kPackageTag = 14;
inline constexpr uint8_t kSecondaryListTag = 12;
inline constexpr uint8_t kSecondaryVersionsTag = 6;
inline constexpr uint8_t kSecondaryModelTag = 9;
inline constexpr uint8_t kSecondaryNameTag = 17;
inline constexpr uint8_t kUpgradeSub = 13;
inline constexpr uint8_t kSecondariesUpgradeSub = 16;
inline constexpr size_t kLoginBodyLength = 73;
inline constexpr uint8_t kAccepted = 0x55;
inline constexpr uint8_t kRefused = 0xAA;

// A 64-byte field: UTF-16LE, zero-filled, at most 31 units so unit 31 stays 0.
void WriteTextField(uint8_t* field, const std::u16string& text);
// Reads a 64-byte field up to its first zero unit, at most 31 units.
std::u16string ReadTextField(const uint8_t* field);

Bytes EncodeDiscoveryReply(const Unit& unit);
Bytes EncodeGroupInfoReply(const Unit& unit);
Bytes EncodeNetInfoReply(const Unit& unit);

// Set-group body: MAC, device name, group name, group password.
struct GroupBody {
    std::array<uint8_t, 6> mac{};
    std::u16string name;
    std::u16string group;
    std::u16string password;
};
std::optional<GroupBody> ReadGroupBody(const uint8_t* body, size_t length);

// Set-network body (also the 40 bytes after the command bytes of a net-info reply).
struct NetBody {
    std::array<uint8_t, 6> mac{};
    NetSettings net;
};
std::optional<NetBody> ReadNetBody(const uint8_t* body, size_t length);

// Login body: station MAC, the password field, three zero bytes.
struct LoginBody {
    std::array<uint8_t, 6> stationMac{};
    std::u16string password;
};
std::optional<LoginBody> ReadLoginBody(const uint8_t* body, size_t length);

// Installed package attributes: map, kernel, file-system and patch versions, file name,
// bootloader revision and bootloader file name.
Bytes PackageAnswer(const PackageAttributes& package);
// Four unused bytes, then every secondary id, big-endian.
Bytes SecondaryListAnswer(const Unit& unit);
// Versions of one secondary (20 bytes).
Bytes SecondaryVersionsAnswer(const Secondary& secondary);
// Narrow texts with their zero byte.
Bytes NarrowTextAnswer(const std::string& text);

// An upgrade command text: "[OPTION ][testonly ](usb | tftp SERVER FILE | url URL)".
struct UpgradeCommand {
    std::string option; // "", "noteq" or "force"
    bool testOnly = false;
    std::string method; // "usb", "tftp" or "url"
    std::string server;
    std::string file; // file name or URL
};
std::optional<UpgradeCommand> ParseUpgradeCommand(const std::string& text);

} // namespace unitsim
