// The table of known units: one entry per unit, in order of first discovery, and the
// merges through which replies and pass results reach it. Written only on the
// user-interface thread.
#pragma once

#include "package/package_flags.h"

#include <atomic>
#include <cstdint>

struct VersionTriple {
    uint8_t major;
    uint8_t minor;
    uint8_t build;
};

inline constexpr int kModelUnits = 20;
inline constexpr int kEntryNameUnits = 32;
inline constexpr int kPackNameUnits = 64;
inline constexpr int kMaxSecondaries = 32;
inline constexpr int kDeviceTableSlots = 500;
inline constexpr int kNoSlot = -1;

struct SecondaryEntry {
    uint32_t id; // 0 marks an empty slot
    char16_t model[kModelUnits];
    char16_t name[kEntryNameUnits];
    VersionTriple swVersion;
    uint8_t hwRev;
    VersionTriple kernelVersion;
    VersionTriple filesysVersion;
    VersionTriple patchVersion;
    uint32_t bootloaderRev;
};

enum DeviceStatus : uint8_t {
    kStatusInvalid = 0,
    kStatusPresent = 1,
    kStatusUntested = 2,
    kStatusTested = 3,
    kStatusFailedTest = 4,
    kStatusUpgraded = 5,
    kStatusFailedUpgrade = 6,
};
inline constexpr int kDeviceStatusCount = 7;

enum SelectionMark : uint8_t { kNotShown = 0, kShown = 1, kShownSelected = 2 };

enum SecondaryState : uint8_t {
    kSecondaryInvalid = 0,
    kSecondaryPresent = 1,
    kSecondaryTested = 2,
    kSecondarySelected = 3,
    kSecondaryUpgraded = 4,
    kSecondaryFailed = 5,
};
inline constexpr int kSecondaryStateCount = 6;

struct DeviceEntry {
    uint8_t macAddress[6];
    uint8_t ipAddress[4];
    char16_t model[kModelUnits];
    char16_t deviceName[kEntryNameUnits];
    char16_t groupName[kEntryNameUnits];
    char16_t groupPassword[kEntryNameUnits];
    VersionTriple swVersion;
    uint8_t hwRev;
    VersionTriple kernelVersion;
    VersionTriple filesysVersion;
    VersionTriple patchVersion;
    uint32_t bootloaderRev;
    uint8_t secondaryCount;
    uint8_t selection;
    uint8_t status;
    uint8_t secondaryState;
    uint8_t map;
    VersionTriple packKernelVersion;
    VersionTriple packFilesysVersion;
    VersionTriple packPatchVersion;
    uint32_t blPackRev;
    char16_t packFilename[kPackNameUnits];
    char16_t blPackFilename[kPackNameUnits];
    SecondaryEntry secondaries[kMaxSecondaries];
};

struct DeviceTable {
    DeviceEntry slots[kDeviceTableSlots];
    int count;
};

// The texts of the main list's "Status" column and of the secondary-devices window's.
const char16_t* DeviceStatusText(uint8_t status);
const char16_t* SecondaryStateText(uint8_t state);

// The process-wide table.
DeviceTable& TheDeviceTable();

int FindEntryByMac(const DeviceTable& table, const uint8_t* mac);

// Each merge returns the slot it changed, or kNoSlot when the record did not qualify.
// `maxListSize` is the configured limit; the table never takes more than its 500 slots.
int MergeDiscoveryRecord(DeviceTable& table, const DeviceEntry& record, int maxListSize);
int MergeGroupInfoRecord(DeviceTable& table, const DeviceEntry& record);
int MergeResultRecord(DeviceTable& table, const DeviceEntry& record);
int MergeSecondariesRecord(DeviceTable& table, const DeviceEntry& record);
int MergeSecondaryStateRecord(DeviceTable& table, const DeviceEntry& record);

// Search empties the whole table; Clear List only the count and slot 0.
void EmptyTableForSearch(DeviceTable& table);
void EmptyTableForClearList(DeviceTable& table);

// Status filter bits: 0 Show All, 1 Present, 2 Untested, 3 Tested, 4 Failed Test,
// 5 Upgraded, 6 Failed Upgrade. Version filter bits: 0 Show All, 1 Greater Than,
// 2 Less Than, 3 Equal.
enum StatusFilterBits : uint32_t { kStatusShowAll = 0x01 };
enum VersionFilterBits : uint32_t {
    kVersionShowAll = 0x01,
    kVersionGreater = 0x02,
    kVersionLess = 0x04,
    kVersionEqual = 0x08,
};

// The reference versions the version filter compares with (from the configuration).
struct VersionReferences {
    uint8_t application[4]; // software major, minor, build, then hardware revision
    VersionTriple kernel;
    VersionTriple filesys;
    VersionTriple patch;
};

bool EntryPassesFilters(const DeviceEntry& entry, uint32_t statusBits, uint32_t versionBits,
                        const VersionReferences& references);
