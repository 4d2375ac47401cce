#include "config/config_item_io.h"
#include "config/config_items.h"
#include "config/config_store.h"
#include "temp_program_dir.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class ConfigItemsTest : public TempProgramDir {
  protected:
    void SetUp() override {
        TempProgramDir::SetUp();
        SetConfigDefaults();
        defaults_ = TheConfig();
    }

    void Store(const std::u16string& row, const std::u16string& text) {
        ConfigStore* store = CfgStoreOpen(kCfgOpenReadWrite);
        ASSERT_NE(store, nullptr);
        ASSERT_EQ(CfgStoreWriteText(store, row.c_str(), text.c_str()), kCfgOk);
        CfgStoreClose(store);
    }

    std::string Stored(const std::string& row) {
        return Sqlite3Cli("SELECT cfgvalue FROM CFGMRU WHERE cfgname = '" + row + "';");
    }

    static bool Same(const ConfigValues& a, const ConfigValues& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }

    ConfigValues defaults_{};
};

TEST(ConfigItemTable, NamesTypesAndWidths) {
    const ConfigItem* table = ConfigItemTable();
    EXPECT_EQ(table[0].type, kItemNone);
    EXPECT_EQ(table[0].variable, nullptr);
    const char16_t* names[] = {
        u"groupname",      u"groupkey",       u"devsconnlport",  u"mgrconnlport",
        u"devsbroadlport", u"mgrbroadlport",  u"mgrmacaddr",     u"mgripaddr",
        u"mgrsubnetmask",  u"mgrencrypt",     u"upgradefile",    u"upgradeurl",
        u"upgmcmversion",  u"upgkernversion", u"upgfsysversion", u"upgpatchversion",
        u"maxlistsize",    u"options",        u"filters",        u"upgmethod",
        u"upgoption",      u"upgradeblfile",  u"upgradeblurl",   u"upgradetftp",
        u"upgblrev"};
    const uint8_t types[] = {1,  1,  6,  6, 6, 6, 9, 10, 10, 4, 1, 1, 12,
                             11, 11, 11, 6, 4, 4, 4, 4,  1,  1, 1, 6};
    const uint16_t widths[] = {128, 128, 2, 2, 2, 2, 6, 4, 4,   1,   256, 512, 4,
                               3,   3,   3, 2, 1, 1, 1, 1, 256, 512, 256, 2};
    for (ConfigKind kind = 1; kind <= kConfigKindCount; ++kind) {
        const ConfigItem& row = table[kind];
        EXPECT_EQ(row.kind, kind);
        EXPECT_EQ(std::u16string(row.name), names[kind - 1]) << kind;
        EXPECT_EQ(row.type, types[kind - 1]) << kind;
        EXPECT_EQ(row.width, widths[kind - 1]) << kind;
        EXPECT_NE(row.variable, nullptr);
        EXPECT_EQ(ConfigRowName(kind), std::u16string(names[kind - 1]) + u"00");
    }
    EXPECT_EQ(ConfigRowName(0), u"");
    EXPECT_EQ(ConfigRowName(26), u"");
}

TEST_F(ConfigItemsTest, DefaultsOverAClearedBlock) {
    std::memset(&TheConfig(), 0xA5, sizeof(ConfigValues));
    SetConfigDefaults();
    const ConfigValues& c = TheConfig();
    EXPECT_EQ(std::u16string(c.groupname), u"RavelinGroup");
    EXPECT_EQ(std::u16string(c.groupkey), u"PlumTreeHarbor");
    EXPECT_EQ(c.devsconnlport, 2003);
    EXPECT_EQ(c.mgrconnlport, 2004);
    EXPECT_EQ(c.devsbroadlport, 2001);
    EXPECT_EQ(c.mgrbroadlport, 2002);
    EXPECT_EQ(c.mgrencrypt, 1);
    EXPECT_EQ(c.maxlistsize, 20);
    EXPECT_EQ(c.options, 1);
    EXPECT_EQ(c.upgmethod, 1);
    // Everything else is zero, the unused tail of the texts included.
    ConfigValues expected;
    std::memset(&expected, 0, sizeof expected);
    std::memcpy(expected.groupname, u"RavelinGroup", sizeof u"RavelinGroup");
    std::memcpy(expected.groupkey, u"PlumTreeHarbor", sizeof u"PlumTreeHarbor");
    expected.devsconnlport = 2003;
    expected.mgrconnlport = 2004;
    expected.devsbroadlport = 2001;
    expected.mgrbroadlport = 2002;
    expected.mgrencrypt = 1;
    expected.maxlistsize = 20;
    expected.options = 1;
    expected.upgmethod = 1;
    EXPECT_TRUE(Same(c, expected));
}

