// Client operations over the device session commands: each builds one exchange, runs it
// through the dispatcher, reads the first reply item and frees the exchange on every
// path. Any failure, including a reply of the wrong code, tag, type or length, is false.
//
// MAC and address texts are zero-terminated UTF-16 texts ("00:11:22:33:44:55",
// "192.0.2.7"); they travel as request items with their zero unit.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest command data ProcSendCmd and ProcSSendCmd pass on.
inline constexpr size_t kMaxCommandData = 128;

// Command 33 to this station: true when a session to the unit could be opened.
bool ProcTestRemDevConnection(uint8_t flags, const char16_t* macText, const char16_t* addressText);

// Command 11: asks for state `stateTag` with `argument` (4 bytes, most significant first;
// 0xFFFFFFFF sends the item without a value). On success copies the answer to
// `destination` when `*room` holds it and sets `*room` to its length.
bool ProcQryState(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                  uint32_t argument, uint16_t stateTag, int* room, void* destination);

// Command 9 with configuration tag 17; otherwise as ProcQryState.
bool ProcQryConfig(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                   uint32_t argument, int* room, void* destination);

// Command 41: four zero bytes and `data` (at most 128 bytes, may be absent) under tag 16;
// true when the unit acknowledged with 0x55.
bool ProcSendCmd(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                 size_t dataLength, const uint8_t* data);

// Command 42: logs in with `groupName` and `groupKey` (zero-terminated UTF-16) instead of
// the station's, sends four zero bytes and `data` (1 to 128 bytes) under tag 13; true
// when the unit acknowledged with 0x55. No data: false without a request.
bool ProcSSendCmd(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                  const char16_t* groupName, const char16_t* groupKey, size_t dataLength,
                  const uint8_t* data);
