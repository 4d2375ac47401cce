#include "secondary/secondary_lists.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(SecondaryLists, ColumnTables) {
    int primaryWidth = 0;
    for (const SecondaryListColumn& c : kPrimaryColumnTable) {
        EXPECT_FALSE(c.centred) << "every primary column is left-aligned";
        primaryWidth += c.widthPercent;
    }
    EXPECT_EQ(primaryWidth, 139);
    EXPECT_EQ(std::u16string(kPrimaryColumnTable[12].header), u"Secondaries");
    EXPECT_EQ(kPrimaryColumnTable[12].widthPercent, 8);
    const bool centred[kSecondaryColumns] = {false, false, true, true, true,
                                             true,  true,  true, false};
    for (int i = 0; i < kSecondaryColumns; ++i) {
        EXPECT_EQ(kSecondaryColumnTable[i].centred, centred[i]) << i;
    }
}

TEST(SecondaryLists, PrimaryStatusIsTheSecondaryState) {
    DeviceEntry e{};
    e.status = kStatusTested;
    e.secondaryState = kSecondarySelected;
    e.secondaryCount = 3;
    EXPECT_EQ(PrimaryCellText(e, 0), u"Selected");
    EXPECT_EQ(PrimaryCellText(e, 12), u"3");

    DeviceEntry other = e;
    other.secondaryState = kSecondaryUpgraded;
    other.status = kStatusPresent;
    EXPECT_LT(ComparePrimaries(e, other, 0), 0) << "by secondary state, not by status";
    other.secondaryCount = 1;
    EXPECT_GT(ComparePrimaries(e, other, 12), 0);
}

TEST(SecondaryLists, SecondaryCellsAndComparisons) {
    SecondaryEntry a{};
    a.id = 0xabc;
    std::u16string(u"Feed A").copy(a.name, 31);
    a.swVersion = {1, 2, 250};
    a.bootloaderRev = 0x80000001u;
    a.hwRev = 4;
    std::u16string(u"KV-8").copy(a.model, 19);
    const std::u16string cells[kSecondaryColumns] = {u"000ABC",     u"Feed A", u"1.2.250",
                                                     u"0.0.0",      u"0.0.0",  u"0.0.0",
                                                     u"2147483649", u"4",      u"KV-8"};
    for (int i = 0; i < kSecondaryColumns; ++i) {
        EXPECT_EQ(SecondaryCellText(a, i), cells[i]) << i;
    }
    SecondaryEntry b = a;
    b.id = 0x1234567;
    EXPECT_EQ(SecondaryCellText(b, 0), u"1234567");
    b.id = 0xfffffff0u;
    EXPECT_LT(CompareSecondaries(a, b, 0), 0) << "ids far apart still order as numbers";
    b.bootloaderRev = 1;
    EXPECT_GT(CompareSecondaries(a, b, 6), 0);
    b.swVersion = {1, 3, 0};
    EXPECT_LT(CompareSecondaries(a, b, 2), 0);
    std::u16string(u"feed").copy(b.name, 31);
    EXPECT_LT(CompareSecondaries(a, b, 1), 0) << "ordinal: 'F' before 'f'";
    b.hwRev = 9;
    EXPECT_LT(CompareSecondaries(a, b, 7), 0);
    EXPECT_EQ(CompareSecondaries(a, a, 8), 0);
}

} // namespace
