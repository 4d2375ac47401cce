#include "app/device_list.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

DeviceEntry SampleEntry() {
    DeviceEntry e{};
    const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0xc3, 0x04, 0xff};
    std::memcpy(e.macAddress, mac, 6);
    const uint8_t ip[4] = {10, 0, 1, 245};
    std::memcpy(e.ipAddress, ip, 4);
    std::u16string(u"PDU-8X").copy(e.model, 6);
    std::u16string(u"rack 7").copy(e.deviceName, 6);
    std::u16string(u"ops").copy(e.groupName, 3);
    std::u16string(u"secret").copy(e.groupPassword, 6);
    e.swVersion = {2, 10, 255};
    e.hwRev = 3;
    e.kernelVersion = {4, 19, 1};
    e.filesysVersion = {1, 2, 3};
    e.patchVersion = {0, 0, 7};
    e.bootloaderRev = 4000000000u;
    e.secondaryCount = 32;
    e.status = kStatusFailedUpgrade;
    e.map = 3;
    e.packKernelVersion = {5, 0, 0};
    e.packFilesysVersion = {6, 1, 0};
    e.packPatchVersion = {7, 2, 1};
    e.blPackRev = 12;
    std::u16string(u"tevpack-1.bin").copy(e.packFilename, 13);
    std::u16string(u"tevblpack-2.bin").copy(e.blPackFilename, 15);
    return e;
}

} // namespace

TEST(DeviceList, EveryHeaderHasItsCellText) {
    const DeviceEntry e = SampleEntry();
    const std::u16string expected[kDeviceListColumns] = {
        u"Failed Upgrade",
        u"00:1A:2B:C3:04:FF",
        u"rack 7",
        u"10.0.1.245",
        u"2.10.255",
        u"4.19.1",
        u"1.2.3",
        u"0.0.7",
        u"4000000000",
        u"3",
        u"PDU-8X",
        u"ops",
        u"32",
        u"3",
        u"5.0.0",
        u"6.1.0",
        u"7.2.1",
        u"tevpack-1.bin",
        u"12",
        u"tevblpack-2.bin",
    };
    int total = 0;
    for (int i = 0; i < kDeviceListColumns; ++i) {
        EXPECT_TRUE(CellText(e, kDeviceListColumnTable[i].header) == expected[i]) << i;
        total += kDeviceListColumnTable[i].widthPercent;
    }
    EXPECT_GT(total, 100); // wider than the control: the list scrolls sideways
    EXPECT_TRUE(CellText(e, u"Group Password").empty());
    EXPECT_TRUE(CellText(e, u"").empty());
}

TEST(DeviceList, AnUnterminatedTextFieldIsReadOnlyToItsWidth) {
    DeviceEntry e{};
    for (char16_t& unit : e.deviceName) {
        unit = u'x';
    }
    EXPECT_EQ(CellText(e, u"Name").size(), size_t{kEntryNameUnits});
}

