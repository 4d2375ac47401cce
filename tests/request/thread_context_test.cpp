#include "request/thread_context.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(ThreadContext, FieldWidths) {
    static_assert(sizeof(ThreadContext{}.jobFlags) == 1);
    static_assert(sizeof(ThreadContext{}.threadStates) == 8);
    static_assert(sizeof(ThreadContext{}.upgraderThreadId) == 4);
    static_assert(sizeof(ThreadContext{}.searchFlags) == 4);
    static_assert(sizeof(ThreadContext{}.groupName) == 64);
    SUCCEED();
}

TEST(ThreadContext, ResetZeroesEverything) {
    ThreadContext context{};
    context.upgraderThreadId = 7;
    context.jobFlags = 0x44;
    context.threadStates[3] = 9;
    context.unitSessionPort = 2001;
    context.groupName[0] = u'g';
    context.stationMac[5] = 1;
    context.request.command = 9;
    ResetThreadContext(context);
    const ThreadContext zero{};
    EXPECT_EQ(context.upgraderThreadId, 0u);
    EXPECT_EQ(context.jobFlags, 0);
    EXPECT_EQ(context.threadStates[3], 0);
    EXPECT_EQ(context.unitSessionPort, 0);
    EXPECT_EQ(context.groupName[0], 0);
    EXPECT_EQ(context.stationMac[5], 0);
    EXPECT_EQ(context.request.command, 0);
    EXPECT_EQ(context.listenEvent, zero.listenEvent);
}

TEST(ThreadContext, CopyCarriesEveryField) {
    ThreadContext from{};
    from.listenerThreadId = 11;
    from.listenerFlags = kListenerQuit;
    from.receiveCount = 99;
    from.groupKey[31] = u'k';
    from.listenPort = 2004;
    from.cipherMode = 1;
    from.searchFlags = kSearchByRange;
    from.secondMask[3] = 0xFF;
    from.bootloaderFlag = 1;
    ThreadContext to{};
    CopyThreadContext(from, to);
    EXPECT_EQ(to.listenerThreadId, 11u);
    EXPECT_EQ(to.listenerFlags, kListenerQuit);
    EXPECT_EQ(to.receiveCount, 99u);
    EXPECT_EQ(to.groupKey[31], u'k');
    EXPECT_EQ(to.listenPort, 2004);
    EXPECT_EQ(to.cipherMode, 1);
    EXPECT_EQ(to.searchFlags, kSearchByRange);
    EXPECT_EQ(to.secondMask[3], 0xFF);
    EXPECT_EQ(to.bootloaderFlag, 1);
}

TEST(ThreadContext, JobBitsChangeOneAtATimeAcrossThreads) {
    ThreadContext context{};
    constexpr int kRounds = 20000;
    // One thread sets and clears the test bit while another does the same with the
    // upgrade bit; no change may lose the other's bit.
    auto toggle = [&](uint8_t bit) {
        for (int i = 0; i < kRounds; ++i) {
            EXPECT_FALSE(JobFlagSet(context, bit) & bit);
            EXPECT_TRUE(JobFlagClear(context, bit) & bit);
        }
    };
    JobFlagSet(context, kJobQuit);
    std::thread a(toggle, kJobTestPass);
    std::thread b(toggle, kJobUpgradePass);
    a.join();
    b.join();
    EXPECT_EQ(context.jobFlags, kJobQuit);
    EXPECT_TRUE(JobFlagTest(context, kJobQuit));
    EXPECT_FALSE(JobFlagTest(context, kJobAbort));
}

TEST(ThreadContext, ProcessRecordStartsZero) {
    const ThreadContext& context = TheThreadContext();
    EXPECT_EQ(context.upgraderThreadId, 0u);
    EXPECT_EQ(context.jobFlags, 0);
    EXPECT_EQ(context.broadcastPort, 0);
}

} // namespace
