// The passes' logic against scripted peers: which requests go out in which order, the
// result records, the progress and end notices, aborts and the units a pass takes.
#include "tests/upgrade/recording_peers.h"
#include "upgrade/notices.h"
#include "upgrade/passes.h"

#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace upgradetest {
namespace {

using ::testing::ElementsAre;

class PassTest : public ::testing::Test {
  protected:
    PassTest() : table_(std::make_unique<DeviceTable>()), shared_(*table_) {
        ResetThreadContext(context_);
        context_.cipherMode = 1;
        work_ = PassWork{&context_, &shared_, &settings_, &peers_};
    }
    void Add(const DeviceEntry& entry) {
        shared_.Write([&](DeviceTable& t) { t.slots[t.count++] = entry; });
    }
    DeviceEntry& Slot(int i) { return table_->slots[i]; }
    // The emulated listener: group information turns the unit Untested.
    void GiveGroup(int slot, const std::u16string& group, const std::u16string& password) {
        shared_.Write([&](DeviceTable& t) {
            SetText(t.slots[slot].groupName, group);
            SetText(t.slots[slot].groupPassword, password);
            t.slots[slot].status = kStatusUntested;
        });
    }

    ThreadContext context_;
    std::unique_ptr<DeviceTable> table_;
    SharedDeviceTable shared_;
    SharedPassSettings settings_;
    RecordingPeers peers_;
    PassWork work_{};
};

TEST_F(PassTest, TestPassRunsThreePhasesWithTheirCountsAndProgress) {
    NoticeWindow window;
    DeviceEntry fresh = Unit(2, kStatusPresent);   // no group: phases 1-3
    DeviceEntry grouped = Unit(3, kStatusPresent); // phases 2-3
    SetText(grouped.groupName, u"Lab");
    grouped.swVersion = VersionTriple{2, 17, 226}; // too old for the package query
    fresh.swVersion = VersionTriple{0, 17, 227};
    Add(fresh);
    Add(grouped);
    Add(Unit(4, kStatusPresent, kShown)); // not selected
    peers_.testResult["127.0.0.3"] = false;
    std::vector<uint8_t> attributes = {1, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 'p', 0};
    peers_.stateAnswers["127.0.0.2/14/0"] = attributes;
    int waits = 0;
    peers_.onCall = [&](const std::string& call) {
        if (call.rfind("wait", 0) == 0 && ++waits == 2) {
            GiveGroup(0, u"Station", u"pw");
            GiveGroup(1, u"Lab", u"labpw");
        }
    };
    RunTestPass(work_);
    EXPECT_THAT(peers_.Calls(),
                ElementsAre("setgroup 255.255.255.255 127.0.0.2 flags 45", "wait 2000",
                            "getgroup 255.255.255.255", "getgroup 255.255.255.255", "wait 2000",
                            "test 127.0.0.2 02:00:00:00:00:02", "state 127.0.0.2/14/0 room 2048",
                            "test 127.0.0.3 02:00:00:00:00:03"));
    const std::vector<Notice> notices = window.Drain();
    EXPECT_THAT(Describe(notices), ElementsAre("4:0", "4:30", "4:30", "4:45", "4:60", "2:Tested",
                                               "4:60", "2:Failed Test", "4:80", "3:200"));
    const DeviceEntry& tested = *notices[5].record;
    EXPECT_EQ(tested.map, 1);
    EXPECT_EQ(tested.packKernelVersion.major, 2);
    EXPECT_EQ(tested.packFilesysVersion.major, 3);
    EXPECT_EQ(upgradetest::Narrow(tested.packFilename), "p");
    EXPECT_EQ(upgradetest::Narrow(tested.blPackFilename), "unknown");
    // The table itself is never written by a pass.
    EXPECT_EQ(Slot(0).status, kStatusUntested);
}

TEST_F(PassTest, RangeSearchSendsTheTestPassBroadcastsToEachUnit) {
    NoticeWindow window;
    context_.searchFlags = kSearchByRange;
    Add(Unit(9, kStatusPresent));
    RunTestPass(work_);
    EXPECT_THAT(peers_.Calls(), ElementsAre("setgroup 127.0.0.9 127.0.0.9 flags 45", "wait 2000",
                                            "getgroup 127.0.0.9", "wait 2000"));
    EXPECT_THAT(Describe(window.Drain()), ElementsAre("4:0", "4:30", "4:30", "4:60", "3:200"));
}

TEST_F(PassTest, WithoutAWindowNothingIsPostedAndNothingWaits) {
    DeviceEntry unit = Unit(2, kStatusUntested);
    SetText(unit.groupName, u"g");
    SetText(unit.groupPassword, u"p");
    Add(unit);
    Add(Unit(3, kStatusPresent));
    RunTestPass(work_); // the records it could not post are freed (the leak checker sees it)
    EXPECT_THAT(peers_.Calls(),
                ElementsAre("setgroup 255.255.255.255 127.0.0.3 flags 45",
                            "getgroup 255.255.255.255", "test 127.0.0.2 02:00:00:00:00:02",
                            "state 127.0.0.2/14/0 room 2048"));
}

TEST_F(PassTest, AbortInPhaseTwoEndsTheTestPassBeforePhaseThree) {
    NoticeWindow window;
    DeviceEntry ready = Unit(2, kStatusPresent);
    SetText(ready.groupName, u"g");
    Add(ready);
    Add(Unit(3, kStatusUntested)); // would be tested in phase 3 without the abort
    peers_.onCall = [&](const std::string& call) {
        if (call.rfind("getgroup", 0) == 0) {
            JobFlagSet(context_, kJobAbort);
        }
    };
    RunTestPass(work_);
    EXPECT_THAT(peers_.Calls(), ElementsAre("getgroup 255.255.255.255"));
    EXPECT_THAT(Describe(window.Drain()), ElementsAre("4:30", "3:200"));
    EXPECT_EQ(context_.jobFlags.load(), 0);
}

TEST_F(PassTest, AbortEndsThePassAndCancelsQueuedJobsWithTheirEndNotices) {
    NoticeWindow window;
    for (uint8_t i = 2; i < 6; ++i) {
        Add(Unit(i, kStatusTested));
    }
    peers_.onCall = [&](const std::string& call) {
        if (call.rfind("ssend 127.0.0.3", 0) == 0) {
            // The operator queued a test and another upgrade, then pressed Abort Upgrade.
            JobFlagSet(context_, kJobTestPass);
            JobFlagSet(context_, kJobUpgradePass);
            context_.bootloaderFlag = 1;
            JobFlagSet(context_, kJobAbort);
        }
    };
    RunUpgradePass(work_);
    EXPECT_EQ(peers_.Calls().size(), 2u); // the unit in hand finishes, no further one starts
    EXPECT_THAT(Describe(window.Drain()),
                ElementsAre("2:Upgraded", "4:0", "2:Upgraded", "4:25", "4:200", "3:200", "4:200"));
    EXPECT_EQ(context_.jobFlags.load(), 0);
    EXPECT_EQ(context_.bootloaderFlag.load(), 0);
}

TEST_F(PassTest, UpgradeSendsTheCommandWithTheUnitsOwnCredentials) {
    NoticeWindow window;
    PassSettings s{};
    s.method = kMethodUrl;
    s.option = kOptionForce;
    SetText(s.url, u"http://192.0.2.1/tevpack-3.18.5.bin");
    SetText(s.bootloaderUrl, u"http://192.0.2.1/tevblpack-8.bin");
    settings_.Set(s);
    context_.bootloaderFlag = 1;
    DeviceEntry fresh = Unit(2, kStatusTested);
    fresh.swVersion = VersionTriple{0, 17, 227};
    SetText(fresh.groupName, u"Lab");
    SetText(fresh.groupPassword, u"labpw");
    DeviceEntry old = Unit(3, kStatusTested);
    old.swVersion = VersionTriple{2, 17, 226};
    SetText(old.groupName, u"Old");
    SetText(old.groupPassword, u"oldpw");
    Add(fresh);
    Add(old);
    Add(Unit(4, kStatusUntested));
    RunUpgradePass(work_);
    EXPECT_THAT(
        peers_.Calls(),
        ElementsAre("ssend 127.0.0.2 Lab/labpw [force url http://192.0.2.1/tevblpack-8.bin] 43",
                    "ssend 127.0.0.3 Old/oldpw [url http://192.0.2.1/tevblpack-8.bin] 37"));
    EXPECT_THAT(Describe(window.Drain()),
                ElementsAre("2:Upgraded", "4:0", "2:Upgraded", "4:50", "4:200"));
}

TEST_F(PassTest, UnitsWhoseCommandCannotBeSentFailWithoutARequest) {
    NoticeWindow window;
    PassSettings s{};
    s.method = kMethodUrl;
    s.option = kOptionNone;
    SetText(s.url, std::u16string(123, u'u')); // "url " + 123: fits only without an option word
    settings_.Set(s);
    DeviceEntry fresh = Unit(2, kStatusTested);
    fresh.swVersion = VersionTriple{0, 18, 0};
    DeviceEntry old = Unit(3, kStatusTested);
    old.swVersion = VersionTriple{1, 2, 3};
    Add(fresh);
    Add(old);
    RunUpgradePass(work_);
    ASSERT_EQ(peers_.Calls().size(), 1u);
    EXPECT_EQ(peers_.Calls()[0].rfind("ssend 127.0.0.3", 0), 0u);
    EXPECT_THAT(Describe(window.Drain()),
                ElementsAre("2:Failed Upgrade", "4:0", "2:Upgraded", "4:50", "4:200"));

    for (auto [method, option] : {std::pair<uint8_t, uint8_t>{5, 0}, {kMethodUsb, 7}}) {
        s.method = method;
        s.option = option;
        settings_.Set(s);
        RunUpgradePass(work_);
        EXPECT_EQ(peers_.Calls().size(), 1u) << int(method) << "/" << int(option);
        EXPECT_THAT(Describe(window.Drain()),
                    ElementsAre("2:Failed Upgrade", "4:0", "2:Failed Upgrade", "4:50", "4:200"));
    }
}

TEST_F(PassTest, APassKeepsTheUnitsItStartedWith) {
    NoticeWindow window;
    Add(Unit(2, kStatusTested));
    Add(Unit(3, kStatusPresent));
    Add(Unit(4, kStatusPresent));
    peers_.onCall = [&](const std::string&) {
        // Meanwhile the operator's list changes: new units become Tested and selected,
        // and the first one is unselected.
        shared_.Write([](DeviceTable& t) {
            t.slots[0].selection = kShown;
            t.slots[1].status = kStatusTested;
            t.slots[2].status = kStatusTested;
        });
    };
    RunUpgradePass(work_);
    EXPECT_EQ(peers_.Calls().size(), 1u);
    EXPECT_THAT(Describe(window.Drain()), ElementsAre("2:Upgraded", "4:0", "4:200"));
}

TEST_F(PassTest, SecondariesRefreshReadsEachSecondary) {
    NoticeWindow window;
    DeviceEntry two = Unit(2, kStatusTested);
    two.secondaryState = kSecondaryPresent;
    DeviceEntry none = Unit(3, kStatusTested);
    none.secondaryState = kSecondaryTested;
    Add(two);
    Add(none);
    Add(Unit(4, kStatusTested)); // secondary state 0: not refreshed
    peers_.stateAnswers["127.0.0.2/12/0"] = {0, 0, 0, 0, 0, 0, 0, 11, 0, 0, 0, 12};
    std::vector<uint8_t> versions = {1, 2,  3, 0,  4,  5,  6, 7, 0, 8,
                                     9, 10, 0, 11, 12, 13, 0, 0, 1, 0};
    peers_.stateAnswers["127.0.0.2/6/11"] = versions;
    versions.resize(16);
    peers_.stateAnswers["127.0.0.2/6/12"] = versions;
    const std::string model = "P1-2ABCDE-FGH";
    peers_.stateAnswers["127.0.0.2/9/11"] = std::vector<uint8_t>(model.begin(), model.end());
    peers_.configAnswers["127.0.0.2/12"] = {'s', 'e', 'c', 0};
    peers_.stateAnswers["127.0.0.3/12/0"] = {0, 0, 0, 0};
    RunSecondariesRefresh(work_);
    const std::vector<Notice> notices = window.Drain();
    ASSERT_THAT(Describe(notices), ElementsAre("5:Tested", "7:50", "5:Tested", "7:100", "7:200"));
    const DeviceEntry& a = *notices[0].record;
    EXPECT_EQ(a.secondaryCount, 2);
    EXPECT_EQ(a.secondaryState, kSecondaryTested);
    EXPECT_EQ(a.secondaries[0].id, 11u);
    EXPECT_EQ(a.secondaries[0].swVersion.build, 3);
    EXPECT_EQ(a.secondaries[0].bootloaderRev, 256u);
    EXPECT_EQ(upgradetest::Narrow(a.secondaries[0].model), model);
    EXPECT_EQ(a.secondaries[1].id, 12u);
    EXPECT_EQ(a.secondaries[1].bootloaderRev, 0u);
    EXPECT_EQ(upgradetest::Narrow(a.secondaries[1].name), "sec");
    const DeviceEntry& b = *notices[2].record;
    EXPECT_EQ(b.secondaryCount, 0);
    EXPECT_EQ(b.secondaryState, kSecondaryPresent);
}

TEST_F(PassTest, SecondariesRefreshTakesAtMost32) {
    NoticeWindow window;
    DeviceEntry unit = Unit(2, kStatusTested);
    unit.secondaryState = kSecondaryPresent;
    Add(unit);
    std::vector<uint8_t> list(4 + 4 * 40, 0);
    for (int i = 0; i < 40; ++i) {
        list[4 + 4 * i + 3] = static_cast<uint8_t>(i + 1);
    }
    peers_.stateAnswers["127.0.0.2/12/0"] = list;
    RunSecondariesRefresh(work_);
    EXPECT_EQ(peers_.Calls().size(), 1u + 32 * 3);
    const std::vector<Notice> notices = window.Drain();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices[0].record->secondaryCount, 32);
    EXPECT_EQ(notices[0].record->secondaries[31].id, 32u);
}

