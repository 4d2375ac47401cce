// Small text conversions shared by the command handlers.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kNarrowHostSize = 24;
inline constexpr size_t kNarrowIpSize = 16;

// Narrow host text from UTF-16LE bytes: the low byte of each unit up to the first zero
// unit, at most 23 characters; the rest of the 24 bytes is zero.
void NarrowHostText(const uint8_t* utf16le, size_t byteLength,
                    char (&destination)[kNarrowHostSize]);

// Copies at most 31 units of `text` and zero-fills the rest of the 32 units. Returns 0, or
// 22 (nothing written) when either argument is absent.
int CopyName32(char16_t* destination, const char16_t* text);

// "%d.%d.%d.%d" of four address bytes.
void IpToNarrowText(const uint8_t* address, char (&destination)[kNarrowIpSize]);

// Splits "host:port" in place at its last ':' (not before the second character) and
// returns the port through `port`: 0 when there is no ':' or no valid port number.
void SplitHostPort(char* text, uint16_t* port);
