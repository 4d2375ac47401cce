// AES-256 (14 rounds, standard key expansion) over blocks laid out row by row: block
// byte 4r + j is state row r, column j, and the result is read back the same way.
// Equivalently: transpose the 4x4 block, apply standard AES-256, transpose back. Key
// byte 4j + r is row r of key word j, as in the standard.
#pragma once

#include <cstdint>

inline constexpr int kAesBlockSize = 16;
inline constexpr int kAes256KeySize = 32;
inline constexpr int kAes256Rounds = 14;

// The expanded key: 15 round keys of 16 bytes, word by word.
struct Aes256Schedule {
    uint8_t roundKeys[(kAes256Rounds + 1) * kAesBlockSize];
};

void Aes256ExpandKey(const uint8_t key[kAes256KeySize], Aes256Schedule& schedule);

// Transform one block in place.
void Aes256EncryptBlock(const Aes256Schedule& schedule, uint8_t block[kAesBlockSize]);
void Aes256DecryptBlock(const Aes256Schedule& schedule, uint8_t block[kAesBlockSize]);