TEST_F(ConfigItemsTest, NoDatabaseLeavesEveryDefault) {
    EXPECT_TRUE(LoadAllConfigItems());
    EXPECT_TRUE(Same(TheConfig(), defaults_));
    EXPECT_EQ(LoadConfigItem(kCfgMgrMacAddr), 0);
    EXPECT_FALSE(DatabaseExists());
}

// One stored text per item, and what it does to the variables.
struct ItemCase {
    ConfigKind kind;
    const char16_t* stored;
    std::function<void(ConfigValues&)> apply;
};

std::vector<ItemCase> EveryItem() {
    auto text = [](char16_t* field, const char16_t* value) {
        std::u16string s(value);
        std::memcpy(field, s.c_str(), (s.size() + 1) * 2);
    };
    return {
        {1, u"Group One", [=](ConfigValues& c) { text(c.groupname, u"Group One"); }},
        {2, u"Key Two", [=](ConfigValues& c) { text(c.groupkey, u"Key Two"); }},
        {3, u"3003", [](ConfigValues& c) { c.devsconnlport = 3003; }},
        {4, u"3004", [](ConfigValues& c) { c.mgrconnlport = 3004; }},
        {5, u"3001", [](ConfigValues& c) { c.devsbroadlport = 3001; }},
        {6, u"3002", [](ConfigValues& c) { c.mgrbroadlport = 3002; }},
        {7, u"02:1A:2B:3C:4D:5E",
         [](ConfigValues& c) {
             const uint8_t mac[6] = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
             std::memcpy(c.mgrmacaddr, mac, 6);
         }},
        {8, u"192.0.2.7",
         [](ConfigValues& c) {
             const uint8_t ip[4] = {192, 0, 2, 7};
             std::memcpy(c.mgripaddr, ip, 4);
         }},
        {9, u"255.255.255.0",
         [](ConfigValues& c) {
             const uint8_t mask[4] = {255, 255, 255, 0};
             std::memcpy(c.mgrsubnetmask, mask, 4);
         }},
        {10, u"010", [](ConfigValues& c) { c.mgrencrypt = 8; }},
        {11, u"tevpack-1.bin", [=](ConfigValues& c) { text(c.upgradefile, u"tevpack-1.bin"); }},
        {12, u"http://h/p.bin", [=](ConfigValues& c) { text(c.upgradeurl, u"http://h/p.bin"); }},
        {13, u"1.2.3.4",
         [](ConfigValues& c) {
             const uint8_t v[4] = {1, 2, 3, 4};
             std::memcpy(c.upgmcmversion, v, 4);
         }},
        {14, u"5.6.7",
         [](ConfigValues& c) {
             const uint8_t v[3] = {5, 6, 7};
             std::memcpy(c.upgkernversion, v, 3);
         }},
        {15, u"8.9.10",
         [](ConfigValues& c) {
             const uint8_t v[3] = {8, 9, 10};
             std::memcpy(c.upgfsysversion, v, 3);
         }},
        {16, u"11.12.13.14",
         [](ConfigValues& c) {
             const uint8_t v[3] = {11, 12, 13}; // three parts; the fourth is never stored
             std::memcpy(c.upgpatchversion, v, 3);
         }},
        {17, u"0x64", [](ConfigValues& c) { c.maxlistsize = 100; }},
        {18, u"7", [](ConfigValues& c) { c.options = 7; }},
        {19, u"9", [](ConfigValues& c) { c.filters = 9; }},
        {20, u"0x82", [](ConfigValues& c) { c.upgmethod = 0x82; }},
        {21, u"2", [](ConfigValues& c) { c.upgoption = 2; }},
        {22, u"tevblpack-1.bin",
         [=](ConfigValues& c) { text(c.upgradeblfile, u"tevblpack-1.bin"); }},
        {23, u"ftp://h/b.bin", [=](ConfigValues& c) { text(c.upgradeblurl, u"ftp://h/b.bin"); }},
        {24, u"tftp.example", [=](ConfigValues& c) { text(c.upgradetftp, u"tftp.example"); }},
        {25, u"0x14", [](ConfigValues& c) { c.upgblrev = 20; }},
    };
}

