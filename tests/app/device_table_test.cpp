#include "app/device_table.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

// The table is 2.4 MB: keep test tables on the heap.
std::unique_ptr<DeviceTable> NewTable() {
    auto table = std::make_unique<DeviceTable>();
    EmptyTableForSearch(*table);
    return table;
}

template <size_t N> void SetText(char16_t (&field)[N], const std::u16string& text) {
    std::fill(field, field + N, u'\0');
    text.copy(field, N - 1);
}

DeviceEntry Reply(int unit, const std::u16string& name = u"pdu") {
    DeviceEntry record{};
    record.macAddress[0] = 0x00;
    record.macAddress[1] = 0x1A;
    record.macAddress[4] = static_cast<uint8_t>(unit >> 8);
    record.macAddress[5] = static_cast<uint8_t>(unit);
    record.ipAddress[0] = 127;
    record.ipAddress[3] = static_cast<uint8_t>(unit);
    SetText(record.deviceName, name);
    SetText(record.model, u"PDU-8");
    record.swVersion = {1, 2, 3};
    record.secondaryCount = 2;
    return record;
}

TEST(DeviceTable, ListSizeLimitsNewUnits) {
    struct Case {
        int maxListSize;
        int offered;
        int kept;
    };
    for (const Case& c : {Case{20, 21, 20}, Case{500, 501, 500}, Case{900, 501, 500}}) {
        auto table = NewTable();
        int lastSlot = kNoSlot;
        for (int unit = 0; unit < c.offered; ++unit) {
            lastSlot = MergeDiscoveryRecord(*table, Reply(unit), c.maxListSize);
        }
        EXPECT_EQ(table->count, c.kept) << c.maxListSize;
        EXPECT_EQ(lastSlot, kNoSlot) << c.maxListSize;
        EXPECT_EQ(table->slots[c.kept - 1].status, kStatusPresent);
    }
}

TEST(DeviceTable, RepeatedDiscoveryUpdatesOnlyWhilePresent) {
    auto table = NewTable();
    ASSERT_EQ(MergeDiscoveryRecord(*table, Reply(1, u"first"), 20), 0);
    table->slots[0].groupPassword[0] = u'p';
    DeviceEntry newer = Reply(1, u"second");
    newer.ipAddress[3] = 99;
    newer.secondaryCount = 9;
    EXPECT_EQ(MergeDiscoveryRecord(*table, newer, 20), 0);
    EXPECT_EQ(table->count, 1);
    EXPECT_EQ(std::u16string(table->slots[0].deviceName), u"second");
    EXPECT_EQ(table->slots[0].ipAddress[3], 99);
    EXPECT_EQ(table->slots[0].secondaryCount, 2); // kept from the first reply
    EXPECT_EQ(table->slots[0].groupPassword[0], u'p');

    table->slots[0].status = kStatusTested;
    EXPECT_EQ(MergeDiscoveryRecord(*table, Reply(1, u"third"), 20), kNoSlot);
    EXPECT_EQ(std::u16string(table->slots[0].deviceName), u"second");
}

TEST(DeviceTable, GroupInfoMerge) {
    struct Case {
        const char* what;
        bool known;
        uint8_t status;
        std::u16string group, password;
        int slot;
        uint8_t statusAfter;
    };
    const Case cases[] = {
        {"both texts", true, kStatusPresent, u"ops", u"secret", 0, kStatusUntested},
        {"empty password", true, kStatusPresent, u"ops", u"", 0, kStatusPresent},
        {"empty group", true, kStatusPresent, u"", u"secret", 0, kStatusPresent},
        {"not present", true, kStatusTested, u"ops", u"secret", kNoSlot, kStatusTested},
        {"unknown unit", false, kStatusPresent, u"ops", u"secret", kNoSlot, kStatusPresent},
    };
    for (const Case& c : cases) {
        auto table = NewTable();
        MergeDiscoveryRecord(*table, Reply(1), 20);
        table->slots[0].status = c.status;
        DeviceEntry info = Reply(c.known ? 1 : 2, u"renamed");
        SetText(info.groupName, c.group);
        SetText(info.groupPassword, c.password);
        EXPECT_EQ(MergeGroupInfoRecord(*table, info), c.slot) << c.what;
        EXPECT_EQ(table->slots[0].status, c.statusAfter) << c.what;
        EXPECT_EQ(table->count, 1) << c.what;
        if (c.slot == 0) {
            EXPECT_EQ(std::u16string(table->slots[0].deviceName), u"renamed");
            EXPECT_EQ(std::u16string(table->slots[0].groupPassword), c.password);
        }
    }
}

