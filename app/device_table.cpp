#include "app/device_table.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char16_t* kStatusTexts[kDeviceStatusCount] = {
    u"Invalid", u"Present", u"Untested", u"Tested", u"Failed Test", u"Upgraded", u"Failed Upgrade",
};

constexpr const char16_t* kSecondaryStateTexts[kSecondaryStateCount] = {
    u"Invalid", u"Present", u"Tested", u"Selected", u"Upgraded", u"Failed",
};

constexpr char16_t kV3PackFilename[] = u"/TEV_FWSTORE/pdufw/tevfw.bin";

template <size_t N> void CopyText(char16_t (&to)[N], const char16_t (&from)[N]) {
    std::memcpy(to, from, sizeof to);
}

// Copies at most 63 units of a package file name and terminates it.
void CopyPackName(char16_t (&to)[kPackNameUnits], const char16_t* from) {
    size_t i = 0;
    for (; i < kPackNameUnits - 1 && from[i] != 0; ++i) {
        to[i] = from[i];
    }
    std::fill(to + i, to + kPackNameUnits, u'\0');
}

uint32_t Pack(const VersionTriple& v) {
    return (uint32_t{v.major} << 16) | (uint32_t{v.minor} << 8) | v.build;
}

uint32_t PackApplication(const VersionTriple& sw, uint8_t hwRev) {
    return (Pack(sw) << 8) | hwRev;
}

bool StatusHalfPasses(uint8_t status, uint32_t bits) {
    if (bits & kStatusShowAll) {
        return true;
    }
    if (status == kStatusInvalid || status >= kDeviceStatusCount) {
        return false;
    }
    return (bits & (1u << status)) != 0;
}

bool VersionHalfPasses(const DeviceEntry& entry, uint32_t bits, const VersionReferences& refs) {
    if (bits & kVersionShowAll) {
        return true;
    }
    const uint32_t unit[4] = {PackApplication(entry.swVersion, entry.hwRev),
                              Pack(entry.kernelVersion), Pack(entry.filesysVersion),
                              Pack(entry.patchVersion)};
    const uint32_t reference[4] = {(uint32_t{refs.application[0]} << 24) |
                                       (uint32_t{refs.application[1]} << 16) |
                                       (uint32_t{refs.application[2]} << 8) | refs.application[3],
                                   Pack(refs.kernel), Pack(refs.filesys), Pack(refs.patch)};
    bool anyGreater = false, anyLess = false, allEqual = true;
    for (int i = 0; i < 4; ++i) {
        anyGreater |= unit[i] > reference[i];
        anyLess |= unit[i] < reference[i];
        allEqual &= unit[i] == reference[i];
    }
    return ((bits & kVersionGreater) && anyGreater) || ((bits & kVersionLess) && anyLess) ||
           ((bits & kVersionEqual) && allEqual);
}

} // namespace

const char16_t* DeviceStatusText(uint8_t status) {
    return status < kDeviceStatusCount ? kStatusTexts[status] : kStatusTexts[0];
}

const char16_t* SecondaryStateText(uint8_t state) {
    return state < kSecondaryStateCount ? kSecondaryStateTexts[state] : kSecondaryStateTexts[0];
}

DeviceTable& TheDeviceTable() {
    static DeviceTable table{};
    return table;
}

int FindEntryByMac(const DeviceTable& table, const uint8_t* mac) {
    for (int i = 0; i < table.count; ++i) {
        if (std::memcmp(table.slots[i].macAddress, mac, 6) == 0) {
            return i;
        }
    }
    return kNoSlot;
}

int MergeDiscoveryRecord(DeviceTable& table, const DeviceEntry& record, int maxListSize) {
    const int slot = FindEntryByMac(table, record.macAddress);
    if (slot == kNoSlot) {
        const int limit = std::clamp(maxListSize, 0, kDeviceTableSlots);
        if (table.count >= limit) {
            return kNoSlot;
        }
        DeviceEntry& entry = table.slots[table.count];
        entry = record;
        entry.status = kStatusPresent;
        return table.count++;
    }
    DeviceEntry& entry = table.slots[slot];
    if (entry.status != kStatusPresent) {
        return kNoSlot;
    }
    std::memcpy(entry.ipAddress, record.ipAddress, sizeof entry.ipAddress);
    CopyText(entry.model, record.model);
    CopyText(entry.deviceName, record.deviceName);
    CopyText(entry.groupName, record.groupName);
    entry.swVersion = record.swVersion;
    entry.hwRev = record.hwRev;
    entry.kernelVersion = record.kernelVersion;
    entry.filesysVersion = record.filesysVersion;
    entry.patchVersion = record.patchVersion;
    entry.bootloaderRev = record.bootloaderRev;
    return slot;
}

