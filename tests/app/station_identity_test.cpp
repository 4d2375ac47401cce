#include "app/station_identity.h"
#include "config/config_items.h"
#include "tests/config/temp_program_dir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class StationIdentityTest : public TempProgramDir {
  protected:
    void SetUp() override {
        TempProgramDir::SetUp();
        Reload();
    }

    // As the main window opens: defaults, then everything the store holds.
    static void Reload() {
        SetConfigDefaults();
        LoadAllConfigItems();
    }

    static void StoreIdentity(const uint8_t (&mac)[6], const uint8_t (&ip)[4]) {
        ConfigValues& config = TheConfig();
        std::memcpy(config.mgrmacaddr, mac, 6);
        std::memcpy(config.mgripaddr, ip, 4);
        const uint8_t mask[4] = {255, 255, 255, 0};
        std::memcpy(config.mgrsubnetmask, mask, 4);
        ASSERT_NE(SaveConfigItem(kCfgMgrMacAddr), 0);
        ASSERT_NE(SaveConfigItem(kCfgMgrIpAddr), 0);
        ASSERT_NE(SaveConfigItem(kCfgMgrSubnetMask), 0);
        Reload();
    }

    // A chooser that answers with one interface and counts its calls.
    InterfaceChooser Choose(std::u16string mac, std::u16string ip, std::u16string mask) {
        return [this, mac, ip, mask](std::u16string& m, std::u16string& i, std::u16string& s) {
            ++asked;
            m = mac;
            i = ip;
            s = mask;
        };
    }

    int asked = 0;
};

} // namespace

TEST(StationIdentity, UsableOnlyWithAllThreeLoadedAndRealAddresses) {
    const uint8_t mac[6] = {0, 0x1a, 2, 3, 4, 5}, zeroMac[6] = {},
                  ffMac[6] = {255, 255, 255, 255, 255, 255};
    const uint8_t ip[4] = {198, 51, 100, 1}, zeroIp[4] = {}, ffIp[4] = {255, 255, 255, 255};
    EXPECT_TRUE(StationIdentityIsUsable(true, mac, true, ip, true));
    EXPECT_FALSE(StationIdentityIsUsable(false, mac, true, ip, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, zeroMac, true, ip, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, ffMac, true, ip, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, mac, false, ip, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, mac, true, zeroIp, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, mac, true, ffIp, true));
    EXPECT_FALSE(StationIdentityIsUsable(true, mac, true, ip, false));
}

TEST_F(StationIdentityTest, NoSettingsFileAsksAndStoresTheChoice) {
    EXPECT_TRUE(
        EnsureStationIdentity(Choose(u"00:0C:29:3A:4B:5C", u"198.51.100.7", u"255.255.254.0")));
    EXPECT_EQ(asked, 1);
    Reload();
    const ConfigValues& config = TheConfig();
    const uint8_t mac[6] = {0x00, 0x0c, 0x29, 0x3a, 0x4b, 0x5c};
    const uint8_t ip[4] = {198, 51, 100, 7}, mask[4] = {255, 255, 254, 0};
    EXPECT_EQ(std::memcmp(config.mgrmacaddr, mac, 6), 0);
    EXPECT_EQ(std::memcmp(config.mgripaddr, ip, 4), 0);
    EXPECT_EQ(std::memcmp(config.mgrsubnetmask, mask, 4), 0);
    // Usable now: the next start asks nothing.
    EXPECT_FALSE(EnsureStationIdentity(Choose(u"x", u"y", u"z")));
    EXPECT_EQ(asked, 1);
}

TEST_F(StationIdentityTest, AStoredBroadcastMacAsksAgain) {
    StoreIdentity({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, {198, 51, 100, 7});
    EXPECT_TRUE(
        EnsureStationIdentity(Choose(u"00:0C:29:3A:4B:5C", u"198.51.100.8", u"255.255.255.0")));
    EXPECT_EQ(asked, 1);
}

TEST_F(StationIdentityTest, ACancelledChoiceChangesNothingAndTheNextStartAsksAgain) {
    StoreIdentity({0, 1, 2, 3, 4, 5}, {0, 0, 0, 0});
    EXPECT_TRUE(EnsureStationIdentity(Choose(u"", u"", u"")));
    Reload();
    const uint8_t mac[6] = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(std::memcmp(TheConfig().mgrmacaddr, mac, 6), 0);
    // Only some of the texts: the same as a cancel.
    EXPECT_TRUE(EnsureStationIdentity(Choose(u"00:0C:29:3A:4B:5C", u"", u"255.0.0.0")));
    Reload();
    EXPECT_EQ(std::memcmp(TheConfig().mgrmacaddr, mac, 6), 0);
    EXPECT_EQ(asked, 2);
}

TEST_F(StationIdentityTest, AUsableIdentityAsksNothing) {
    StoreIdentity({0, 1, 2, 3, 4, 5}, {198, 51, 100, 9});
    EXPECT_FALSE(EnsureStationIdentity(Choose(u"a", u"b", u"c")));
    EXPECT_EQ(asked, 0);
}
