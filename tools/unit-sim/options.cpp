#include "tools/unit-sim/options.h"

#include <cstdlib>
#include <cstring>

namespace unitsim {
namespace {

const char kUsage[] =
    R"(Usage: unit-sim [OPTION]...
Simulates a fleet of units over real UDP and TCP in one process. Prints "ready" once every
socket listens; ends on SIGINT or SIGTERM.

Fleet
  --units N              number of units (default 1, at most 65536)
  --first-ip A.B.C.D     address of unit 0; unit k has first-ip + k, carrying between
                         octets (default 127.0.0.2)
  --netmask A.B.C.D      the units' subnet mask, for subnet broadcasts (default 255.255.255.0)
  --mac-prefix XX:XX:XX  first three MAC bytes; the last three count k + 1 (default 02:52:56)
  --name PREFIX          device names are PREFIX followed by k + 1 in four digits (default unit)
  --group NAME           starting group name of every unit (default empty: no group)
  --password TEXT        starting group password (default empty)
  --sw X.Y.Z             software version (default 3.18.4)
  --secondaries K        secondary units behind every unit (default 0)
  --install-after MS     an accepted upgrade is installed MS ms later: the unit then reports
                         the new versions (default: never installed)

Ports
  --broadcast-port P     UDP port the units listen on (default 2003)
  --station-port P       UDP port replies go to (default 2004)
  --session-port P       TCP port of the sessions (default 2001)

Replies
  --reply-flags 0xNN     flags byte of every packet the units send (default 0x1D: to the
                         station, key selector 0x0C, enciphered)
  --source-type 0xNN     source type byte of the units' packets (default 0x20)
  --station-mac MAC      key material for key selector 0x00 in broadcast replies
  --station-group NAME   name for key selector 0x04 in broadcast replies (default: the
                         unit's own group name)

Faults (repeatable)
  --fault KIND[=VALUE][:WHICH]
      KIND is one of
        silent             no answer to broadcasts
        no-greeting        a session gets no greeting
        bad-greeting       the greeting is command 7, not 2
        login-refused      every login is refused
        delay=MS           every answer is sent MS ms late (default 500)
        bad-crc            every answer has a broken outer CRC
        wrong-sub          every answer carries a different sub-command
        oversize           every answer is a packet larger than 2,048 bytes
        close-after-login  the session is closed right after the login reply
        short-discovery=N  discovery replies stop after N payload bytes (default 100)
        old-sw             software version 2.17.226
      Answers are the broadcast replies and the replies to session requests; the greeting
      and the login reply have faults of their own. WHICH is a comma-separated list of unit
      indices (3), index ranges (0-9), addresses (127.0.0.5), address ranges
      (127.0.0.5-127.0.0.9), percentages (25%) or fractions (1/4); without WHICH the fault
      hits every unit.

Other
  --log FILE             append one JSON object per line for every request received and
                         every answer sent
  --help                 show this text
)";

bool ParsePort(const char* text, uint16_t& port) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParseInt(const char* text, long low, long high, int& out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool ParseByte(const char* text, uint8_t& out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || value < 0 || value > 255) {
        return false;
    }
    out = static_cast<uint8_t>(value);
    return true;
}

bool ParseText(const char* text, std::u16string& out) {
    return Utf8ToUtf16(text, out) && out.size() <= 31;
}

} // namespace

const char* UsageText() {
    return kUsage;
}

bool ParseIpv4(const std::string& text, uint32_t& ip) {
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t start = i;
        uint32_t part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
            part = part * 10 + static_cast<uint32_t>(text[i] - '0');
            ++i;
        }
        if (i == start || part > 255) {
            return false;
        }
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') {
                return false;
            }
            ++i;
        }
    }
    if (i != text.size()) {
        return false;
    }
    ip = value;
    return true;
}

std::string Ipv4Text(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
           std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF);
}

bool ParseVersion(const std::string& text, Version& version) {
    uint32_t ip = 0;
    // A version reads like the last three parts of an address.
    if (!ParseIpv4("0." + text, ip)) {
        return false;
    }
    version = Version{static_cast<uint8_t>(ip >> 16), static_cast<uint8_t>(ip >> 8),
                      static_cast<uint8_t>(ip)};
    return true;
}

bool ParseMacBytes(const std::string& text, uint8_t* out, size_t count) {
    if (text.size() != count * 3 - 1) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':') {
            return false;
        }
        unsigned value = 0;
        for (size_t j = 0; j < 2; ++j) {
            char c = text[i * 3 + j];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        out[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        size_t extra = 0;
        if (c < 0x80) {
            code = c;
        } else if ((c & 0xE0) == 0xC0) {
            code = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            code = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            code = c & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (size_t j = 1; j <= extra; ++j) {
            auto d = static_cast<unsigned char>(text[i + j]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (d & 0x3F);
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

ParseOutcome ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            return ParseOutcome::Help;
        }
        if (i + 1 >= argc) {
            error = name.rfind("--", 0) == 0 ? "option " + name + " needs a value"
                                             : "unknown argument " + name;
            return ParseOutcome::Error;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (name == "--units") {
            ok = ParseInt(value, 1, 65536, options.units);
        } else if (name == "--first-ip") {
            ok = ParseIpv4(value, options.firstIp);
        } else if (name == "--netmask") {
            ok = ParseIpv4(value, options.netmask);
        } else if (name == "--mac-prefix") {
            ok = ParseMacBytes(value, options.macPrefix.data(), 3);
        } else if (name == "--name") {
            options.namePrefix = value;
            ok = options.namePrefix.size() <= 27;
        } else if (name == "--broadcast-port") {
            ok = ParsePort(value, options.broadcastPort);
        } else if (name == "--station-port") {
            ok = ParsePort(value, options.stationPort);
        } else if (name == "--session-port") {
            ok = ParsePort(value, options.sessionPort);
        } else if (name == "--group") {
            ok = ParseText(value, options.group);
        } else if (name == "--password") {
            ok = ParseText(value, options.password);
        } else if (name == "--sw") {
            ok = ParseVersion(value, options.sw);
        } else if (name == "--secondaries") {
            ok = ParseInt(value, 0, 64, options.secondaries);
        } else if (name == "--install-after") {
            ok = ParseInt(value, 0, 3600000, options.installAfterMs);
        } else if (name == "--reply-flags") {
            ok = ParseByte(value, options.replyFlags) && (options.replyFlags & 0x03) < 2;
        } else if (name == "--source-type") {
            ok = ParseByte(value, options.sourceType);
        } else if (name == "--station-mac") {
            ok = ParseMacBytes(value, options.stationMac.data(), 6);
        } else if (name == "--station-group") {
            ok = ParseText(value, options.stationGroup);
            options.stationGroupGiven = true;
        } else if (name == "--fault") {
            FaultRule rule;
            if (!ParseFaultRule(value, rule, error)) {
                return ParseOutcome::Error;
            }
            options.faults.push_back(rule);
        } else if (name == "--log") {
            options.logPath = value;
        } else {
            error = "unknown option " + name;
            return ParseOutcome::Error;
        }
        if (!ok) {
            error = "bad value '" + std::string(value) + "' for " + name;
            return ParseOutcome::Error;
        }
    }
    uint64_t last = static_cast<uint64_t>(options.firstIp) + static_cast<uint64_t>(options.units);
    if (last - 1 > 0xFFFFFFFFu) {
        error = "the address range runs past 255.255.255.255";
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}

} // namespace unitsim