TEST_F(ConfigItemsTest, EachItemLoadsOnlyFromItsOwnRow) {
    for (const ItemCase& c : EveryItem()) {
        std::filesystem::remove(DatabasePath());
        const std::u16string name = ConfigItemTable()[c.kind].name;
        // Rows that look alike but are not the item's.
        Store(name, u"31");
        Store(name + u"01", u"32");
        Store(name + u"0", u"33");
        Store(u"x" + name + u"00", u"34");
        Store(name + u"00", c.stored);
        SetConfigDefaults();
        EXPECT_TRUE(LoadAllConfigItems());
        ConfigValues expected = defaults_;
        c.apply(expected);
        EXPECT_TRUE(Same(TheConfig(), expected)) << "kind " << c.kind;
    }
}

TEST_F(ConfigItemsTest, AllItemsTogether) {
    ConfigValues expected = defaults_;
    for (const ItemCase& c : EveryItem()) {
        Store(ConfigRowName(c.kind), c.stored);
        c.apply(expected);
    }
    EXPECT_TRUE(LoadAllConfigItems());
    EXPECT_TRUE(Same(TheConfig(), expected));
}

TEST_F(ConfigItemsTest, AddressTextsLoadAsTheConversionsRead) {
    struct Case {
        ConfigKind kind;
        const char16_t* stored;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {kCfgMgrIpAddr, u"10.1.2", {10, 1, 2, 0}},
        {kCfgMgrIpAddr, u"300.1.1.1", {44, 1, 1, 1}},
        {kCfgMgrMacAddr, u"00-1A-2b-3C-4d-5E", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {kCfgUpgKernVersion, u"4.210", {4, 210, 0}},
    };
    for (const Case& c : cases) {
        Store(ConfigRowName(c.kind), c.stored);
        EXPECT_NE(LoadConfigItem(c.kind), 0);
        const ConfigItem& row = ConfigItemTable()[c.kind];
        EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(row.variable),
                                       static_cast<uint8_t*>(row.variable) + row.width),
                  c.bytes);
    }
    // Saved back in the program's own spelling.
    EXPECT_NE(SaveConfigItem(kCfgMgrMacAddr), 0);
    EXPECT_EQ(Stored("mgrmacaddr00"), "00:1A:2B:3C:4D:5E\n");
    EXPECT_NE(SaveConfigItem(kCfgMgrIpAddr), 0);
    EXPECT_EQ(Stored("mgripaddr00"), "44.1.1.1\n");
    EXPECT_NE(SaveConfigItem(kCfgUpgKernVersion), 0);
    EXPECT_EQ(Stored("upgkernversion00"), "4.210.0\n");
}

