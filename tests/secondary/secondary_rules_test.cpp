#include "platform/named_event.h"
#include "secondary/secondary_rules.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

template <size_t N> void Put(char16_t (&field)[N], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    text.copy(field, N - 1);
}

DeviceEntry TestedPrimary() {
    DeviceEntry e{};
    e.status = kStatusTested;
    e.selection = kShownSelected;
    e.secondaryCount = 2;
    e.map = 1;
    Put(e.packFilename, u"tevpack-1.bin");
    return e;
}

TEST(SecondaryRules, QualifyingPrimary) {
    struct Case {
        const char* what;
        void (*change)(DeviceEntry&);
        bool qualifies;
    };
    const Case cases[] = {
        {"tested, selected, secondaries, map and package", [](DeviceEntry&) {}, true},
        {"untested", [](DeviceEntry& e) { e.status = kStatusUntested; }, false},
        {"upgraded", [](DeviceEntry& e) { e.status = kStatusUpgraded; }, false},
        {"shown but not selected", [](DeviceEntry& e) { e.selection = kShown; }, false},
        {"no secondaries", [](DeviceEntry& e) { e.secondaryCount = 0; }, false},
        {"map 0", [](DeviceEntry& e) { e.map = 0; }, false},
        {"no package name", [](DeviceEntry& e) { e.packFilename[0] = 0; }, false},
        {"bootloader package name alone",
         [](DeviceEntry& e) {
             e = DeviceEntry{};
             Put(e.blPackFilename, u"tevblpack-2.bin");
         },
         true},
    };
    for (const Case& c : cases) {
        DeviceEntry e = TestedPrimary();
        c.change(e);
        EXPECT_EQ(QualifiesAsPrimary(e), c.qualifies) << c.what;
    }
}

TEST(SecondaryRules, CountLooksAtLiveSlotsOnly) {
    auto table = std::make_unique<DeviceTable>();
    table->slots[0] = TestedPrimary();
    table->slots[2] = TestedPrimary();
    table->slots[3] = TestedPrimary(); // past the count: never read
    table->count = 3;
    EXPECT_EQ(CountQualifyingPrimaries(*table), 2);
}

TEST(SecondaryRules, ShownSecondariesStopAtThe32Slots) {
    DeviceEntry e{};
    e.secondaryCount = 200;
    EXPECT_EQ(ShownSecondaryCount(e), kMaxSecondaries);
    e.secondaryCount = 5;
    EXPECT_EQ(ShownSecondaryCount(e), 5);
}

TEST(SecondaryRules, PackageChecksAndTheirMessages) {
    DeviceEntry e{};
    const uint8_t mac[6] = {0x02, 0x52, 0x56, 0x0a, 0xb0, 0x01};
    std::memcpy(e.macAddress, mac, 6);
    Put(e.deviceName, u"Rack 7");
    Put(e.packFilename, u"tevpack-1.bin");
    EXPECT_FALSE(HasValidPackage(e, false)) << "every package version zero";
    e.packPatchVersion = {0, 0, 1};
    EXPECT_TRUE(HasValidPackage(e, false));
    e.packFilename[0] = 0;
    EXPECT_FALSE(HasValidPackage(e, false)) << "no package file name";
    EXPECT_EQ(MissingPackageMessage(e, false),
              u"PDU Named (Rack 7) MAC (02:52:56:0A:B0:01) does not have valid Pack (Firmware "
              u"package) file!\n\nBefore upgrading the secondaries, please upgrade the firmware "
              u"on Rack 7");

    Put(e.blPackFilename, u"tevblpack-2.bin");
    EXPECT_FALSE(HasValidPackage(e, true)) << "revision 0";
    e.blPackRev = 9;
    EXPECT_TRUE(HasValidPackage(e, true));
    e.blPackFilename[0] = 0;
    EXPECT_FALSE(HasValidPackage(e, true));
    EXPECT_EQ(MissingPackageMessage(e, true),
              u"PDU Named (Rack 7) MAC (02:52:56:0A:B0:01) does not have valid BLPack (Bootloader "
              u"package) file!\n\nBefore upgrading the secondaries, please upgrade the bootloader "
              u"on Rack 7");
}

TEST(SecondaryRules, JobIsSignalledOnlyThroughAnExistingEvent) {
    ThreadContext& context = TheThreadContext();
    ResetThreadContext(context);
    EXPECT_FALSE(HandJobToUpgrader(context, kJobSecondariesRefresh));
    EXPECT_TRUE(JobFlagTest(context, kJobSecondariesRefresh)) << "the job waits for a signal";

    platform::EventHandle event = platform::CreateNamedEvent(kUpdaterEvent, false, false);
    EXPECT_EQ(platform::WaitForEvent(event, 0), platform::WaitResult::Timeout)
        << "looking for the missing event did not leave one behind signalled";
    EXPECT_TRUE(HandJobToUpgrader(context, kJobSecondariesUpgrade));
    EXPECT_TRUE(JobFlagTest(context, kJobSecondariesUpgrade));
    EXPECT_EQ(platform::WaitForEvent(event, 0), platform::WaitResult::Signaled);
    platform::CloseEvent(event);
    ResetThreadContext(context);
}

} // namespace
