#include "platform/named_event.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::WaitResult;

namespace {

TEST(NamedEvent, OpeningByNameReachesTheSameEvent) {
    bool existed = true;
    auto first = platform::CreateNamedEvent(u"TestEventShared", true, false, &existed);
    EXPECT_FALSE(existed);
    auto second = platform::CreateNamedEvent(u"TestEventShared", false, false, &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(platform::WaitForEvent(second, 0), WaitResult::Timeout);
    platform::SetEvent(first);
    // Opened as existing, the event keeps its manual reset: it stays set.
    EXPECT_EQ(platform::WaitForEvent(second, 0), WaitResult::Signaled);
    EXPECT_EQ(platform::WaitForEvent(first, 0), WaitResult::Signaled);
    platform::ResetEvent(second);
    EXPECT_EQ(platform::WaitForEvent(first, 0), WaitResult::Timeout);
    platform::CloseEvent(first);
    platform::CloseEvent(second);

    // With its last handle gone the name is free again.
    auto fresh = platform::CreateNamedEvent(u"TestEventShared", false, true, &existed);
    EXPECT_FALSE(existed);
    EXPECT_EQ(platform::WaitForEvent(fresh, 0), WaitResult::Signaled);
    EXPECT_EQ(platform::WaitForEvent(fresh, 0), WaitResult::Timeout);
    platform::CloseEvent(fresh);
}

TEST(NamedEvent, AutoResetReleasesOneWaiterPerSignal) {
    auto event = platform::CreateNamedEvent(u"", false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (platform::WaitForEvent(event, 5000) == WaitResult::Signaled) {
                ++released;
            }
        });
    }
    for (int i = 0; i < 3; ++i) {
        platform::SetEvent(event);
        // Wait until the signal has been consumed before giving the next.
        while (released.load() < i + 1) {
            std::this_thread::yield();
        }
    }
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(platform::WaitForEvent(event, 0), WaitResult::Timeout);
    platform::CloseEvent(event);
}

TEST(NamedEvent, ManualResetReleasesEveryWaiter) {
    auto event = platform::CreateNamedEvent(u"TestEventManual", true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (platform::WaitForEvent(event, platform::kWaitInfinite) == WaitResult::Signaled) {
                ++released;
            }
        });
    }
    platform::SetEvent(event);
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 4);
    platform::CloseEvent(event);
}

TEST(NamedEvent, NullHandleFails) {
    EXPECT_FALSE(platform::SetEvent(nullptr));
    EXPECT_FALSE(platform::ResetEvent(nullptr));
    EXPECT_EQ(platform::WaitForEvent(nullptr, 0), WaitResult::Failed);
}

} // namespace