TEST_F(ConfigItemsTest, SavedItemsComeBackAtTheNextStart) {
    ConfigValues& c = TheConfig();
    const uint8_t mac[6] = {0xAA, 0x0B, 0xCC, 0x0D, 0xEE, 0x01};
    std::memcpy(c.mgrmacaddr, mac, 6);
    const uint8_t ip[4] = {198, 51, 100, 9};
    std::memcpy(c.mgripaddr, ip, 4);
    const uint8_t mask[4] = {255, 255, 0, 0};
    std::memcpy(c.mgrsubnetmask, mask, 4);
    std::memcpy(c.upgradetftp, u"tftp-host", sizeof u"tftp-host");
    std::memcpy(c.upgradefile, u"tevpack-it's.bin", sizeof u"tevpack-it's.bin");
    std::u16string longUrl = u"http://h/" + std::u16string(246, u'u');
    std::memcpy(c.upgradeurl, longUrl.c_str(), (longUrl.size() + 1) * 2);
    std::memcpy(c.upgradeblfile, u"tevblpack-2.bin", sizeof u"tevblpack-2.bin");
    std::memcpy(c.upgradeblurl, u"ftp://h/bl", sizeof u"ftp://h/bl");
    const uint8_t mcm[4] = {4, 3, 2, 1};
    std::memcpy(c.upgmcmversion, mcm, 4);
    const uint8_t kern[3] = {2, 6, 32};
    std::memcpy(c.upgkernversion, kern, 3);
    const uint8_t fsys[3] = {1, 0, 255};
    std::memcpy(c.upgfsysversion, fsys, 3);
    const uint8_t patch[3] = {0, 0, 7};
    std::memcpy(c.upgpatchversion, patch, 3);
    c.upgmethod = 0x82;
    c.maxlistsize = 500;
    c.upgoption = 2;
    c.upgblrev = 0xBEEF;
    const ConfigValues saved = c;

    // The configuration dialog's order.
    for (ConfigKind kind : {7, 8, 9, 24, 11, 12, 22, 23, 13, 14, 15, 16, 20, 17, 21, 25}) {
        EXPECT_NE(SaveConfigItem(kind), 0) << kind;
    }
    EXPECT_EQ(Stored("upgblrev00"), "48879\n");
    EXPECT_EQ(Stored("upgmethod00"), "130\n");
    EXPECT_EQ(Stored("upgfsysversion00"), "1.0.255\n");
    EXPECT_EQ(Stored("upgmcmversion00"), "4.3.2.1\n");
    EXPECT_EQ(Stored("mgrmacaddr00"), "AA:0B:CC:0D:EE:01\n");
    EXPECT_EQ(Stored("upgradefile00"), "tevpack-it's.bin\n");
    // The upgrade URL needs 256 units with its terminator: more than a read accepts.
    SetConfigDefaults();
    EXPECT_TRUE(LoadAllConfigItems());
    ConfigValues expected = saved;
    std::memcpy(expected.upgradeurl, defaults_.upgradeurl, sizeof expected.upgradeurl);
    EXPECT_TRUE(Same(TheConfig(), expected));
}

TEST_F(ConfigItemsTest, TextsLongerThanTheItemHoldsAreRefused) {
    struct Case {
        ConfigKind kind;
        size_t length;
        bool loads;
    };
    const Case cases[] = {
        {kCfgGroupName, 63, true},   {kCfgGroupName, 64, false},   {kCfgGroupName, 127, false},
        {kCfgGroupName, 128, false}, {kCfgUpgradeFile, 127, true}, {kCfgUpgradeFile, 128, false},
        {kCfgUpgradeUrl, 127, true}, {kCfgUpgradeUrl, 128, false}, {kCfgGroupKey, 0, true},
    };
    for (const Case& c : cases) {
        SetConfigDefaults();
        const std::u16string text(c.length, u'g');
        Store(ConfigRowName(c.kind), text);
        const uint16_t loaded = LoadConfigItem(c.kind);
        const auto* variable = static_cast<const char16_t*>(ConfigItemTable()[c.kind].variable);
        if (c.loads) {
            EXPECT_EQ(loaded, (c.length + 1) * 2);
            EXPECT_EQ(std::u16string(variable), text);
        } else {
            EXPECT_EQ(loaded, 0) << c.kind << " " << c.length;
            EXPECT_TRUE(Same(TheConfig(), defaults_)) << c.kind << " " << c.length;
        }
    }
    alignas(char16_t) uint8_t buffer[kCfgItemBufferSize];
    Store(ConfigRowName(kCfgUpgradeTftp), std::u16string(127, u't'));
    EXPECT_EQ(CfgItemRead(kCfgUpgradeTftp, buffer), 256);
    Store(ConfigRowName(kCfgUpgradeTftp), std::u16string(128, u't'));
    EXPECT_EQ(CfgItemRead(kCfgUpgradeTftp, buffer), 0);
}

