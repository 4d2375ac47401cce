#include "config/address_text.h"

#include "config/number_text.h"

#include <cstring>

namespace {

// A copy of at most 31 units of `text`, so no conversion reads further.
struct ScanCopy {
    char16_t units[kAddressTextScan + 1]{};
    size_t length = 0;

    explicit ScanCopy(const char16_t* text) {
        if (!text) {
            return;
        }
        while (length < kAddressTextScan && text[length] != 0) {
            units[length] = text[length];
            ++length;
        }
    }
};

// Splits the copy at separators and stores the low 8 bits of each part, at most `count`
// parts; a separator-ended part that fills the last byte ends the scan.
void ScanParts(const char16_t* text, uint8_t* out, int count, int base, bool colonOrDash) {
    std::memset(out, 0, static_cast<size_t>(count));
    const ScanCopy copy(text);
    const char16_t* units = copy.units;
    int stored = 0;
    size_t partStart = 0;
    for (size_t i = 0; i < copy.length; ++i) {
        const char16_t c = units[i];
        const bool separator = colonOrDash ? (c == u':' || c == u'-') : c == u'.';
        if (!separator) {
            continue;
        }
        out[stored++] = static_cast<uint8_t>(ReadLongNumber(units + partStart, units + i, base));
        partStart = i + 1;
        if (stored == count) {
            return;
        }
    }
    out[stored] =
        static_cast<uint8_t>(ReadLongNumber(units + partStart, units + copy.length, base));
}

char16_t HexDigit(unsigned value) {
    return static_cast<char16_t>(value < 10 ? u'0' + value : u'A' + (value - 10));
}

} // namespace

void IpToText(const uint8_t* address, char16_t (&destination)[kIpTextUnits]) {
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            destination[at++] = u'.';
        }
        const unsigned value = address[i];
        if (value >= 100) {
            destination[at++] = static_cast<char16_t>(u'0' + value / 100);
        }
        if (value >= 10) {
            destination[at++] = static_cast<char16_t>(u'0' + value / 10 % 10);
        }
        destination[at++] = static_cast<char16_t>(u'0' + value % 10);
    }
    destination[at] = 0;
}

void TextToIp(const char16_t* text, uint8_t* address) {
    ScanParts(text, address, 4, 10, false);
}

void MacToText(const uint8_t* mac, char16_t (&destination)[kMacTextUnits]) {
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            destination[at++] = u':';
        }
        destination[at++] = HexDigit(mac[i] >> 4);
        destination[at++] = HexDigit(mac[i] & 0x0Fu);
    }
    destination[at] = 0;
}

void TextToMac(const char16_t* text, uint8_t* mac) {
    ScanParts(text, mac, 6, 16, true);
}

void TextToVersion(const char16_t* text, uint8_t* version, int parts) {
    if (parts < 1 || parts > 4) {
        return;
    }
    ScanParts(text, version, parts, 10, false);
}
