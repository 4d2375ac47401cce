// The simulator's command line: fleet shape, ports, starting group, faults, log file.
#pragma once

#include "tools/unit-sim/faults.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace unitsim {

struct Version {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint8_t build = 0;
};

struct Options {
    int units = 1;
    uint32_t firstIp = 0x7F000002; // 127.0.0.2
    uint32_t netmask = 0xFFFFFF00;
    std::array<uint8_t, 3> macPrefix{0x02, 0x52, 0x56};
    uint16_t broadcastPort = 2003;
    uint16_t stationPort = 2004;
    uint16_t sessionPort = 2001;
    std::u16string group;
    std::u16string password;
    std::string namePrefix = "unit";
    Version sw{3, 18, 4};
    int secondaries = 0;
    int installAfterMs = -1; // below 0: accepted upgrades are never installed
    uint8_t replyFlags = 0x1D;
    uint8_t sourceType = 0x20;
    std::array<uint8_t, 6> stationMac{};
    bool stationGroupGiven = false;
    std::u16string stationGroup; // key name for selector 0x04 when given
    std::vector<FaultRule> faults;
    std::string logPath;
};

enum class ParseOutcome { Run, Help, Error };

// Reads argv into `options`. On Error, `error` says what was wrong.
ParseOutcome ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The --help text.
const char* UsageText();

// "A.B.C.D" to a host-order number; false when the text is not a dotted address.
bool ParseIpv4(const std::string& text, uint32_t& ip);
std::string Ipv4Text(uint32_t ip);
// "X.Y.Z" with each part 0..255.
bool ParseVersion(const std::string& text, Version& version);
// Hexadecimal bytes separated by ':' (exactly `count` of them).
bool ParseMacBytes(const std::string& text, uint8_t* out, size_t count);
// UTF-8 text to UTF-16 (the command line is UTF-8); false for malformed input.
bool Utf8ToUtf16(const std::string& text, std::u16string& out);
std::string Utf16ToUtf8(const std::u16string& text);

} // namespace unitsim