TEST_F(ConfigItemsTest, MaxListSizeNeverExceedsTheTable) {
    struct Case {
        const char16_t* stored;
        uint16_t value;
    };
    const Case cases[] = {{u"500", 500},   {u"501", 500},  {u"65535", 500}, {u"-1", 500},
                          {u"70000", 500}, {u"65556", 20}, {u"100", 100},   {u"0", 0}};
    for (const Case& c : cases) {
        Store(u"maxlistsize00", c.stored);
        SetConfigDefaults();
        EXPECT_EQ(LoadConfigItem(kCfgMaxListSize), 2);
        EXPECT_EQ(TheConfig().maxlistsize, c.value);
    }
}

TEST_F(ConfigItemsTest, KindsOutsideTheTableDoNothing) {
    Store(u"00", u"x");
    const std::string before = FileBytes(DatabasePath());
    uint8_t buffer[kCfgItemBufferSize];
    std::memset(buffer, 0x5A, sizeof buffer);
    const uint16_t value = 7;
    for (ConfigKind kind : {0, 26, 0xFFFF}) {
        EXPECT_EQ(LoadConfigItem(kind), 0);
        EXPECT_EQ(SaveConfigItem(kind), 0);
        EXPECT_EQ(CfgItemRead(kind, buffer), 0);
        EXPECT_EQ(CfgItemWrite(kind, &value, sizeof value), 0);
    }
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_TRUE(Same(TheConfig(), defaults_));
    EXPECT_EQ(FileBytes(DatabasePath()), before);
}

TEST_F(ConfigItemsTest, ItemWritesNeedTheWholeValue) {
    const uint8_t one = 1;
    EXPECT_EQ(CfgItemWrite(kCfgMaxListSize, &one, 1), 0);
    const uint16_t port = 4000;
    EXPECT_EQ(CfgItemWrite(kCfgMaxListSize, &port, 2), 2);
    EXPECT_EQ(Stored("maxlistsize00"), "4000\n");
    // A text without its terminator inside the given size is not written.
    const char16_t unterminated[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_EQ(CfgItemWrite(kCfgGroupName, unterminated, sizeof unterminated), 0);
    EXPECT_EQ(CfgItemWrite(kCfgGroupName, u"abc", 8), 8);
    EXPECT_EQ(Stored("groupname00"), "abc\n");
    EXPECT_EQ(CfgItemWrite(kCfgGroupName, nullptr, 8), 0);
    // A full variable with no terminator is not saved either.
    std::fill(std::begin(TheConfig().groupkey), std::end(TheConfig().groupkey), u'k');
    EXPECT_EQ(SaveConfigItem(kCfgGroupKey), 0);
    EXPECT_EQ(Stored("groupkey00"), "");
}

// Rows of the types no item of the program uses, on a variable of their own.
class ItemRowTypes : public ConfigItemsTest {
  protected:
    uint8_t variable_[16]{};
    ConfigItem Row(ConfigItemType type, uint16_t width) {
        return ConfigItem{99, u"probe", type, variable_, width};
    }
};

TEST_F(ItemRowTypes, IntegersInEveryWidth) {
    struct Case {
        ConfigItemType type;
        uint16_t width;
        std::vector<uint8_t> value; // little-endian, as the variable holds it
        const char* stored;
    };
    const Case cases[] = {
        {kItemInt8, 1, {0xFF}, "-1\n"},
        {kItemUint8, 1, {0xFF}, "255\n"},
        {kItemInt16, 2, {0x00, 0x80}, "-32768\n"},
        {kItemUint16, 2, {0x00, 0x80}, "32768\n"},
        {kItemInt32, 4, {0xFE, 0xFF, 0xFF, 0xFF}, "-2\n"},
        {kItemUint32, 4, {0xFF, 0xFF, 0xFF, 0xFF}, "-1\n"},
    };
    for (const Case& c : cases) {
        std::memcpy(variable_, c.value.data(), c.value.size());
        const ConfigItem row = Row(c.type, c.width);
        EXPECT_EQ(SaveItemRow(row), c.width);
        EXPECT_EQ(Stored("probe00"), c.stored);
        std::memset(variable_, 0, sizeof variable_);
        EXPECT_EQ(LoadItemRow(row), c.width);
        EXPECT_EQ(std::vector<uint8_t>(variable_, variable_ + c.width), c.value) << c.stored;
    }
    // A failed read places 0 and reports nothing.
    std::filesystem::remove(DatabasePath());
    Store(u"other", u"1");
    uint8_t buffer[kCfgItemBufferSize];
    std::memset(buffer, 0x77, sizeof buffer);
    EXPECT_EQ(ReadItemRow(Row(kItemUint32, 4), buffer), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5), (std::vector<uint8_t>{0, 0, 0, 0, 0x77}));
}

