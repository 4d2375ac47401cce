// The platform side of TessalyAPI: where the adapter list and the IPv4 address table come
// from. One implementation file per platform (adapter_source_linux.cpp here); the rest of
// the library only sees these records.
#pragma once

#include "tessaly/tessaly_api.h"

#include <cstdint>
#include <vector>

namespace tessaly {

// Interface types as the record's consumers know them.
inline constexpr uint32_t kIfTypeOther = 1;
inline constexpr uint32_t kIfTypeEthernet = 6;
inline constexpr uint32_t kIfTypeLoopback = 24;
inline constexpr uint32_t kIfTypeWireless = 71;
inline constexpr uint32_t kIfTypeTunnel = 131;

// One adapter as the system reports it, every type included.
struct Adapter {
    char name[TESSALY_ADAPTER_NAME_SIZE];
    char16_t description[TESSALY_DESCRIPTION_UNITS];
    char16_t friendlyName[TESSALY_FRIENDLY_NAME_UNITS];
    char friendlyNameAnsi[TESSALY_FRIENDLY_ANSI_SIZE];
    uint32_t ifType;
    bool up;
    uint8_t mac[6];
    uint8_t ipv4[4]; // first unicast IPv4 address, zero when none
};

// One row of the IPv4 address table.
struct AddressRow {
    uint8_t address[4];
    uint8_t mask[4];
};

enum class QueryResult { Ok, Failed, OutOfMemory };

using AdapterQuery = QueryResult (*)(std::vector<Adapter>& adapters);
using AddressTableQuery = QueryResult (*)(std::vector<AddressRow>& rows);

// The two queries as found when the platform was opened; either may be missing.
struct PlatformQueries {
    AdapterQuery adapters;
    AddressTableQuery addressTable;
};

// Obtains what the queries need (sockets, the module that holds them). False when that
// failed; whatever was obtained is released again.
bool OpenPlatform(PlatformQueries& queries);
void ClosePlatform();

} // namespace tessaly
