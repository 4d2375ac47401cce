// Reading a number from UTF-16 text the way the run-time library's wide strtol does with
// a 32-bit long.
#pragma once

#include <cstdint>

// Reads the number at the start of [begin, end): leading blanks, an optional sign, then
// digits of `base` up to the first other unit. Base 16 takes an optional "0x"; base 0
// chooses 16 after "0x", 8 after a leading "0", else 10. Values beyond the 32-bit range
// saturate at INT32_MAX or INT32_MIN; no digits read as 0.
int32_t ReadLongNumber(const char16_t* begin, const char16_t* end, int base);