TEST(DeviceTable, ResultMergeTakesOnlyUntestedOrTestedUnits) {
    PackageIsV3 = false;
    for (uint8_t status : {kStatusPresent, kStatusUntested, kStatusTested, kStatusFailedTest,
                           kStatusUpgraded, kStatusFailedUpgrade}) {
        auto table = NewTable();
        MergeDiscoveryRecord(*table, Reply(1), 20);
        table->slots[0].status = status;
        DeviceEntry result = table->slots[0];
        result.status = kStatusTested;
        result.map = 2;
        result.blPackRev = 7;
        SetText(result.packFilename, u"tevpack-1.bin");
        const bool takes = status == kStatusUntested || status == kStatusTested;
        EXPECT_EQ(MergeResultRecord(*table, result), takes ? 0 : kNoSlot) << int(status);
        EXPECT_EQ(table->slots[0].status, takes ? uint8_t{kStatusTested} : status);
        EXPECT_EQ(table->slots[0].blPackRev, takes ? 7u : 0u);
    }
}

TEST(DeviceTable, ResultAfterV3PackageTest) {
    auto table = NewTable();
    MergeDiscoveryRecord(*table, Reply(1), 20);
    table->slots[0].status = kStatusTested;
    DeviceEntry result = table->slots[0];
    result.status = kStatusUpgraded;
    result.swVersion = {4, 5, 6};
    result.packKernelVersion = {9, 9, 9};
    SetText(result.packFilename, u"tevpack3-x.bin");
    PackageIsV3 = true;
    EXPECT_EQ(MergeResultRecord(*table, result), 0);
    PackageIsV3 = false;
    const DeviceEntry& entry = table->slots[0];
    EXPECT_EQ(std::u16string(entry.packFilename), u"/TEV_FWSTORE/pdufw/tevfw.bin");
    EXPECT_EQ(entry.map, 3);
    EXPECT_EQ(entry.packKernelVersion.major, 4);
    EXPECT_EQ(entry.packFilesysVersion.build, 6);
    EXPECT_EQ(entry.status, kStatusUpgraded);
}

TEST(DeviceTable, LongPackageNamesAreCutAndTerminated) {
    auto table = NewTable();
    MergeDiscoveryRecord(*table, Reply(1), 20);
    table->slots[0].status = kStatusUntested;
    DeviceEntry result = table->slots[0];
    result.status = kStatusTested;
    std::fill(result.packFilename, result.packFilename + kPackNameUnits, u'x');
    MergeResultRecord(*table, result);
    EXPECT_EQ(std::u16string(table->slots[0].packFilename), std::u16string(63, u'x'));
}

TEST(DeviceTable, ClearListThenReplyLeavesNoTraceOfTheOldSlot) {
    auto table = NewTable();
    MergeDiscoveryRecord(*table, Reply(1, u"old"), 20);
    table->slots[0].status = kStatusUpgraded;
    SetText(table->slots[0].groupPassword, u"secret");
    table->slots[0].map = 3;
    EmptyTableForClearList(*table);
    EXPECT_EQ(table->count, 0);
    DeviceEntry fresh = Reply(7, u"new");
    EXPECT_EQ(MergeDiscoveryRecord(*table, fresh, 20), 0);
    const DeviceEntry& entry = table->slots[0];
    EXPECT_EQ(entry.status, kStatusPresent);
    EXPECT_EQ(std::u16string(entry.deviceName), u"new");
    EXPECT_EQ(entry.groupPassword[0], 0);
    EXPECT_EQ(entry.map, 0);
    EXPECT_EQ(entry.macAddress[5], 7);
}

