#include "platform/qt/qt_window.h"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

using platform::Message;
using platform::Payload;

namespace {

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

} // namespace

TEST(QtWindow, PostsFromAnotherThreadArriveInOrderOnTheUserInterfaceThread) {
    std::vector<int> values;
    bool allOnUiThread = true;
    const std::thread::id ui = std::this_thread::get_id();
    {
        platform::QtWindow window([&](Message& message) {
            allOnUiThread &= std::this_thread::get_id() == ui;
            auto record = message.record.Take<Tracked>();
            values.push_back(record ? record->value : -1);
        });
        const platform::WindowHandle handle = window.handle();
        std::thread poster([handle] {
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(platform::PostWindowMessage(handle, Notify(0, i)));
            }
        });
        poster.join();
        EXPECT_TRUE(values.empty()); // nothing runs before the event loop does
        EXPECT_TRUE(QTest::qWaitFor([&] { return values.size() == 50; }, 5000));
    }
    EXPECT_TRUE(allOnUiThread);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(values[static_cast<size_t>(i)], i);
    }
    EXPECT_EQ(Tracked::alive, 0);
}

TEST(QtWindow, MessagesForADestroyedWindowAreFreedAndNeverDelivered) {
    int delivered = 0;
    platform::WindowHandle handle;
    {
        platform::QtWindow window([&](Message&) { ++delivered; });
        handle = window.handle();
        ASSERT_TRUE(platform::PostWindowMessage(handle, Notify(0, 1)));
        ASSERT_TRUE(platform::PostWindowMessage(handle, Notify(2, 2)));
        EXPECT_EQ(Tracked::alive, 2); // queued, not yet delivered
    }
    EXPECT_EQ(Tracked::alive, 0);
    EXPECT_FALSE(platform::IsWindowAlive(handle));
    EXPECT_FALSE(platform::PostWindowMessage(handle, Notify(0, 3)));
    EXPECT_EQ(Tracked::alive, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(QtWindow, AWindowStillPostedToFromAnotherThreadWhileItGoesAwayLeaksNothing) {
    std::atomic<bool> stop{false};
    auto window = std::make_unique<platform::QtWindow>([](Message&) {});
    const platform::WindowHandle handle = window->handle();
    std::thread poster([&] {
        while (!stop) {
            platform::PostWindowMessage(handle, Notify(0, 0));
        }
    });
    QTest::qWait(20);
    window.reset();
    stop = true;
    poster.join();
    EXPECT_EQ(Tracked::alive, 0);
}
