// A printf over UTF-16 text in the Windows wide dialect: "%s" (and "%ls", "%ws") takes a
// char16_t string, "%S" (and "%hs") a narrow one; "%c" a UTF-16 unit, "%C" a narrow
// character. Integers: d i u x X o with the flags - 0 + space #, width and precision
// (either may be *), and the size prefixes h, hh, l, ll, I, I32, I64, z, j, t. As on
// Windows, "l" is 32 bits wide: "%lu" takes an unsigned int-sized value, "%llu" or
// "%I64u" a 64-bit one. "%p" prints a pointer in 16 upper-case hex digits. "%n" writes
// nothing and consumes its argument; floating-point conversions are not supported and
// an unknown conversion is copied as it stands.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into `out`, keeping at most `capacity` - 1 units and always ending the text
// with a zero unit (capacity 0 writes nothing). Returns the number of units kept.
size_t WideFormatV(char16_t* out, size_t capacity, const char16_t* format, va_list args);
size_t WideFormat(char16_t* out, size_t capacity, const char16_t* format, ...);