TEST(DeviceTable, SecondaryMerges) {
    auto table = NewTable();
    MergeDiscoveryRecord(*table, Reply(1), 20);
    DeviceEntry refresh = table->slots[0];
    refresh.secondaryCount = 3;
    refresh.secondaryState = kSecondaryPresent;
    refresh.secondaries[0].id = 0x01020304;
    EXPECT_EQ(MergeSecondariesRecord(*table, refresh), kNoSlot); // no secondaries reported
    refresh.secondaryState = kSecondaryTested;
    EXPECT_EQ(MergeSecondariesRecord(*table, refresh), 0);
    EXPECT_EQ(table->slots[0].secondaries[0].id, 0x01020304u);
    EXPECT_EQ(table->slots[0].secondaryCount, 3);

    DeviceEntry upgraded = table->slots[0];
    upgraded.secondaryState = kSecondaryUpgraded;
    EXPECT_EQ(MergeSecondaryStateRecord(*table, upgraded), 0);
    EXPECT_EQ(table->slots[0].secondaryState, kSecondaryUpgraded);
    upgraded.secondaryState = kSecondaryInvalid;
    EXPECT_EQ(MergeSecondaryStateRecord(*table, upgraded), kNoSlot);
    EXPECT_EQ(std::u16string(SecondaryStateText(kSecondarySelected)), u"Selected");
}

TEST(DeviceTable, StatusFilter) {
    DeviceEntry entry{};
    const VersionReferences refs{};
    entry.status = kStatusTested;
    EXPECT_TRUE(EntryPassesFilters(entry, 1u << kStatusTested, kVersionShowAll, refs));
    EXPECT_FALSE(EntryPassesFilters(entry, 1u << kStatusPresent, kVersionShowAll, refs));
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionShowAll, refs));
    entry.status = kStatusInvalid;
    EXPECT_FALSE(EntryPassesFilters(entry, 0x7E, kVersionShowAll, refs));
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionShowAll, refs));
    EXPECT_EQ(std::u16string(DeviceStatusText(kStatusFailedUpgrade)), u"Failed Upgrade");
}

TEST(DeviceTable, VersionFilter) {
    VersionReferences refs{};
    refs.application[0] = 2; // software 2.0.0, hardware revision 0
    refs.kernel = {3, 0, 0};
    refs.filesys = {1, 0, 0};
    refs.patch = {1, 0, 0};
    DeviceEntry entry{};
    entry.status = kStatusPresent;
    entry.swVersion = {1, 9, 9};     // older software
    entry.kernelVersion = {3, 1, 0}; // newer kernel
    entry.filesysVersion = {1, 0, 0};
    entry.patchVersion = {1, 0, 0};
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionGreater, refs));
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionLess, refs));
    EXPECT_FALSE(EntryPassesFilters(entry, kStatusShowAll, kVersionEqual, refs));
    EXPECT_FALSE(EntryPassesFilters(entry, kStatusShowAll, 0, refs));

    entry.swVersion = {2, 0, 0};
    entry.kernelVersion = {3, 0, 0};
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionEqual, refs));
    EXPECT_FALSE(EntryPassesFilters(entry, kStatusShowAll, kVersionGreater, refs));
    entry.hwRev = 1; // the hardware revision is the lowest byte of the application value
    EXPECT_TRUE(EntryPassesFilters(entry, kStatusShowAll, kVersionGreater, refs));
}

} // namespace