TEST_F(PassTest, SecondariesUpgradeSendsTheDataToSelectedPrimaries) {
    NoticeWindow window;
    PassSettings s{};
    s.option = kOptionForce;
    settings_.Set(s);
    context_.bootloaderFlag = 1;
    DeviceEntry a = Unit(2, kStatusTested);
    a.secondaryState = kSecondarySelected;
    DeviceEntry b = Unit(3, kStatusTested);
    b.secondaryState = kSecondaryTested;
    Add(a);
    Add(b);
    RunSecondariesUpgrade(work_);
    EXPECT_THAT(peers_.Calls(), ElementsAre("send 127.0.0.2 951324080201"));
    const std::vector<Notice> notices = window.Drain();
    ASSERT_THAT(Describe(notices), ElementsAre("6:Tested", "8:100", "8:200"));
    EXPECT_EQ(notices[0].record->secondaryState, kSecondaryUpgraded);

    context_.bootloaderFlag = 0;
    peers_.sendResult = false;
    RunSecondariesUpgrade(work_);
    EXPECT_EQ(peers_.Calls().back(), "send 127.0.0.2 9513240802");
    const std::vector<Notice> failed = window.Drain();
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_EQ(failed[0].record->secondaryState, kSecondaryFailed);
}

TEST(PassArithmetic, ProgressStaysWithinPercent) {
    EXPECT_EQ(ProgressPercent(0, 30, 0, 1), 0);
    EXPECT_EQ(ProgressPercent(30, 30, 1, 3), 40);
    EXPECT_EQ(ProgressPercent(60, 40, 2, 3), 86);
    EXPECT_EQ(ProgressPercent(0, 100, 7, 7), 100);
    EXPECT_EQ(ProgressPercent(0, 100, 9, 7), 100);
    EXPECT_EQ(ProgressPercent(60, 40, 5, 0), 60);
}

TEST(PassArithmetic, UnitTextsAndFlagsByte) {
    char16_t mac[18];
    const uint8_t m[6] = {0x02, 0xab, 0x00, 0x10, 0xff, 0x9};
    UnitMacText(m, mac);
    EXPECT_EQ(upgradetest::Narrow(mac), "02:AB:00:10:FF:09");
    char16_t address[16];
    const uint8_t ip[4] = {255, 0, 10, 127};
    UnitAddressText(ip, address);
    EXPECT_EQ(upgradetest::Narrow(address), "255.0.10.127");
    ThreadContext context;
    ResetThreadContext(context);
    context.cipherMode = 7;
    EXPECT_EQ(PassFlagsByte(context), 0x2F);
}

} // namespace
} // namespace upgradetest
