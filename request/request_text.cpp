#include "request/request_text.h"

#include <cstdio>
#include <cstring>

void NarrowHostText(const uint8_t* utf16le, size_t byteLength,
                    char (&destination)[kNarrowHostSize]) {
    std::memset(destination, 0, sizeof destination);
    if (!utf16le) {
        return;
    }
    const size_t units = byteLength / 2;
    for (size_t i = 0; i < units && i < kNarrowHostSize - 1; ++i) {
        const uint8_t low = utf16le[2 * i];
        if (low == 0 && utf16le[2 * i + 1] == 0) {
            break;
        }
        destination[i] = static_cast<char>(low);
    }
}

int CopyName32(char16_t* destination, const char16_t* text) {
    constexpr int kUnits = 32;
    if (!destination || !text) {
        return 22;
    }
    int i = 0;
    for (; i < kUnits - 1 && text[i] != 0; ++i) {
        destination[i] = text[i];
    }
    for (; i < kUnits; ++i) {
        destination[i] = 0;
    }
    return 0;
}

void IpToNarrowText(const uint8_t* address, char (&destination)[kNarrowIpSize]) {
    std::snprintf(destination, sizeof destination, "%d.%d.%d.%d", address[0], address[1],
                  address[2], address[3]);
}

void SplitHostPort(char* text, uint16_t* port) {
    if (port) {
        *port = 0;
    }
    if (!text) {
        return;
    }
    const size_t length = std::strlen(text);
    for (size_t i = length; i-- > 1;) {
        if (text[i] != ':') {
            continue;
        }
        text[i] = '\0';
        // A port that is not a decimal number of 1..65535 gives no port, rather than one
        // wrapped or half-read.
        unsigned long value = 0;
        const char* digits = text + i + 1;
        bool valid = *digits != '\0';
        for (const char* c = digits; valid && *c; ++c) {
            valid = *c >= '0' && *c <= '9' && (value = value * 10 + unsigned(*c - '0')) <= 65535;
        }
        if (valid && port) {
            *port = static_cast<uint16_t>(value);
        }
        return;
    }
}
