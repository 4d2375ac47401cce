#include "netif/interface_entries.h"

#include "config/address_text.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

TessalyCalls RealTessalyCalls() {
    return {&TessalyInit, &TessalyGetNICs};
}

void CollectFromTessaly(InterfaceList& list, const TessalyCalls& calls) {
    list.count = 0;
    if (calls.init() < 0) {
        return;
    }
    const int found = calls.getNics(nullptr, 0);
    if (found <= 0) {
        return;
    }
    // Room for interfaces that appear between the two calls, within the 16-bit capacity.
    const int capacity = std::min(found + 16, int{std::numeric_limits<uint16_t>::max()});
    std::unique_ptr<TessalyNic[]> records(new (std::nothrow) TessalyNic[capacity]);
    if (!records) {
        return;
    }
    const int listed = calls.getNics(records.get(), static_cast<uint16_t>(capacity));
    // The library counts every interface but writes only as many records as fit.
    const int written = std::min(listed, capacity);
    for (int i = 0; i < written && list.count < kMaxInterfaceEntries; ++i) {
        const TessalyNic& nic = records[i];
        if (!nic.upFlag) {
            continue;
        }
        InterfaceEntry& entry = list.entries[list.count++];
        char16_t mac[kMacTextUnits], ip[kIpTextUnits], mask[kIpTextUnits];
        MacToText(nic.macAddress, mac);
        IpToText(nic.ipAddress, ip);
        IpToText(nic.subnetMask, mask);
        SetField(entry.macAddress, mac);
        SetField(entry.ipAddress, ip);
        SetField(entry.subnetMask, mask);
        size_t length = 0;
        while (length < TESSALY_DESCRIPTION_UNITS && nic.description[length] != 0) {
            ++length;
        }
        const std::u16string description(nic.description, nic.description + length);
        SetField(entry.description, description);
    }
}

namespace {

constexpr std::string_view kSeparator = ": ";

// The text after the label's ": " up to the end of its line, or nothing when the label's
// line has no ": ".
bool ValueAfter(std::string_view section, size_t label, std::string_view* value) {
    const size_t lineEnd = section.find_first_of("\r\n", label);
    const std::string_view line = section.substr(label, lineEnd - std::min(lineEnd, label));
    const size_t separator = line.find(kSeparator);
    if (separator == std::string_view::npos) {
        return false;
    }
    *value = line.substr(separator + kSeparator.size());
    return true;
}

std::u16string Widen(std::string_view text) {
    // Each byte becomes one unit, as the output's single-byte text is read.
    std::u16string wide;
    for (char c : text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return wide;
}

template <size_t N>
void AddressField(std::string_view section, std::string_view label, const char16_t* missing,
                  bool mac, char16_t (&field)[N]) {
    const size_t at = section.find(label);
    if (at == std::string_view::npos) {
        return; // the field stays empty
    }
    std::string_view value;
    if (!ValueAfter(section, at, &value)) {
        SetField(field, missing);
        return;
    }
    const std::u16string text = Widen(value.substr(0, kAddressTextScan));
    if (mac) {
        uint8_t bytes[6] = {};
        TextToMac(text.c_str(), bytes);
        char16_t out[kMacTextUnits];
        MacToText(bytes, out);
        SetField(field, out);
    } else {
        uint8_t bytes[4] = {};
        TextToIp(text.c_str(), bytes);
        char16_t out[kIpTextUnits];
        IpToText(bytes, out);
        SetField(field, out);
    }
}

} // namespace

void ParseIpconfigText(std::string_view text, InterfaceList& list) {
    list.count = 0;
    constexpr std::string_view kDescription = "Description";
    size_t scan = 0;
    while (list.count < kMaxInterfaceEntries) {
        const size_t start = text.find(kDescription, scan);
        if (start == std::string_view::npos) {
            break;
        }
        scan = start + kDescription.size();
        const size_t next = text.find(kDescription, scan);
        const std::string_view section =
            text.substr(start, next == std::string_view::npos ? next : next - start);

        InterfaceEntry& entry = list.entries[list.count];
        entry = InterfaceEntry{};
        std::string_view description;
        if (ValueAfter(section, 0, &description)) {
            SetField(entry.description, Widen(description.substr(0, kDescriptionUnits - 1)));
        } else {
            SetField(entry.description, u"UNKNOWN INTERFACE");
        }
        AddressField(section, "Physical Address", u"0:0:0:0:0:0", true, entry.macAddress);
        AddressField(section, "IP Address", u"0.0.0.0", false, entry.ipAddress);
        AddressField(section, "Subnet Mask", u"255.255.255.0", false, entry.subnetMask);
        ++list.count;
    }
}

bool ParseIpconfigFile(const std::string& path, InterfaceList& list) {
    list.count = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    std::fclose(file);
    ParseIpconfigText(text, list);
    return true;
}
