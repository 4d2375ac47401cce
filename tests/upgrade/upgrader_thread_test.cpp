// The upgrader thread's job rules, with the real passes over scripted peers: one pass per
// signal, aborts of queued jobs, the quit path.
#include "platform/named_event.h"
#include "tests/upgrade/recording_peers.h"
#include "upgrade/upgrader_thread.h"

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace upgradetest {
namespace {

using ::testing::ElementsAre;

class UpgraderThreadTest : public ::testing::Test {
  protected:
    UpgraderThreadTest() : table_(std::make_unique<DeviceTable>()), shared_(*table_) {
        ResetThreadContext(context_);
        // The main window creates the event before it starts the thread.
        event_ = platform::CreateNamedEvent(kUpdaterEventName, false, false);
    }
    ~UpgraderThreadTest() override {
        Quit();
        platform::CloseEvent(event_);
    }
    void Start() {
        thread_ = StartUpgraderThread(PassWork{&context_, &shared_, &settings_, &peers_});
        ASSERT_TRUE(thread_.joinable());
    }
    void Signal() { platform::SetEvent(event_); }
    void Quit() {
        if (thread_.joinable()) {
            SignalUpgraderJob(context_, kJobQuit);
            thread_.join();
        }
    }
    std::vector<std::string> Notices(size_t count, uint32_t timeoutMs = 5000) {
        std::vector<std::string> out;
        Notice notice;
        while (out.size() < count && window_.Next(notice, timeoutMs)) {
            out.push_back(Describe(notice));
        }
        return out;
    }
    // Waits until the thread has cleared `bits` (a notice can arrive before the thread
    // clears the bit that caused it).
    bool WaitCleared(uint8_t bits) {
        for (int i = 0; i < 500; ++i) {
            if ((context_.jobFlags.load() & bits) == 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void Add(const DeviceEntry& entry) {
        shared_.Write([&](DeviceTable& t) { t.slots[t.count++] = entry; });
    }

    NoticeWindow window_;
    ThreadContext context_;
    std::unique_ptr<DeviceTable> table_;
    SharedDeviceTable shared_;
    SharedPassSettings settings_;
    RecordingPeers peers_;
    platform::EventHandle event_ = nullptr;
    std::thread thread_;
};

TEST_F(UpgraderThreadTest, OneSignalRunsOnePassInRuleOrder) {
    Start();
    JobFlagSet(context_, kJobTestPass);
    JobFlagSet(context_, kJobUpgradePass);
    Signal();
    EXPECT_THAT(Notices(1), ElementsAre("3:200"));
    EXPECT_TRUE(Notices(1, 1500).empty()); // the upgrade waits for the next signal
    EXPECT_TRUE(JobFlagTest(context_, kJobUpgradePass));
    context_.bootloaderFlag = 1;
    Signal();
    EXPECT_THAT(Notices(1), ElementsAre("4:200"));
    JobFlagSet(context_, kJobSecondariesRefresh);
    JobFlagSet(context_, kJobSecondariesUpgrade);
    JobFlagSet(context_, kJobNone);
    Signal(); // 0x02 is only cleared
    ASSERT_TRUE(WaitCleared(kJobNone));
    EXPECT_EQ(context_.jobFlags.load(), kJobSecondariesRefresh | kJobSecondariesUpgrade);
    Signal();
    EXPECT_THAT(Notices(1), ElementsAre("7:200"));
    ASSERT_TRUE(WaitCleared(kJobSecondariesRefresh));
    Signal();
    EXPECT_THAT(Notices(1), ElementsAre("8:200"));
    EXPECT_EQ(context_.jobFlags.load(), 0);
    EXPECT_EQ(context_.bootloaderFlag.load(), 0);
}

TEST_F(UpgraderThreadTest, FlagsWithoutASignalAreNeverActedOn) {
    Start();
    JobFlagSet(context_, kJobTestPass);
    EXPECT_TRUE(Notices(1, 2500).empty()); // longer than the thread's 1000 ms wait
    EXPECT_TRUE(JobFlagTest(context_, kJobTestPass));
    Signal();
    EXPECT_THAT(Notices(1), ElementsAre("3:200"));
}

TEST_F(UpgraderThreadTest, AbortWhileIdleEndsTheFirstQueuedJobUnrun) {
    Start();
    context_.bootloaderFlag = 1;
    JobFlagSet(context_, kJobUpgradePass);
    JobFlagSet(context_, kJobSecondariesRefresh);
    SignalUpgraderJob(context_, kJobAbort);
    EXPECT_THAT(Notices(1), ElementsAre("4:200"));
    ASSERT_TRUE(WaitCleared(kJobAbort));
    EXPECT_EQ(context_.jobFlags.load(), kJobSecondariesRefresh); // left as it was
    EXPECT_EQ(context_.bootloaderFlag.load(), 0);
    EXPECT_TRUE(Notices(1, 300).empty());

    JobFlagClear(context_, kJobSecondariesRefresh);
    SignalUpgraderJob(context_, kJobAbort); // nothing queued: only 0x10 goes
    ASSERT_TRUE(WaitCleared(kJobAbort));
    EXPECT_EQ(context_.jobFlags.load(), 0);
    EXPECT_TRUE(Notices(1, 100).empty());
    EXPECT_TRUE(peers_.Calls().empty());
}

TEST_F(UpgraderThreadTest, AbortDuringATestCancelsTheQueuedUpgrade) {
    DeviceEntry unit = Unit(2, kStatusPresent);
    Add(unit);
    Add(Unit(3, kStatusTested));
    bool aborted = false;
    peers_.onCall = [&](const std::string& call) {
        if (call.rfind("setgroup", 0) == 0 && !aborted) {
            aborted = true;
            context_.bootloaderFlag = 1;
            SignalUpgraderJob(context_, kJobUpgradePass); // Upgrade pressed meanwhile
            SignalUpgraderJob(context_, kJobAbort);       // then Abort Test
        }
    };
    Start();
    SignalUpgraderJob(context_, kJobTestPass);
    EXPECT_THAT(Notices(3), ElementsAre("4:0", "3:200", "4:200"));
    EXPECT_TRUE(Notices(1, 1500).empty()); // and the upgrade never starts by itself
    EXPECT_THAT(peers_.Calls(), ElementsAre("setgroup 255.255.255.255 127.0.0.2 flags 44"));
    EXPECT_EQ(context_.jobFlags.load(), 0);
    EXPECT_EQ(context_.bootloaderFlag.load(), 0);
}

TEST_F(UpgraderThreadTest, AnUpgradeStartedOnTheEndNoticeKeepsItsBootloaderFlag) {
    DeviceEntry unit = Unit(2, kStatusTested);
    unit.swVersion = VersionTriple{1, 2, 3}; // older unit: the bare command text
    Add(unit);
    PassSettings s{};
    s.method = kMethodTftp;
    SetText(s.tftpServer, u"srv");
    SetText(s.file, u"fw.bin");
    SetText(s.bootloaderFile, u"bl.bin");
    settings_.Set(s);
    Start();
    SignalUpgraderJob(context_, kJobUpgradePass);
    EXPECT_THAT(Notices(3), ElementsAre("2:Upgraded", "4:0", "4:200"));
    // The window takes the end notice and at once starts a bootloader upgrade.
    context_.bootloaderFlag = 1;
    SignalUpgraderJob(context_, kJobUpgradePass);
    EXPECT_THAT(Notices(3), ElementsAre("2:Upgraded", "4:0", "4:200"));
    EXPECT_THAT(peers_.Calls(), ElementsAre("ssend 127.0.0.2 / [tftp srv fw.bin] 16",
                                            "ssend 127.0.0.2 / [tftp srv bl.bin] 16"));
    EXPECT_EQ(context_.bootloaderFlag.load(), 0);
}

TEST_F(UpgraderThreadTest, QuitDuringAPassEndsAfterItAndOneMoreSignal) {
    Add(Unit(2, kStatusTested));
    std::atomic<bool> release{false};
    peers_.onCall = [&](const std::string&) {
        JobFlagSet(context_, kJobQuit);
        Signal();
        while (!release.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    Start();
    const uint32_t id = context_.upgraderThreadId.load();
    EXPECT_NE(id, 0u);
    SignalUpgraderJob(context_, kJobUpgradePass);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(context_.upgraderThreadId.load(), id); // still in the pass
    release = true;
    EXPECT_THAT(Notices(3), ElementsAre("2:Upgraded", "4:0", "4:200"));
    thread_.join(); // the signal given during the pass ends it
    EXPECT_EQ(context_.threadStates[0].load(), 3);
    EXPECT_EQ(context_.upgraderThreadId.load(), 0u);
}

} // namespace
} // namespace upgradetest
