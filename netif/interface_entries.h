// The interfaces the operator can choose from: at most 10 entries of address texts, from
// TessalyAPI or, on Windows versions before 5.1, from the output of "ipconfig /all".
#pragma once

#include "tessaly/tessaly_api.h"

#include <cstdint>
#include <string>

inline constexpr int kMaxInterfaceEntries = 10;
inline constexpr int kDescriptionUnits = 64;
inline constexpr int kAddressUnits = 32;

struct InterfaceEntry {
    char16_t description[kDescriptionUnits]; // at most 63 characters
    char16_t ipAddress[kAddressUnits];
    char16_t macAddress[kAddressUnits];
    char16_t subnetMask[kAddressUnits];
};

struct InterfaceList {
    int count = 0;
    InterfaceEntry entries[kMaxInterfaceEntries] = {};
};

// Copies at most N - 1 units of `text` and terminates the field.
template <size_t N> void SetField(char16_t (&field)[N], std::u16string_view text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, length);
    field[length] = 0;
    for (size_t i = length + 1; i < N; ++i) {
        field[i] = 0;
    }
}

// The library calls the list is built from; tests hand in their own.
struct TessalyCalls {
    int16_t (*init)();
    int16_t (*getNics)(TessalyNic* records, uint16_t capacity);
};
TessalyCalls RealTessalyCalls();

// Lists the up interfaces the library reports, the first 10 of them. Reads only the
// records the library wrote, however many interfaces it says it found. Failures leave the
// list empty.
void CollectFromTessaly(InterfaceList& list, const TessalyCalls& calls);

// Entries from the text of "ipconfig /all", at most 10 adapters. Each adapter section
// runs from its "Description" to the next one; its "Physical Address", "IP Address" and
// "Subnet Mask" are looked for only inside it.
void ParseIpconfigText(std::string_view text, InterfaceList& list);
// The same for a file; false when it could not be opened.
bool ParseIpconfigFile(const std::string& path, InterfaceList& list);
