// Conversions between address or version bytes and their UTF-16 texts. Pure functions:
// what a text does not say stays zero, and no text is read beyond its first 31 units.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kIpTextUnits = 16;  // "255.255.255.255" and its terminator
inline constexpr size_t kMacTextUnits = 18; // "FF:FF:FF:FF:FF:FF" and its terminator
inline constexpr size_t kAddressTextScan = 31;

// "%d.%d.%d.%d" of the four bytes (first octet first) into `destination`, terminated.
void IpToText(const uint8_t* address, char16_t (&destination)[kIpTextUnits]);

// Four bytes from a dotted decimal text; the scan stops after the fourth '.'-ended part.
// Each part keeps its low 8 bits; missing or non-numeric parts are 0. A null text gives
// 0.0.0.0.
void TextToIp(const char16_t* text, uint8_t* address);

// "%2.2X:%2.2X:%2.2X:%2.2X:%2.2X:%2.2X" of the six bytes into `destination`, terminated.
void MacToText(const uint8_t* mac, char16_t (&destination)[kMacTextUnits]);

// Six bytes from hexadecimal parts separated by ':' or '-' (each with or without "0x");
// the scan stops after the sixth separator-ended part.
void TextToMac(const char16_t* text, uint8_t* mac);

// `parts` bytes (3 or 4; other counts from 1 to 4 work alike, anything else writes
// nothing) from a dotted decimal version text, most significant part first. The scan
// stops as soon as every byte is stored, so a longer text never writes past `version`.
void TextToVersion(const char16_t* text, uint8_t* version, int parts);
