// Corrected Block TEA (XXTEA) over little-endian 32-bit words: delta 0x9E3779B9,
// 6 + 52 / n cycles for n words, 128-bit key of four words.
#pragma once

#include <cstddef>
#include <cstdint>

// Both work in place on `wordCount` words (4 × wordCount bytes) of `data`, read and
// written little-endian whatever the machine. Fewer than two words cannot be ciphered:
// they return false and leave the data as it is.
bool XxteaEncipher(uint8_t* data, size_t wordCount, const uint32_t (&key)[4]);
bool XxteaDecipher(uint8_t* data, size_t wordCount, const uint32_t (&key)[4]);
