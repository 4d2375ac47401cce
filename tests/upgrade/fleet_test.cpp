// The passes end to end: the real listener, the device table merges, the dispatcher and
// sessions against unit-sim on loopback. Each test has its own addresses and ports.
#include "tests/upgrade/fleet_station.h"
#include "upgrade/notices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace upgradetest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The pass's own notices: progress, results and the end (the listener's records left out).
std::vector<std::string> PassNotices(const std::vector<Notice>& notices) {
    std::vector<std::string> out;
    for (const Notice& n : notices) {
        if (n.code >= 2) {
            out.push_back(Describe(n));
        }
    }
    return out;
}

int IndexOf(const std::vector<Notice>& notices, const std::string& what, int from = 0) {
    for (size_t i = static_cast<size_t>(from); i < notices.size(); ++i) {
        if (Describe(notices[i]) == what) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::vector<std::string> kTestSession = {"login", "logout"};

TEST(FleetTestPass, OneUnitWithoutAGroup) {
    FleetStation station({1, 1, {}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(1));
    station.SelectAll();
    const std::vector<Notice> notices = station.RunJob(kJobTestPass, kNotifyTestEnded);
    EXPECT_THAT(PassNotices(notices),
                ElementsAre("4:0", "4:30", "4:30", "4:60", "2:Tested", "4:60", "3:200"));
    // The group information the unit sent was merged before its session.
    const int groupInfo = IndexOf(notices, "1:Invalid");
    EXPECT_GE(groupInfo, 0);
    EXPECT_LT(groupInfo, IndexOf(notices, "2:Tested"));

    const std::vector<SimRequest> requests = UnitRequests(station.LogPath(), station.UnitIp(0));
    std::vector<std::string> names;
    for (const SimRequest& r : requests) {
        names.push_back(r.what);
    }
    EXPECT_THAT(names, ElementsAre("discovery", "set-group", "group-info", "login", "logout",
                                   "login", "query 14", "logout"));
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_GE(requests[2].ms - requests[1].ms, 1900); // the two 2-second waits
    EXPECT_GE(requests[3].ms - requests[2].ms, 1900);

    const DeviceEntry* entry = station.Entry(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->status, kStatusTested);
    EXPECT_EQ(Narrow(entry->groupName), "Station");
    EXPECT_NE(entry->packFilename[0], u'\0');
}

TEST(FleetTestPass, PackageQueryOnlyForNewEnoughUnits) {
    FleetStation station({2, 2, {"--sw", "0.17.227", "--fault", "old-sw:1"}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(2));
    station.SelectAll();
    const std::vector<Notice> notices = station.RunJob(kJobTestPass, kNotifyTestEnded);
    EXPECT_EQ(IndexOf(notices, "3:200"), static_cast<int>(notices.size()) - 1);
    const std::vector<std::string> fresh = UnitRequestNames(station.LogPath(), station.UnitIp(0));
    const std::vector<std::string> old = UnitRequestNames(station.LogPath(), station.UnitIp(1));
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), "query 14"), 1);
    EXPECT_EQ(std::count(old.begin(), old.end(), "query 14"), 0);
    EXPECT_EQ(std::count(old.begin(), old.end(), "login"), 1);
    ASSERT_NE(station.Entry(0), nullptr);
    ASSERT_NE(station.Entry(1), nullptr);
    EXPECT_EQ(station.Entry(0)->status, kStatusTested);
    EXPECT_EQ(station.Entry(1)->status, kStatusTested);
    EXPECT_EQ(Narrow(station.Entry(0)->blPackFilename).empty(), false);
    EXPECT_EQ(station.Entry(1)->packFilename[0], u'\0');
}

PassSettings UrlSettings(uint8_t option) {
    PassSettings s{};
    s.method = kMethodUrl;
    s.option = option;
    SetText(s.url, u"http://127.0.0.1/tevpack-3.18.9.bin");
    SetText(s.bootloaderUrl, u"http://127.0.0.1/tevblpack-12.bin");
    SetText(s.tftpServer, u"127.0.0.1");
    SetText(s.file, u"tevpack-3.18.9.bin");
    return s;
}

TEST(FleetUpgradePass, BootloaderUrlWithForce) {
    FleetStation station({3, 2, {"--fault", "old-sw:1"}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(2));
    station.SelectAll();
    station.RunJob(kJobTestPass, kNotifyTestEnded);
    station.Settings().Set(UrlSettings(kOptionForce));
    station.Context().bootloaderFlag = 1;
    const std::vector<Notice> notices = station.RunJob(kJobUpgradePass, kNotifyProgress);
    EXPECT_THAT(PassNotices(notices),
                ElementsAre("2:Upgraded", "4:0", "2:Upgraded", "4:50", "4:200"));
    EXPECT_EQ(station.Context().bootloaderFlag.load(), 0);
    // The unit logs in with its own group credentials (the station's, given in the test).
    EXPECT_THAT(UnitRequestNames(station.LogPath(), station.UnitIp(0)),
                ::testing::Contains("upgrade force url http://127.0.0.1/tevblpack-12.bin"));
    EXPECT_THAT(UnitRequestNames(station.LogPath(), station.UnitIp(1)),
                ::testing::Contains("upgrade url http://127.0.0.1/tevblpack-12.bin"));
    EXPECT_EQ(station.Entry(0)->status, kStatusUpgraded);
}

TEST(FleetUpgradePass, OptionZeroLeavesOneLeadingSpace) {
    FleetStation station({4, 1, {}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(1));
    station.SelectAll();
    station.RunJob(kJobTestPass, kNotifyTestEnded);
    PassSettings s = UrlSettings(kOptionNone);
    s.method = kMethodTftp;
    station.Settings().Set(s);
    station.RunJob(kJobUpgradePass, kNotifyProgress);
    const std::vector<std::string> lines = simtest::LinesWith(station.LogPath(), {"\"upgrade\":"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"upgrade\":\" tftp 127.0.0.1 tevpack-3.18.9.bin\""),
              std::string::npos)
        << lines[0];
}

TEST(FleetAbort, DuringPhaseTwoAndWithAQueuedUpgrade) {
    FleetStation station({5, 3, {}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(3));
    station.SelectAll();
    std::vector<Notice> seen;
    SignalUpgraderJob(station.Context(), kJobTestPass);
    size_t looked = 0;
    int thirties = 0;
    ASSERT_TRUE(station.Play(
        [&] {
            for (; looked < seen.size(); ++looked) {
                if (Describe(seen[looked]) == "4:30" && ++thirties == 2) {
                    SignalUpgraderJob(station.Context(), kJobAbort); // phase 2 has begun
                }
            }
            return !seen.empty() && Describe(seen.back()) == "3:200";
        },
        20000, &seen));
    for (int k = 0; k < 3; ++k) {
        const std::vector<std::string> names =
            UnitRequestNames(station.LogPath(), station.UnitIp(k));
        EXPECT_EQ(std::count(names.begin(), names.end(), "login"), 0) << k;
    }
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const Notice& n) { return n.code == 2; }),
              0);
    EXPECT_EQ(station.Context().jobFlags.load() & kJobAbort, 0);
    EXPECT_EQ(thirties, 2);

    // Abort with an upgrade queued and no pass running.
    JobFlagSet(station.Context(), kJobUpgradePass);
    station.Context().bootloaderFlag = 1;
    const std::vector<Notice> cancelled = station.RunJob(kJobAbort, kNotifyProgress, 5000);
    EXPECT_THAT(PassNotices(cancelled), ElementsAre("4:200"));
    // The notice goes out just before the thread clears the abort bit.
    for (int i = 0; i < 200 && JobFlagTest(station.Context(), kJobAbort); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(station.Context().jobFlags.load() & (kJobUpgradePass | kJobAbort), 0);
    EXPECT_EQ(station.Context().bootloaderFlag.load(), 0);
}

void MarkSecondaries(FleetStation& station, uint8_t state) {
    station.Table().Write([state](DeviceTable& table) {
        for (int slot = 0; slot < table.count; ++slot) {
            table.slots[slot].secondaryState = state;
        }
        return 0;
    });
}

TEST(FleetSecondaries, RefreshAndUpgrade) {
    {
        FleetStation station(
            {6, 1, {"--secondaries", "2", "--group", "Station", "--password", "stationpw"}});
        ASSERT_TRUE(station.Started());
        ASSERT_TRUE(station.Discover(1));
        MarkSecondaries(station, kSecondaryPresent);
        const std::vector<Notice> notices =
            station.RunJob(kJobSecondariesRefresh, kNotifyRefreshProgress);
        ASSERT_THAT(PassNotices(notices), ElementsAre("5:Present", "7:100", "7:200"));
        const DeviceEntry& record = *notices[notices.size() - 3].record;
        EXPECT_EQ(record.secondaryCount, 2);
        EXPECT_EQ(record.secondaryState, kSecondaryTested);
        const DeviceEntry* entry = station.Entry(0);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->secondaryCount, 2);
        for (int i = 0; i < 2; ++i) {
            EXPECT_NE(entry->secondaries[i].id, 0u);
            EXPECT_NE(entry->secondaries[i].model[0], u'\0');
            EXPECT_NE(entry->secondaries[i].name[0], u'\0');
            EXPECT_NE(entry->secondaries[i].swVersion.minor + entry->secondaries[i].swVersion.major,
                      0);
        }
        EXPECT_THAT(UnitRequestNames(station.LogPath(), station.UnitIp(0)),
                    ElementsAre("discovery", "login", "query 12", "logout", "login", "query 6",
                                "logout", "login", "query 9", "logout", "login", "config 17",
                                "logout", "login", "query 6", "logout", "login", "query 9",
                                "logout", "login", "config 17", "logout"));

        MarkSecondaries(station, kSecondarySelected);
        PassSettings s{};
        s.option = kOptionNotEqual;
        station.Settings().Set(s);
        station.Context().bootloaderFlag = 1;
        const std::vector<Notice> upgraded =
            station.RunJob(kJobSecondariesUpgrade, kNotifySecondaryProgress);
        ASSERT_THAT(PassNotices(upgraded), ElementsAre("6:Present", "8:100", "8:200"));
        EXPECT_EQ(upgraded[0].record->secondaryState, kSecondaryUpgraded);
        EXPECT_THAT(UnitRequestNames(station.LogPath(), station.UnitIp(0)),
                    ::testing::Contains("secondaries 951324080101"));
        EXPECT_EQ(station.Context().bootloaderFlag.load(), 0);
    }
    {
        FleetStation station({7, 1, {"--group", "Station", "--password", "stationpw"}});
        ASSERT_TRUE(station.Started());
        ASSERT_TRUE(station.Discover(1));
        MarkSecondaries(station, kSecondaryTested);
        const std::vector<Notice> notices =
            station.RunJob(kJobSecondariesRefresh, kNotifyRefreshProgress);
        ASSERT_THAT(PassNotices(notices), ElementsAre("5:Present", "7:100", "7:200"));
        EXPECT_EQ(notices[notices.size() - 3].record->secondaryCount, 0);
        EXPECT_EQ(notices[notices.size() - 3].record->secondaryState, kSecondaryPresent);
    }
}

// A fleet of 100 with faulty units: every unit gets its truthful result and no other.
TEST(FleetOfHundred, TestAndUpgradeGiveTruthfulResults) {
    const std::vector<std::string> faults = {
        "--fault", "silent:3,4",     "--fault", "login-refused:10,11",
        "--fault", "no-greeting:20", "--fault", "close-after-login:30,31",
        "--fault", "old-sw:40-44"};
    FleetStation station({8, 100, faults});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(98)) << [&] {
        std::string missing;
        for (int k = 0; k < 100; ++k) {
            if (!station.Entry(k)) {
                missing += std::to_string(k) + " ";
            }
        }
        return missing;
    }();
    EXPECT_EQ(station.Table().Table().count, 98);
    station.SelectAll();
    const std::vector<Notice> tested = station.RunJob(kJobTestPass, kNotifyTestEnded, 240000);
    ASSERT_FALSE(tested.empty());
    EXPECT_EQ(Describe(tested.back()), "3:200");
    auto expectedAfterTest = [](int k) -> uint8_t {
        if (k == 10 || k == 11 || k == 20) {
            return kStatusFailedTest;
        }
        return kStatusTested;
    };
    int results = 0;
    for (const Notice& n : tested) {
        results += n.code == kNotifyUnitResult;
    }
    EXPECT_EQ(results, 98);
    for (int k = 0; k < 100; ++k) {
        const DeviceEntry* entry = station.Entry(k);
        if (k == 3 || k == 4) {
            EXPECT_EQ(entry, nullptr) << k; // silent: never found
            continue;
        }
        ASSERT_NE(entry, nullptr) << k;
        EXPECT_EQ(entry->status, expectedAfterTest(k)) << k;
    }

    station.Settings().Set(UrlSettings(kOptionNotEqual));
    const std::vector<Notice> upgraded = station.RunJob(kJobUpgradePass, kNotifyProgress, 240000);
    results = 0;
    int lastProgress = -1;
    for (const Notice& n : upgraded) {
        results += n.code == kNotifyUnitResult;
        if (n.code == kNotifyProgress && n.value != kPassEnded) {
            EXPECT_GE(n.value, lastProgress);
            EXPECT_LE(n.value, 100);
            lastProgress = static_cast<int>(n.value);
        }
    }
    EXPECT_EQ(results, 95); // every Tested unit, once
    for (int k = 0; k < 100; ++k) {
        const DeviceEntry* entry = station.Entry(k);
        if (entry == nullptr) {
            continue;
        }
        uint8_t expected = kStatusUpgraded;
        if (expectedAfterTest(k) == kStatusFailedTest) {
            expected = kStatusFailedTest;
        } else if (k == 30 || k == 31) {
            expected = kStatusFailedUpgrade;
        }
        EXPECT_EQ(entry->status, expected) << k;
        const std::vector<std::string> names =
            UnitRequestNames(station.LogPath(), station.UnitIp(k));
        const bool old = k >= 40 && k <= 44;
        const std::string text = std::string("upgrade ") + (old ? "" : "noteq ") +
                                 "url http://127.0.0.1/tevpack-3.18.9.bin";
        EXPECT_EQ(std::count(names.begin(), names.end(), text), expected == kStatusUpgraded ? 1 : 0)
            << k;
    }
}

} // namespace
} // namespace upgradetest
