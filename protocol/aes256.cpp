#include "protocol/aes256.h"

#include <array>

namespace {

struct AesTables {
    std::array<uint8_t, 256> sbox{};
    std::array<uint8_t, 256> inverseSbox{};
    std::array<uint8_t, 256> doubled{};
    std::array<uint8_t, 256> log{};
    std::array<uint8_t, 512> power{}; // twice the period, so log sums need no modulo
};

constexpr uint8_t Double(uint8_t value) {
    return static_cast<uint8_t>((value << 1) ^ ((value & 0x80) ? 0x1B : 0x00));
}

constexpr AesTables MakeTables() {
    AesTables t;
    // Powers of the generator 3 walk the whole multiplicative group of GF(2^8).
    uint8_t value = 1;
    for (int i = 0; i < 255; ++i) {
        t.power[i] = value;
        t.power[i + 255] = value;
        t.log[value] = static_cast<uint8_t>(i);
        value = static_cast<uint8_t>(value ^ Double(value));
    }
    t.power[510] = t.power[0];
    t.power[511] = t.power[1];
    for (int i = 0; i < 256; ++i) {
        t.doubled[i] = Double(static_cast<uint8_t>(i));
        const uint8_t inverse = i == 0 ? 0 : t.power[255 - t.log[i]];
        uint8_t s = inverse;
        uint8_t rotated = inverse;
        for (int k = 0; k < 4; ++k) {
            rotated = static_cast<uint8_t>((rotated << 1) | (rotated >> 7));
            s ^= rotated;
        }
        s ^= 0x63;
        t.sbox[i] = s;
        t.inverseSbox[s] = static_cast<uint8_t>(i);
    }
    return t;
}

constexpr AesTables kT = MakeTables();

static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x53] == 0xED && kT.inverseSbox[0x63] == 0x00);

// Product with a fixed non-zero coefficient given by its logarithm.
inline uint8_t MulByLog(uint8_t value, int coefficientLog) {
    return value == 0 ? 0 : kT.power[kT.log[value] + coefficientLog];
}

constexpr int kLog09 = kT.log[0x09];
constexpr int kLog0B = kT.log[0x0B];
constexpr int kLog0D = kT.log[0x0D];
constexpr int kLog0E = kT.log[0x0E];

// The state is the block itself, row r in bytes 4r..4r+3; column c is bytes c, 4+c,
// 8+c, 12+c. Round key byte 4c + r belongs to row r, column c.
inline void AddRoundKey(uint8_t* s, const uint8_t* roundKey) {
    for (int c = 0; c < 4; ++c) {
        s[c] ^= roundKey[4 * c];
        s[4 + c] ^= roundKey[4 * c + 1];
        s[8 + c] ^= roundKey[4 * c + 2];
        s[12 + c] ^= roundKey[4 * c + 3];
    }
}

inline void SubBytesShiftRows(uint8_t* s) {
    uint8_t t[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            t[4 * r + c] = kT.sbox[s[4 * r + ((c + r) & 3)]];
        }
    }
    for (int i = 0; i < 16; ++i) {
        s[i] = t[i];
    }
}

inline void InvShiftRowsSubBytes(uint8_t* s) {
    uint8_t t[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            t[4 * r + ((c + r) & 3)] = kT.inverseSbox[s[4 * r + c]];
        }
    }
    for (int i = 0; i < 16; ++i) {
        s[i] = t[i];
    }
}

inline void MixColumns(uint8_t* s) {
    for (int c = 0; c < 4; ++c) {
        const uint8_t a0 = s[c], a1 = s[4 + c], a2 = s[8 + c], a3 = s[12 + c];
        const uint8_t all = static_cast<uint8_t>(a0 ^ a1 ^ a2 ^ a3);
        // 2a ^ 3b ^ c ^ d == a ^ all ^ 2(a ^ b)
        s[c] = static_cast<uint8_t>(a0 ^ all ^ kT.doubled[a0 ^ a1]);
        s[4 + c] = static_cast<uint8_t>(a1 ^ all ^ kT.doubled[a1 ^ a2]);
        s[8 + c] = static_cast<uint8_t>(a2 ^ all ^ kT.doubled[a2 ^ a3]);
        s[12 + c] = static_cast<uint8_t>(a3 ^ all ^ kT.doubled[a3 ^ a0]);
    }
}

