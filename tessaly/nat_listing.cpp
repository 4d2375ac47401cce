#include "tessaly/nat_listing.h"

#include "tessaly/listing_reader.h"

#include <cstring>
#include <string>

namespace tessaly {
namespace {

constexpr std::string_view kModePrefix = "Mode              : ";
constexpr std::string_view kStaticMappingHeader = "NAT Static Port Mapping Configuration\n";
constexpr std::string_view kProtocolPrefix = "Protocol          : ";
constexpr std::string_view kPublicAddressPrefix = "Public address    : ";
constexpr std::string_view kPublicPortPrefix = "Public port       : ";
constexpr std::string_view kPrivateAddressPrefix = "Private address   : ";
constexpr std::string_view kPrivatePortPrefix = "Private port      : ";

struct ModeText {
    std::string_view lineEnding;
    const char* scriptWord;
};

constexpr ModeText kModes[] = {
    {"Address and Port Translation\n", "Full"},
    {"Private Interface\n", "Private"},
    {"Address Translation Only\n", "AddressOnly"},
    {"Address and Port Translation with Firewall Enabled\n", "FullFirewall"},
    {"Address Translation with Firewall Enabled\n", "AddressOnlyFirewall"},
    {"Firewall only\n", "FirewallOnly"},
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// The value after a field's prefix, without the line end and trailing blanks.
bool FieldValue(std::string_view line, std::string_view prefix, std::string_view& value) {
    if (!StartsWith(line, prefix)) {
        return false;
    }
    value = line.substr(prefix.size());
    while (!value.empty() &&
           (value.back() == '\n' || value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    return true;
}

// A decimal number of at most `digits` digits and at most `most`, taken off the front.
bool TakeNumber(std::string_view& text, size_t digits, uint32_t most, uint32_t& number) {
    size_t used = 0;
    number = 0;
    while (used < text.size() && used < digits && text[used] >= '0' && text[used] <= '9') {
        number = number * 10 + static_cast<uint32_t>(text[used] - '0');
        ++used;
    }
    if (used == 0 || (used < text.size() && text[used] >= '0' && text[used] <= '9') ||
        number > most) {
        return false;
    }
    text.remove_prefix(used);
    return true;
}

bool ParseAddress(std::string_view text, uint8_t (&address)[4]) {
    for (int i = 0; i < 4; ++i) {
        uint32_t octet = 0;
        if (!TakeNumber(text, 3, 255, octet)) {
            return false;
        }
        address[i] = static_cast<uint8_t>(octet);
        if (i < 3) {
            if (text.empty() || text[0] != '.') {
                return false;
            }
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

bool ParsePort(std::string_view text, uint16_t& port) {
    uint32_t number = 0;
    if (!TakeNumber(text, 5, 65535, number) || !text.empty()) {
        return false;
    }
    port = static_cast<uint16_t>(number);
    return true;
}

// One mapping of five lines; false at the first line that does not fit.
bool ReadMapping(ListingReader& reader, RuleItem& rule) {
    std::string line;
    std::string_view value;
    if (!reader.ReadLine(line) || !StartsWith(line, kProtocolPrefix)) {
        return false;
    }
    // Anything but UDP counts as TCP.
    rule.protocols =
        line.substr(kProtocolPrefix.size()) == "UDP\n" ? TESSALY_PROTO_UDP : TESSALY_PROTO_TCP;
    if (!reader.ReadLine(line) || !FieldValue(line, kPublicAddressPrefix, value) ||
        !ParseAddress(value, rule.publicAddress)) {
        return false;
    }
    if (!reader.ReadLine(line) || !FieldValue(line, kPublicPortPrefix, value) ||
        !ParsePort(value, rule.publicPort)) {
        return false;
    }
    if (!reader.ReadLine(line) || !FieldValue(line, kPrivateAddressPrefix, value) ||
        !ParseAddress(value, rule.privateAddress)) {
        return false;
    }
    return reader.ReadLine(line) && FieldValue(line, kPrivatePortPrefix, value) &&
           ParsePort(value, rule.privatePort);
}

// The interface a line "NAT <name> Configuration\n" names; false for any other line.
bool InterfaceNameOf(std::string_view line, std::string& name) {
    constexpr std::string_view kLead = "NAT ";
    constexpr std::string_view kTail = " Configuration\n";
    if (!StartsWith(line, kLead) || !EndsWith(line, kTail) ||
        line.size() < kLead.size() + kTail.size()) {
        return false;
    }
    name.assign(line.substr(kLead.size(), line.size() - kLead.size() - kTail.size()));
    return true;
}

} // namespace

uint8_t ModeOfLine(std::string_view line) {
    for (uint8_t mode = 0; mode < std::size(kModes); ++mode) {
        if (EndsWith(line, kModes[mode].lineEnding)) {
            return mode;
        }
    }
    return kModePrivate;
}

const char* ModeScriptWord(uint8_t mode) {
    return mode < std::size(kModes) ? kModes[mode].scriptWord : kModes[kModeFull].scriptWord;
}

int16_t ParseListing(std::string_view listing, MappingObject& object) {
    ListingReader reader(listing);
    std::string line;
    std::string name;
    while (reader.ReadLine(line)) {
        if (!InterfaceNameOf(line, name)) {
            continue;
        }
        InterfaceItem current{};
        CopyText(current.name, sizeof current.name, name.c_str());
        const bool isPublic = std::strcmp(current.name, object.publicFriendlyAnsi) == 0;

        bool haveMode = false;
        while (!haveMode && reader.ReadLine(line)) {
            haveMode = StartsWith(line, kModePrefix);
        }
        if (!haveMode) {
            break;
        }
        if (int16_t result = RecordInterface(object, current.name, ModeOfLine(line));
            result != TESSALY_OK) {
            return result;
        }

        reader.ReadLine(line);
        reader.ReadLine(line);
        size_t mark = reader.Position();
        if (reader.ReadLine(line) && line == kStaticMappingHeader) {
            reader.ReadLine(line);
            mark = reader.Position();
            RuleItem rule{};
            std::memcpy(rule.interfaceName, current.name, sizeof rule.interfaceName);
            while (ReadMapping(reader, rule)) {
                if (!isPublic || PortOutsideRanges(object, rule.publicPort)) {
                    if (int16_t result = Append(object.savedRules, rule, kRuleListStep);
                        result != TESSALY_OK) {
                        return result;
                    }
                }
                reader.ReadLine(line);
                mark = reader.Position();
            }
        }
        // Whatever did not fit is read again as the possible start of the next block.
        reader.Seek(mark);
    }
    if (int16_t result = RecordInterface(object, object.publicFriendlyAnsi, kModeFull);
        result != TESSALY_OK) {
        return result;
    }
    return RecordInterface(object, object.privateFriendlyAnsi, kModePrivate);
}

bool ListingSaysNatMissing(std::string_view listing) {
    ListingReader reader(listing);
    std::string line;
    while (reader.ReadLine(line)) {
        if (StartsWith(line, kNatMissingLine)) {
            return true;
        }
    }
    return false;
}

} // namespace tessaly