TEST_F(ItemRowTypes, EncodedTextAndByteStrings) {
    const ConfigItem secret = Row(kItemEncodedText, 16);
    std::memcpy(variable_, u"pass'w", sizeof u"pass'w");
    EXPECT_EQ(SaveItemRow(secret), sizeof u"pass'w");
    EXPECT_EQ(Stored("probe00"), "");
    EXPECT_NE(Stored("probe00.~enc~.~bin~"), "");
    std::memset(variable_, 0, sizeof variable_);
    EXPECT_EQ(LoadItemRow(secret), sizeof u"pass'w");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(variable_)), u"pass'w");
    // Too long for the 16-byte variable: refused.
    const char16_t longer[] = u"0123456789";
    EXPECT_EQ(WriteItemRow(secret, longer, sizeof longer), sizeof longer);
    std::memset(variable_, 0, sizeof variable_);
    EXPECT_EQ(LoadItemRow(secret), 0);
    EXPECT_EQ(variable_[0], 0);
    // Encoded units without a terminator are not read as text.
    ConfigStore* store = CfgStoreOpen(kCfgOpenReadWrite);
    const char16_t noEnd[3] = {u'a', u'b', u'c'};
    ASSERT_EQ(CfgStoreWriteEncoded(store, u"probe00", reinterpret_cast<const uint8_t*>(noEnd), 6),
              kCfgOk);
    CfgStoreClose(store);
    uint8_t buffer[kCfgItemBufferSize];
    EXPECT_EQ(ReadItemRow(secret, buffer), 0);

    const ConfigItem blob = Row(kItemBytes, 8);
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::memcpy(variable_, bytes, 8);
    EXPECT_EQ(SaveItemRow(blob), 8);
    EXPECT_EQ(Stored("probe00.~bin~"), "00080102030405060708\n");
    std::memset(variable_, 0xEE, sizeof variable_);
    EXPECT_EQ(LoadItemRow(blob), 8);
    EXPECT_EQ(std::memcmp(variable_, bytes, 8), 0);
    // Fewer stored bytes than the width: the rest is zero; more: refused.
    Store(u"probe00.~bin~", u"0002abcd");
    EXPECT_EQ(LoadItemRow(blob), 2);
    EXPECT_EQ(std::vector<uint8_t>(variable_, variable_ + 9),
              (std::vector<uint8_t>{0xAB, 0xCD, 0, 0, 0, 0, 0, 0, 0xEE}));
    Store(u"probe00.~bin~", u"0009000000000000000000");
    EXPECT_EQ(LoadItemRow(blob), 0);
    EXPECT_EQ(variable_[0], 0xAB);
}

} // namespace