int MergeGroupInfoRecord(DeviceTable& table, const DeviceEntry& record) {
    const int slot = FindEntryByMac(table, record.macAddress);
    if (slot == kNoSlot || table.slots[slot].status != kStatusPresent) {
        return kNoSlot;
    }
    DeviceEntry& entry = table.slots[slot];
    std::memcpy(entry.ipAddress, record.ipAddress, sizeof entry.ipAddress);
    CopyText(entry.deviceName, record.deviceName);
    CopyText(entry.groupName, record.groupName);
    CopyText(entry.groupPassword, record.groupPassword);
    CopyText(entry.model, record.model);
    if (entry.groupName[0] != 0 && entry.groupPassword[0] != 0) {
        entry.status = kStatusUntested;
    }
    return slot;
}

int MergeResultRecord(DeviceTable& table, const DeviceEntry& record) {
    const int slot = FindEntryByMac(table, record.macAddress);
    if (slot == kNoSlot) {
        return kNoSlot;
    }
    DeviceEntry& entry = table.slots[slot];
    if (entry.status != kStatusUntested && entry.status != kStatusTested) {
        return kNoSlot;
    }
    entry.status = record.status;
    entry.map = record.map;
    entry.packKernelVersion = record.packKernelVersion;
    entry.packFilesysVersion = record.packFilesysVersion;
    entry.packPatchVersion = record.packPatchVersion;
    CopyPackName(entry.packFilename, record.packFilename);
    CopyPackName(entry.blPackFilename, record.blPackFilename);
    entry.blPackRev = record.blPackRev;
    if (PackageIsV3.load(std::memory_order_relaxed)) {
        CopyPackName(entry.packFilename, kV3PackFilename);
        entry.map = 3;
        entry.packKernelVersion = record.swVersion;
        entry.packFilesysVersion = record.swVersion;
    }
    return slot;
}

int MergeSecondariesRecord(DeviceTable& table, const DeviceEntry& record) {
    const int slot = FindEntryByMac(table, record.macAddress);
    if (slot == kNoSlot || record.secondaryState != kSecondaryTested) {
        return kNoSlot;
    }
    DeviceEntry& entry = table.slots[slot];
    entry.secondaryCount = std::min<uint8_t>(record.secondaryCount, kMaxSecondaries);
    entry.secondaryState = record.secondaryState;
    std::memcpy(entry.secondaries, record.secondaries, sizeof entry.secondaries);
    return slot;
}

int MergeSecondaryStateRecord(DeviceTable& table, const DeviceEntry& record) {
    const int slot = FindEntryByMac(table, record.macAddress);
    if (slot == kNoSlot || record.secondaryState < kSecondaryPresent) {
        return kNoSlot;
    }
    DeviceEntry& entry = table.slots[slot];
    entry.secondaryCount = std::min<uint8_t>(record.secondaryCount, kMaxSecondaries);
    entry.secondaryState = record.secondaryState;
    std::memcpy(entry.secondaries, record.secondaries, sizeof entry.secondaries);
    return slot;
}

void EmptyTableForSearch(DeviceTable& table) {
    std::memset(table.slots, 0, sizeof table.slots);
    table.count = 0;
}

void EmptyTableForClearList(DeviceTable& table) {
    table.count = 0;
    table.slots[0] = DeviceEntry{};
}

bool EntryPassesFilters(const DeviceEntry& entry, uint32_t statusBits, uint32_t versionBits,
                        const VersionReferences& references) {
    return StatusHalfPasses(entry.status, statusBits) &&
           VersionHalfPasses(entry, versionBits, references);
}
