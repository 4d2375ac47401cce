// The envelope of every message between the station and a unit: a 16-byte header and a
// payload that is plain or AES-256 enciphered with a per-packet key. Pure routines over
// the caller's buffers; they allocate nothing and keep no state.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kPacketHeaderSize = 16;
// Nonce (4 bytes) and inner CRC (2 bytes) in front of the cipher text.
inline constexpr size_t kCipherPrefixSize = 6;
inline constexpr size_t kPlainPayloadOffset = kPacketHeaderSize;
inline constexpr size_t kCipherPayloadOffset = kPacketHeaderSize + kCipherPrefixSize;
inline constexpr uint16_t kMaxPayloadLength = 2047;
inline constexpr int kKeyNameUnits = 32;

// Flags byte (header byte 2).
inline constexpr uint8_t kCipherModeMask = 0x03;
inline constexpr uint8_t kCipherPlain = 0x00;
inline constexpr uint8_t kCipherAes = 0x01;
inline constexpr uint8_t kKeySelectorMask = 0x0C;
inline constexpr uint8_t kKeyFromMac = 0x00;
inline constexpr uint8_t kKeyFromName = 0x04;
inline constexpr uint8_t kKeyFixedFirst = 0x08;
inline constexpr uint8_t kKeyFixedLast = 0x0C;
inline constexpr uint8_t kTypeMask = 0x70;

// Type codes (bits 4-6 of the source-type byte and of the flags byte).
inline constexpr uint8_t kTypeStation = 0x10;
inline constexpr uint8_t kTypeUnit = 0x20;
inline constexpr uint8_t kTypeSecondKind = 0x30;
inline constexpr uint8_t kTypeEvery = 0x70;

// What the station puts in front of the cipher mode: destination a unit, fixed key.
inline constexpr uint8_t kStationFlags = kTypeUnit | kKeyFixedLast;

// CipherBlocks directions.
inline constexpr int kEncipher = 0;
inline constexpr int kDecipher = 1;

// Eight bytes of key material for `selector` (flags & 0x0C): the MAC and two zeros, the
// CRCs of the name's four 16-byte quarters, or half of the fixed text. `name` is read
// up to its first zero unit or its 32nd unit; null is the empty name.
void PacketKeyMaterial(uint8_t selector, const uint8_t* mac, const char16_t* name,
                       uint8_t material[8]);

// Enciphers (direction 0) or deciphers (1) the ceil(length/16) whole blocks at `data` in
// place. Enciphering first draws a fresh nonce (from the calling thread's generator,
// seeded with the current second) with length mod 16 in the low bits of nonce[3], and
// returns the cipher-text length; deciphering reads the nonce and returns the plaintext
// length it announces. Any other direction, or a length of 0, returns 0.
uint16_t CipherBlocks(const uint8_t material[8], uint8_t nonce[4], int direction, uint8_t* data,
                      uint16_t length);

// Builds a packet into `out` (room for `capacity` bytes) and returns its total length, or
// 0 when the cipher mode is 2 or 3, when the packet would not fit `capacity`, or when its
// payload would exceed 2047 bytes. `sourceIp` (4 bytes) may be null: header bytes 4-7
// then stay as they were. `mac` is used for key selector 0x00, `name` for 0x04.
size_t BuildPacket(const uint8_t* sourceIp, const uint8_t* mac, const char16_t* name, uint8_t* out,
                   size_t capacity, uint8_t flags, uint8_t command, uint8_t subCommand,
                   const uint8_t* body, size_t bodyLength);

// Opens the `received` bytes at `packet` and returns the payload offset (16 plain, 22
// enciphered, the plaintext deciphered in place) with its length in `*payloadLength`, or
// 0 when the packet is refused. `sourceIp` (optional) receives header bytes 4-7.
size_t ParsePacket(uint8_t* packet, size_t received, const uint8_t* mac, const char16_t* name,
                   uint8_t* sourceIp, uint16_t* payloadLength);
