#include "config/address_text.h"

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

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'z') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return c - u'A' + 10;
    }
    return 99;
}

// Reads the number at the start of [begin, end) the way the run-time library's wide
// strtol does with a 32-bit long: leading blanks, an optional sign, an optional "0x" for
// base 16, digits up to the first non-digit, saturation at the 32-bit limits. No digits
// read as 0.
int32_t ReadNumber(const char16_t* begin, const char16_t* end, int base) {
    const char16_t* p = begin;
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == u'+' || *p == u'-')) {
        negative = *p == u'-';
        ++p;
    }
    if (base == 16 && end - p >= 3 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2]) < 16) {
        p += 2;
    }
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; p < end && DigitValue(*p) < base; ++p) {
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*p));
        if (magnitude > 0x80000000u) {
            overflow = true;
            magnitude = 0x80000000u;
        }
    }
    if (negative) {
        return overflow || magnitude == 0x80000000u ? INT32_MIN : -static_cast<int32_t>(magnitude);
    }
    return overflow || magnitude > 0x7FFFFFFFu ? INT32_MAX : static_cast<int32_t>(magnitude);
}

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
        out[stored++] = static_cast<uint8_t>(ReadNumber(units + partStart, units + i, base));
        partStart = i + 1;
        if (stored == count) {
            return;
        }
    }
    out[stored] = static_cast<uint8_t>(ReadNumber(units + partStart, units + copy.length, base));
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
