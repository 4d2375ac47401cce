// The settings store: named UTF-16 text values in one SQLite database file next to the
// program ("<program directory>/<program base name>.cfg", table "CFGMRU"). Besides plain
// text it reads integers, and keeps byte strings (hexadecimal text under name + ".~bin~")
// and encoded values (an XXTEA-enciphered, checksummed blob kept as the byte string of
// name + ".~enc~").
//
// A store is opened for one use and closed at once; each thread uses its own. Results
// are 0 or one of the negative codes below. Pointers returned by a read point into the
// store and stay valid until the next read of the same form or the close.
#pragma once

#include <cstdint>

struct ConfigStore;

enum CfgStoreResult : int {
    kCfgOk = 0,
    kCfgFailed = -1,          // UTF-8 conversion, SQL text or SQLite failed
    kCfgInvalidStore = -2,    // not an open store
    kCfgNoRow = -14,          // no row of that name (read), no row deleted (delete)
    kCfgNoMemory = -15,       // out of memory
    kCfgBadArgument = -31,    // empty name, no text or data, count 0 or too large
    kCfgChecksum = -33,       // encoded value: a checksum does not match
    kCfgBadByteString = -34,  // byte string missing, empty, undecodable or short
    kCfgHexWriteFailed = -35, // byte-string write: producing the hexadecimal text failed
    kCfgHexNoRoom = -42,      // hexadecimal conversion given no or too small a buffer
    kCfgReadOnly = -43,       // write or delete on a store opened read-only
};

// SQLite open flags the program uses.
inline constexpr uint32_t kCfgOpenReadOnly = 0x00000001;  // SQLITE_OPEN_READONLY
inline constexpr uint32_t kCfgOpenReadWrite = 0x00000006; // READWRITE | CREATE

inline constexpr uint32_t kCfgMaxBytes = 65535;
inline constexpr uint32_t kCfgMaxEncoded = 65520;

// Opens the database of the running program with `openFlags` (serialized mode is always
// added). None when the path is unusable or SQLite refuses (a read-only open of a missing
// file, for one).
ConfigStore* CfgStoreOpen(uint32_t openFlags);
int CfgStoreClose(ConfigStore* store);

// `length` counts UTF-16 units including the terminator.
int CfgStoreReadText(ConfigStore* store, const char16_t* name, const char16_t** text,
                     uint32_t* length);
// The text read with a base prefix: "0x" hexadecimal, a leading "0" octal, else decimal.
// `value` is 0 on failure.
int CfgStoreReadInt(ConfigStore* store, const char16_t* name, uint32_t* value);
int CfgStoreReadBytes(ConfigStore* store, const char16_t* name, const uint8_t** data,
                      uint32_t* count);
int CfgStoreReadEncoded(ConfigStore* store, const char16_t* name, const uint8_t** data,
                        uint32_t* count);

int CfgStoreWriteText(ConfigStore* store, const char16_t* name, const char16_t* text);
// No data or a count of 0 deletes the name + ".~bin~" row instead.
int CfgStoreWriteBytes(ConfigStore* store, const char16_t* name, const uint8_t* data,
                       uint32_t count);
int CfgStoreWriteEncoded(ConfigStore* store, const char16_t* name, const uint8_t* data,
                         uint32_t count);
int CfgStoreDelete(ConfigStore* store, const char16_t* rowName);

// The UTF-8 path of an open store's database file; null for an invalid store.
const char* CfgStoreDatabasePath(const ConfigStore* store);