inline void InvMixColumns(uint8_t* s) {
    for (int c = 0; c < 4; ++c) {
        const uint8_t a0 = s[c], a1 = s[4 + c], a2 = s[8 + c], a3 = s[12 + c];
        s[c] = static_cast<uint8_t>(MulByLog(a0, kLog0E) ^ MulByLog(a1, kLog0B) ^
                                    MulByLog(a2, kLog0D) ^ MulByLog(a3, kLog09));
        s[4 + c] = static_cast<uint8_t>(MulByLog(a0, kLog09) ^ MulByLog(a1, kLog0E) ^
                                        MulByLog(a2, kLog0B) ^ MulByLog(a3, kLog0D));
        s[8 + c] = static_cast<uint8_t>(MulByLog(a0, kLog0D) ^ MulByLog(a1, kLog09) ^
                                        MulByLog(a2, kLog0E) ^ MulByLog(a3, kLog0B));
        s[12 + c] = static_cast<uint8_t>(MulByLog(a0, kLog0B) ^ MulByLog(a1, kLog0D) ^
                                         MulByLog(a2, kLog09) ^ MulByLog(a3, kLog0E));
    }
}

} // namespace

void Aes256ExpandKey(const uint8_t key[kAes256KeySize], Aes256Schedule& schedule) {
    uint8_t* w = schedule.roundKeys;
    for (int i = 0; i < kAes256KeySize; ++i) {
        w[i] = key[i];
    }
    constexpr int kKeyWords = kAes256KeySize / 4;
    constexpr int kTotalWords = 4 * (kAes256Rounds + 1);
    uint8_t roundConstant = 1;
    for (int i = kKeyWords; i < kTotalWords; ++i) {
        uint8_t t[4] = {w[4 * i - 4], w[4 * i - 3], w[4 * i - 2], w[4 * i - 1]};
        if (i % kKeyWords == 0) {
            const uint8_t first = t[0];
            t[0] = static_cast<uint8_t>(kT.sbox[t[1]] ^ roundConstant);
            t[1] = kT.sbox[t[2]];
            t[2] = kT.sbox[t[3]];
            t[3] = kT.sbox[first];
            roundConstant = kT.doubled[roundConstant];
        } else if (i % kKeyWords == 4) {
            for (uint8_t& byte : t) {
                byte = kT.sbox[byte];
            }
        }
        for (int k = 0; k < 4; ++k) {
            w[4 * i + k] = static_cast<uint8_t>(w[4 * (i - kKeyWords) + k] ^ t[k]);
        }
    }
}

void Aes256EncryptBlock(const Aes256Schedule& schedule, uint8_t block[kAesBlockSize]) {
    const uint8_t* keys = schedule.roundKeys;
    AddRoundKey(block, keys);
    for (int round = 1; round < kAes256Rounds; ++round) {
        SubBytesShiftRows(block);
        MixColumns(block);
        AddRoundKey(block, keys + kAesBlockSize * round);
    }
    SubBytesShiftRows(block);
    AddRoundKey(block, keys + kAesBlockSize * kAes256Rounds);
}

void Aes256DecryptBlock(const Aes256Schedule& schedule, uint8_t block[kAesBlockSize]) {
    const uint8_t* keys = schedule.roundKeys;
    AddRoundKey(block, keys + kAesBlockSize * kAes256Rounds);
    for (int round = kAes256Rounds - 1; round > 0; --round) {
        InvShiftRowsSubBytes(block);
        AddRoundKey(block, keys + kAesBlockSize * round);
        InvMixColumns(block);
    }
    InvShiftRowsSubBytes(block);
    AddRoundKey(block, keys);
}