TEST(DeviceList, ComparisonsFollowTheColumnRules) {
    struct Case {
        int column;
        void (*change)(DeviceEntry&); // makes b the larger of the pair
    };
    const Case cases[] = {
        {0, [](DeviceEntry& b) { b.status = kStatusTested; }},
        {1, [](DeviceEntry& b) { b.macAddress[5] = 2; }},
        {2, [](DeviceEntry& b) { b.deviceName[0] = u'b'; }},
        {3, [](DeviceEntry& b) { b.ipAddress[0] = 11; }},
        {4, [](DeviceEntry& b) { b.swVersion.build = 9; }},
        {5, [](DeviceEntry& b) { b.kernelVersion.major = 9; }},
        {6, [](DeviceEntry& b) { b.filesysVersion.minor = 9; }},
        {7, [](DeviceEntry& b) { b.patchVersion.build = 9; }},
        {8, [](DeviceEntry& b) { b.bootloaderRev = 0x90000000u; }},
        {9, [](DeviceEntry& b) { b.hwRev = 200; }},
        {10, [](DeviceEntry& b) { b.model[1] = u'z'; }},
        {11, [](DeviceEntry& b) { b.groupName[0] = 0xE9; }}, // above every ASCII unit
        {12, [](DeviceEntry& b) { b.secondaryCount = 5; }},
        {13, [](DeviceEntry& b) { b.map = 3; }},
        {14, [](DeviceEntry& b) { b.packKernelVersion.build = 1; }},
        {15, [](DeviceEntry& b) { b.packFilesysVersion.major = 1; }},
        {16, [](DeviceEntry& b) { b.packPatchVersion.minor = 1; }},
        {17, [](DeviceEntry& b) { b.packFilename[0] = u'b'; }},
    };
    for (const Case& c : cases) {
        DeviceEntry a{}, b{};
        a.status = kStatusPresent;
        b.status = kStatusPresent;
        a.macAddress[5] = 1;
        b.macAddress[5] = 1;
        a.deviceName[0] = a.model[0] = b.model[0] = a.groupName[0] = u'a';
        a.packFilename[0] = u'a';
        b.deviceName[0] = b.groupName[0] = b.packFilename[0] = u'a';
        c.change(b);
        EXPECT_LT(CompareEntries(a, b, c.column), 0) << c.column;
        EXPECT_GT(CompareEntries(b, a, c.column), 0) << c.column;
        EXPECT_EQ(CompareEntries(a, a, c.column), 0) << c.column;
    }
}

TEST(DeviceList, BootloaderRevisionsFarApartStillSortByValue) {
    DeviceEntry a{}, b{};
    a.bootloaderRev = 0;
    b.bootloaderRev = 0x80000001u; // a 32-bit difference would wrap to a positive number
    EXPECT_LT(CompareEntries(a, b, 8), 0);
    EXPECT_GT(CompareEntries(b, a, 8), 0);
}

TEST(DeviceList, TheBootloaderPackageColumnsCompareEveryPairEqual) {
    const DeviceEntry a = SampleEntry();
    DeviceEntry b{};
    EXPECT_EQ(CompareEntries(a, b, 18), 0);
    EXPECT_EQ(CompareEntries(a, b, 19), 0);
}

TEST(DeviceList, AHeaderClickOnTheSameColumnInvertsTheDirection) {
    SortState s;
    EXPECT_EQ(s.column, -1);
    s = NextSortState(s, 0);
    EXPECT_TRUE(s.column == 0 && s.ascending);
    s = NextSortState(s, 0);
    EXPECT_TRUE(s.column == 0 && !s.ascending);
    s = NextSortState(s, 3);
    EXPECT_TRUE(s.column == 3 && s.ascending);
}

TEST(DeviceList, ShowAllLogicOfBothFilterGroups) {
    // Status group: clearing Present drops "Show All"; ticking it again restores it.
    FilterChange c = FilterBoxClicked(kStatusFilterAll, kStatusFilterAll, 0x02, false);
    EXPECT_EQ(c.bits, 0x7cu);
    EXPECT_TRUE(c.refresh);
    c = FilterBoxClicked(c.bits, kStatusFilterAll, 0x02, true);
    EXPECT_EQ(c.bits, kStatusFilterAll);
    // "Show All" while everything is set changes nothing and rebuilds nothing.
    c = FilterShowAllClicked(kStatusFilterAll, kStatusFilterAll);
    EXPECT_EQ(c.bits, kStatusFilterAll);
    EXPECT_FALSE(c.refresh);
    c = FilterShowAllClicked(0x04, kStatusFilterAll);
    EXPECT_EQ(c.bits, kStatusFilterAll);
    EXPECT_TRUE(c.refresh);
    // Versions group: the three boxes decide "Show All" the same way.
    c = FilterBoxClicked(kVersionFilterAll, kVersionFilterAll, 0x04, false);
    EXPECT_EQ(c.bits, 0x0au);
    c = FilterBoxClicked(0x08, kVersionFilterAll, 0x02, true);
    EXPECT_EQ(c.bits, 0x0au);
    c = FilterBoxClicked(c.bits, kVersionFilterAll, 0x04, true);
    EXPECT_EQ(c.bits, kVersionFilterAll);
}
