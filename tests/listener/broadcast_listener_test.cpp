#include "app/device_table.h"
#include "listener/broadcast_listener.h"
#include "platform/message_queue_window.h"
#include "platform/named_event.h"
#include "platform/socket.h"
#include "protocol/log_capture.h"
#include "reply_packets.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using namespace testing_replies;

namespace {

uint16_t FreeUdpPort() {
    int error = 0;
    platform::Socket probe = platform::OpenUdpSocket(&error);
    platform::Bind(probe, {{127, 0, 0, 1}, 0});
    platform::Endpoint at{};
    platform::LocalEndpoint(probe, &at);
    return at.port;
}

template <typename Predicate> bool Eventually(Predicate done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A running listener on a port of its own, with the test as its notify window.
class Listener : public ::testing::Test {
  protected:
    void SetUp() override {
        context_ = std::make_unique<ThreadContext>();
        const std::u16string name = u"TestListen" + std::u16string(1, char16_t(u'A' + counter_++));
        name.copy(context_->listenEventName, kEventNameUnits - 1);
        context_->listenPort = FreeUdpPort();
        event_ = platform::CreateNamedEvent(name, true, false);
        platform::SetNotifyWindow(window_.handle());
        int error = 0;
        sender_ = platform::OpenUdpSocket(&error);
    }

    void Start() {
        thread_ = StartBroadcastListener(*context_);
        ASSERT_TRUE(thread_.joinable());
        ASSERT_TRUE(Eventually([&] { return context_->threadStates[1].load() == 1; }, 2000ms));
    }

    void TearDown() override {
        Stop();
        WaitForBroadcastWorkers(5000);
        platform::SetNotifyWindow(platform::kNoWindow);
        platform::CloseEvent(event_);
    }

    void Stop() {
        if (thread_.joinable()) {
            context_->listenerFlags.fetch_or(kListenerQuit);
            platform::SetEvent(event_);
            thread_.join();
        }
    }

    void Send(const std::vector<uint8_t>& datagram) {
        size_t sent = 0;
        ASSERT_EQ(platform::SendTo(sender_, datagram.data(), datagram.size(),
                                   {{127, 0, 0, 1}, context_->listenPort}, &sent),
                  0);
    }

    std::unique_ptr<DeviceEntry> NextRecord(std::chrono::milliseconds limit = 3000ms) {
        platform::Message message;
        if (!window_.TakeMessage(message, static_cast<uint32_t>(limit.count()))) {
            return nullptr;
        }
        return message.record.Take<DeviceEntry>();
    }

    static inline int counter_ = 0;
    std::unique_ptr<ThreadContext> context_;
    platform::EventHandle event_ = nullptr;
    platform::MessageQueueWindow window_;
    platform::Socket sender_;
    std::thread thread_;
    LogCapture log_;
};

TEST_F(Listener, ShortAndLongDatagrams) {
    Start();
    Send(std::vector<uint8_t>(16, 0x10));
    Send(std::vector<uint8_t>(1100, 0x10));
    Send(std::vector<uint8_t>(17, 0x10));
    ASSERT_TRUE(Eventually(
        [&] { return log_.Contains(u"Received corrupted broadcast data\n", kLogWarning); },
        3000ms));
    EXPECT_TRUE(log_.Contains(u"Received fragmented broadcast data\n", kLogWarning));
    EXPECT_TRUE(log_.Contains(u"received 16 byte(s) broadcast data.\n", kLogReceipt));
    EXPECT_TRUE(log_.Contains(u"received 17 byte(s) broadcast data.\n", kLogReceipt));
    EXPECT_EQ(log_.Count(u"received 1100 byte(s) broadcast data.\n"), 0u);
    EXPECT_EQ(log_.Count(u"Received corrupted broadcast data\n"), 1u);
}

TEST_F(Listener, RepliesToEveryTypeAreAcceptedAndPosted) {
    Start();
    Send(ReplyPacket(2, DiscoveryBody(3, u"every"), 0x20, 0x7D));
    auto entry = NextRecord();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::u16string(entry->deviceName), u"every");
}

TEST_F(Listener, RepliesKeyedWithStationMacAndGroupName) {
    const uint8_t mac[6] = {2, 4, 6, 8, 10, 12};
    std::memcpy(context_->stationMac, mac, 6);
    std::u16string(u"lab group").copy(context_->groupName, kNameUnits - 1);
    Start();
    Send(ReplyPacket(2, DiscoveryBody(1, u"by-mac"), 0x20, 0x11, mac));
    Send(ReplyPacket(2, DiscoveryBody(2, u"by-name"), 0x20, 0x15, nullptr, u"lab group"));
    std::u16string names;
    for (int i = 0; i < 2; ++i) {
        auto entry = NextRecord();
        ASSERT_NE(entry, nullptr);
        names += entry->deviceName;
    }
    EXPECT_TRUE(names == u"by-macby-name" || names == u"by-nameby-mac");
}

TEST_F(Listener, UnknownWakeUpsResetTheEventOnTheTwelfth) {
    Start();
    platform::SetEvent(event_);
    // Datagrams keep each receive attempt short, so the loop comes round quickly.
    ASSERT_TRUE(Eventually(
        [&] {
            Send(std::vector<uint8_t>(8, 0));
            return log_.Count(u"RcvBroadThread: received unknown wait event\n") >= 12;
        },
        10000ms));
    EXPECT_TRUE(Eventually(
        [&] { return platform::WaitForEvent(event_, 0) == platform::WaitResult::Timeout; },
        2000ms));
    EXPECT_EQ(log_.Count(u"RcvBroadThread: received unknown wait event\n"), 12u);
    EXPECT_EQ(context_->threadStates[1].load(), 1);
    EXPECT_NE(context_->listenerThreadId.load(), 0u);
}

TEST_F(Listener, StopBitEndsTheListener) {
    Start();
    const auto began = std::chrono::steady_clock::now();
    context_->listenerFlags.fetch_or(kListenerQuit);
    platform::SetEvent(event_);
    ASSERT_TRUE(Eventually([&] { return context_->listenerThreadId.load() == 0; }, 3000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - began, 3000ms);
    EXPECT_EQ(context_->threadStates[1].load(), 3);
    EXPECT_TRUE(log_.Contains(u"Exiting RcvBroadThread\n", kLogTrace));
}

TEST_F(Listener, StartUpFailuresEndAtOnce) {
    // The port is taken by another socket, so the bind fails.
    int error = 0;
    platform::Socket holder = platform::OpenUdpSocket(&error);
    ASSERT_EQ(platform::Bind(holder, {{0, 0, 0, 0}, context_->listenPort}), 0);
    thread_ = StartBroadcastListener(*context_);
    thread_.join();
    EXPECT_EQ(context_->listenerThreadId.load(), 0u);
    EXPECT_EQ(context_->threadStates[1].load(), 3);
    EXPECT_EQ(log_.Entries().front().level, kLogFatal);
    EXPECT_EQ(
        log_.Entries().front().text.rfind(u"Failed to bind socket for broadcasting! error ", 0),
        0u);

    ThreadContext unnamed{};
    std::thread second = StartBroadcastListener(unnamed);
    second.join();
    EXPECT_TRUE(log_.Contains(u"RcvBroadThread: Fatal error in creating event\n", kLogFatal));
    EXPECT_EQ(unnamed.listenerThreadId.load(), 0u);
    EXPECT_EQ(unnamed.threadStates[1].load(), 3);
}

TEST_F(Listener, BurstOfFiveHundredRepliesFillsTheTable) {
    constexpr int kUnits = 500;
    Start();
    auto table = std::make_unique<DeviceTable>();
    EmptyTableForSearch(*table);
    std::vector<std::vector<uint8_t>> replies;
    for (int unit = 0; unit < kUnits; ++unit) {
        replies.push_back(ReplyPacket(2, DiscoveryBody(unit)));
    }
    for (const auto& reply : replies) {
        Send(reply);
    }
    while (table->count < kUnits) {
        auto entry = NextRecord(5000ms);
        if (!entry) {
            break;
        }
        MergeDiscoveryRecord(*table, *entry, kDeviceTableSlots);
    }
    EXPECT_EQ(table->count, kUnits);
    EXPECT_EQ(log_.Count(u"Received corrupted broadcast data\n"), 0u);
}

} // namespace
