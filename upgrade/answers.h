// Decoding of the answers units give to the passes' queries. Every copy out of an answer
// is bounded by the answer's length: a text without its zero byte inside the answer ends
// at the answer's end.
#pragma once

#include "app/device_table.h"

#include <cstddef>
#include <cstdint>

// Room for the longest answer a session can carry.
inline constexpr uint32_t kAnswerRoom = 2048;

// Query tags.
inline constexpr uint16_t kTagPackageAttributes = 14;
inline constexpr uint16_t kTagSecondaryList = 12;
inline constexpr uint16_t kTagSecondaryVersions = 6;
inline constexpr uint16_t kTagSecondaryModel = 9;

// Package attributes into `record`: map, the three package versions, the installed file
// name, the bootloader revision and file name ("unknown" when the answer holds none).
// An answer of 12 bytes or fewer changes nothing. Returns whether it changed the record.
bool DecodePackageAttributes(const uint8_t* answer, size_t length, DeviceEntry& record);

// The number of secondaries in a list answer (4 unused bytes, then 4-byte ids), at most
// kMaxSecondaries, and the id of secondary `i`.
int SecondaryCount(size_t length);
uint32_t SecondaryId(const uint8_t* answer, int i);

// Each returns whether the answer was long enough to change `secondary`.
bool DecodeSecondaryVersions(const uint8_t* answer, size_t length, SecondaryEntry& secondary);
bool DecodeSecondaryModel(const uint8_t* answer, size_t length, SecondaryEntry& secondary);
bool DecodeSecondaryName(const uint8_t* answer, size_t length, SecondaryEntry& secondary);

// Narrow text at `text` of at most `available` bytes, widened byte by byte into `out` of
// `units` units: at most units - 1 characters, always terminated. Returns the length of
// the text in the answer (up to its zero byte or `available`), however much was kept.
size_t WidenAnswerText(const uint8_t* text, size_t available, char16_t* out, size_t units);
