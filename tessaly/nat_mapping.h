// The NAT mapping object behind a TessalyHandle, its three growing lists and the port
// test. Plain records: the object is allocated zero-filled and the lists grow with
// realloc, so a zeroed object is a valid empty one.
#pragma once

#include "tessaly/tessaly_api.h"

#include <cstdint>

namespace tessaly {

inline constexpr uint16_t kMappingMagic = 0x6563;
inline constexpr uint16_t kInterfaceListStep = 8;
inline constexpr uint16_t kRuleListStep = 64;
inline constexpr uint32_t kMostListItems = 65535;

inline constexpr uint8_t kModeFull = 0;
inline constexpr uint8_t kModePrivate = 1;

// An interface to declare, by the name netsh knows it under.
struct InterfaceItem {
    char name[TESSALY_FRIENDLY_ANSI_SIZE];
    uint8_t mode;
};

// A static port mapping; addresses first octet first.
struct RuleItem {
    char interfaceName[TESSALY_FRIENDLY_ANSI_SIZE];
    uint16_t publicPort;
    uint16_t privatePort;
    uint8_t publicAddress[4];
    uint8_t privateAddress[4];
    uint8_t protocols; // TESSALY_PROTO_TCP | TESSALY_PROTO_UDP
};

template <typename T> struct GrowingList {
    uint16_t count;
    uint16_t capacity;
    T* items;
};

// Appends a copy of `item`, growing the list by `step` items when it is full. 0, or
// TESSALY_LIST_FULL when the capacity would pass 65,535 items, or TESSALY_OUT_OF_MEMORY.
template <typename T> int16_t Append(GrowingList<T>& list, const T& item, uint16_t step);
template <typename T> void Release(GrowingList<T>& list);

struct MappingObject {
    uint16_t usePublicAddress;
    uint16_t magic;
    char publicAdapterName[TESSALY_ADAPTER_NAME_SIZE];
    char privateAdapterName[TESSALY_ADAPTER_NAME_SIZE];
    char16_t publicDescription[TESSALY_DESCRIPTION_UNITS];
    char16_t privateDescription[TESSALY_DESCRIPTION_UNITS];
    char16_t publicFriendlyName[TESSALY_FRIENDLY_NAME_UNITS];
    char16_t privateFriendlyName[TESSALY_FRIENDLY_NAME_UNITS];
    char publicFriendlyAnsi[TESSALY_FRIENDLY_ANSI_SIZE]; // the name netsh uses
    char privateFriendlyAnsi[TESSALY_FRIENDLY_ANSI_SIZE];
    uint8_t publicMac[8];
    uint8_t privateMac[8];
    uint8_t publicIpv4[4];
    uint8_t privateIpv4[4];
    uint16_t range1Low;
    uint16_t range1High;
    uint16_t range2Low;
    uint16_t range2High;
    GrowingList<InterfaceItem> interfaces;
    GrowingList<RuleItem> savedRules;
    GrowingList<RuleItem> newRules;
};

// A port is outside when it lies below both low bounds or above both high bounds.
inline bool PortOutsideRanges(const MappingObject& object, uint16_t port) {
    return (port < object.range1Low && port < object.range2Low) ||
           (port > object.range1High && port > object.range2High);
}

// Adds the interface with `mode`, or gives an existing item of the same name that mode.
int16_t RecordInterface(MappingObject& object, const char* name, uint8_t mode);

// Copies a terminated text into a fixed field, cut to fit and terminated.
void CopyText(char* field, size_t size, const char* text);

} // namespace tessaly
