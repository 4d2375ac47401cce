#include "platform/message_queue_window.h"
#include "platform/window_message.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::Message;
using platform::MessageQueueWindow;
using platform::Payload;

namespace {

// A record that counts its own destructions, to prove who frees what.
struct Tracked {
    static inline std::atomic<int> alive{0};
    int value;
    explicit Tracked(int v) : value(v) { ++alive; }
    ~Tracked() { --alive; }
};

Message Notify(uintptr_t code, int value) {
    Message message;
    message.id = platform::WM_DEVICE_NOTIFY;
    message.wParam = code;
    message.record = Payload::Of(std::make_unique<Tracked>(value));
    return message;
}

TEST(WindowMessage, PostingToEmptyOrDeadHandleFailsAndFreesTheRecord) {
    EXPECT_FALSE(platform::PostWindowMessage(platform::kNoWindow, Notify(0, 1)));
    platform::WindowHandle dead;
    {
        MessageQueueWindow window;
        dead = window.handle();
        EXPECT_TRUE(platform::IsWindowAlive(dead));
    }
    EXPECT_FALSE(platform::IsWindowAlive(dead));
    EXPECT_FALSE(platform::PostWindowMessage(dead, Notify(0, 2)));
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(WindowMessage, ReceiverOwnsTheRecordWhetherItHandlesItOrNot) {
    {
        MessageQueueWindow window;
        ASSERT_TRUE(platform::PostWindowMessage(window.handle(), Notify(0, 7)));
        ASSERT_TRUE(platform::PostWindowMessage(window.handle(), Notify(99, 8)));
        EXPECT_EQ(Tracked::alive.load(), 2);
        Message message;
        ASSERT_TRUE(window.TakeMessage(message, 1000));
        EXPECT_EQ(message.wParam, 0u);
        ASSERT_NE(message.record.Get<Tracked>(), nullptr);
        EXPECT_EQ(message.record.Get<Tracked>()->value, 7);
        EXPECT_EQ(message.record.Get<int>(), nullptr);
        auto taken = message.record.Take<Tracked>();
        EXPECT_FALSE(message.record);
        taken.reset();
        EXPECT_EQ(Tracked::alive.load(), 1);
        // The second message is never taken: the window frees it when it closes.
    }
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(WindowMessage, NumbersTravelWithoutRecords) {
    MessageQueueWindow window;
    Message progress;
    progress.id = platform::WM_DEVICE_NOTIFY;
    progress.wParam = 3;
    progress.lParam = 200;
    ASSERT_TRUE(platform::PostWindowMessage(window.handle(), std::move(progress)));
    Message received;
    ASSERT_TRUE(window.TakeMessage(received, 1000));
    EXPECT_EQ(received.lParam, 200);
    EXPECT_FALSE(received.record);
    EXPECT_FALSE(window.TakeMessage(received, 0));
}

TEST(WindowMessage, NotifyWindowCanBeTakenOverAndHandedBack) {
    MessageQueueWindow main;
    platform::SetNotifyWindow(main.handle());
    {
        MessageQueueWindow secondary;
        platform::SetNotifyWindow(secondary.handle());
        EXPECT_TRUE(platform::PostWindowMessage(platform::GetNotifyWindow(), Notify(5, 1)));
        Message message;
        EXPECT_TRUE(secondary.TakeMessage(message, 1000));
        platform::SetNotifyWindow(main.handle());
    }
    EXPECT_EQ(platform::GetNotifyWindow(), main.handle());
    platform::SetNotifyWindow(platform::kNoWindow);
}

TEST(WindowMessage, ManyPostersOneReceiverLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::atomic<bool> closing{false};
    std::atomic<int> handled{0};
    platform::WindowHandle handle = platform::kNoWindow;
    std::atomic<bool> ready{false};
    std::thread receiver([&] {
        MessageQueueWindow window;
        handle = window.handle();
        ready = true;
        Message message;
        while (handled < kThreads * kEach) {
            if (window.TakeMessage(message, 1000)) {
                message.record.Take<Tracked>();
                ++handled;
            }
        }
        closing = true;
    });
    while (!ready) {
        std::this_thread::yield();
    }
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                EXPECT_TRUE(platform::PostWindowMessage(handle, Notify(0, t * kEach + i)));
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    receiver.join();
    EXPECT_EQ(handled.load(), kThreads * kEach);
    EXPECT_TRUE(closing.load());
    EXPECT_EQ(Tracked::alive.load(), 0);
}

} // namespace
